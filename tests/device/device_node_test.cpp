// A device node as udev presents it, on a made-up sysfs and udev database:
// whether udev has finished with it, where its USB device sits, and the open
// retried while it still refuses the user.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device/device_node.h"

#ifndef _WIN32
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(DeviceNode, ReadyOnceUdevHasARecordOfIt)
{
    const fs::path root = fs::temp_directory_path() / ("tovask-node-" + std::to_string(::getpid()));
    const std::string sys = (root / "sys").string(), run = (root / "run").string();
    const auto write = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    };
    fs::remove_all(root);
    // /dev/ttyUSB0 (188:0) under the USB device 1-4, which has a serial number.
    const fs::path usb = root / "sys/devices/pci0000:00/usb1";
    write(usb / "1-4/serial", "A600XYZ\n");
    write(usb / "1-4/1-4:1.0/ttyUSB0/tty/ttyUSB0/dev", "188:0\n");
    fs::create_directories(root / "sys/class/tty");
    fs::create_directory_symlink(usb / "1-4/1-4:1.0/ttyUSB0/tty/ttyUSB0", root / "sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(usb / "1-4/1-4:1.0/ttyUSB0", usb / "1-4/1-4:1.0/ttyUSB0/tty/ttyUSB0/device");

    // No udev running: nothing to wait for.
    EXPECT_TRUE(DeviceNodeInitialized("/dev/ttyUSB0", sys, run));
    write(root / "run/udev/control", "");
    EXPECT_FALSE(DeviceNodeInitialized("/dev/ttyUSB0", sys, run));
    write(root / "run/udev/data/c188:0", "");
    EXPECT_TRUE(DeviceNodeInitialized("/dev/ttyUSB0", sys, run));
    EXPECT_TRUE(DeviceNodeInitialized("/dev/ttyS9", sys, run));  // unknown to sysfs

    EXPECT_EQ(UsbPlaceOfNode("/dev/ttyUSB0", sys).location, "1-4");
    EXPECT_EQ(UsbPlaceOfNode("/dev/ttyUSB0", sys).serial, "A600XYZ");
    EXPECT_EQ(UsbPlaceOfNode("/dev/ttyS9", sys).location, "");
    fs::remove_all(root);
}

}  // namespace
#endif

TEST(DeviceNode, OpenRetriedWhilePermissionIsDenied)
{
    const struct {
        int denials;         // "Permission denied" this many times, then the open works
        const char* other;   // or this reason from the first open on
        int waits;
        const char* last;
    } cases[] = {
        {0, "", 0, ""},
        {3, "", 3, ""},
        {100, "", deniedRetryMs / deniedRetryStepMs, "Permission denied"},
        {0, "No such file or directory", 0, "No such file or directory"},
    };
    for (const auto& c : cases) {
        int opens = 0;
        RecordingSleeper sleeper;
        const std::string last = OpenWhileDenied(
            [&] { return opens++ < c.denials ? std::string("Permission denied") : std::string(c.other); }, sleeper);
        EXPECT_EQ(last, c.last) << c.denials;
        EXPECT_EQ(static_cast<int>(sleeper.waits.size()), c.waits) << c.denials;
        EXPECT_LE(sleeper.Total(), deniedRetryMs);
    }
}
