// What doctor finds, on a made-up system in a folder: the USB reader and
// its udev rule, a serial port that cannot be opened and why, ModemManager,
// and the keyboard port's serio_raw.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/checkup.h"
#include "device/com/com_port.h"
#include "device/com/serial_checkup.h"
#include "device/usb/usb_checkup.h"
#include "sim/reader_memory.h"
#include "sim/usb_reader.h"

#ifndef _WIN32
#include <unistd.h>

#include "device/kb/kb_checkup.h"
#include "sim/kb_reader.h"
#endif

namespace {

namespace fs = std::filesystem;

// "status check" for each result, in order.
std::vector<std::string> Lines(const std::vector<CheckResult>& results)
{
    std::vector<std::string> out;
    for (const CheckResult& r : results) {
        out.push_back(std::string(CheckStatusName(r.status)) + " " + r.check);
        EXPECT_EQ(r.fix.empty(), r.status == CheckStatus::Ok) << r.check << ": " << r.detail;
    }
    return out;
}

struct FakeSystem {
    FakeSystem()
    {
        root = fs::temp_directory_path() / ("tovask-doctor-" + std::to_string(counter++) + "-" + Pid());
        fs::remove_all(root);
        roots = SystemRoots::Under(root.string());
        for (const std::string& f : roots.ruleFolders)
            fs::create_directories(f);
        fs::create_directories(roots.proc);
        fs::create_directories(roots.dev);
    }
    ~FakeSystem() { fs::remove_all(root); }
    static std::string Pid()
    {
#ifdef _WIN32
        return "w";
#else
        return std::to_string(::getpid());
#endif
    }
    void Write(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    void Process(int pid, const std::string& name, const std::string& holds = {})
    {
        const fs::path dir = fs::path(roots.proc) / std::to_string(pid);
        Write(dir / "comm", name + "\n");
        if (!holds.empty()) {
            fs::create_directories(dir / "fd");
            fs::create_symlink(holds, dir / "fd" / "3");
        }
    }
    static inline int counter = 0;
    fs::path root;
    SystemRoots roots;
};

const std::string rule = "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0001\", MODE=\"0660\", TAG+=\"uaccess\"\n";

TEST(Doctor, UsbReaderAndItsUdevRule)
{
    const struct {
        const char* what;
        bool connected;
        bool openable;
        std::string ruleFile;  // in /etc/udev/rules.d; "" none
        std::vector<std::string> lines;
    } cases[] = {
        {"all well", true, true, "60-tovask-reader.rules", {"ok USB reader present", "ok USB reader opens", "ok udev rule"}},
        {"no reader", false, true, "60-tovask-reader.rules", {"fail USB reader present", "ok udev rule"}},
        {"no reader, no rule", false, true, "", {"fail USB reader present", "warn udev rule"}},
        {"not openable", true, false, "", {"ok USB reader present", "fail USB reader opens", "fail udev rule"}},
        {"rule too late", true, false, "80-reader.rules", {"ok USB reader present", "fail USB reader opens", "fail udev rule"}},
        {"late rule, opens as root", true, true, "80-reader.rules",
         {"ok USB reader present", "ok USB reader opens", "warn udev rule"}},
        {"comment only", true, true, "60-x.rules", {"ok USB reader present", "ok USB reader opens", "warn udev rule"}},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        if (!c.ruleFile.empty())
            system.Write(fs::path(system.roots.ruleFolders[0]) / c.ruleFile,
                         std::string(c.what) == "comment only" ? "# " + rule : rule);
        SimReaderMemory memory;
        SimUsbReader reader(memory, 0x1209, 0x0001);
        reader.interfaces.front().openable = c.openable;
        reader.interfaces.front().present = c.connected;
        EXPECT_EQ(Lines(CheckUsbReader(reader, {0x1209, 0x0001}, &system.roots)), c.lines) << c.what;
    }
    // Two readers are a warning; without roots (Windows) no rule is looked for.
    SimReaderMemory memory;
    SimUsbReader reader(memory, 0x1209, 0x0001);
    reader.AddIdenticalReader();
    EXPECT_EQ(Lines(CheckUsbReader(reader, {0x1209, 0x0001}, nullptr)),
              (std::vector<std::string>{"warn USB reader present", "ok USB reader opens"}));
    // A composite reader is one reader: its keyboard interface, listed first
    // and kept from the user by the rule, does not count against it.
    reader.interfaces.back().location = "1-1";
    reader.interfaces.insert(reader.interfaces.begin(), reader.interfaces.back());
    reader.interfaces.front().path = "sim:usb-reader-keyboard";
    reader.interfaces.front().openable = false;
    const std::vector<CheckResult> composite = CheckUsbReader(reader, {0x1209, 0x0001}, nullptr);
    EXPECT_EQ(Lines(composite), (std::vector<std::string>{"ok USB reader present", "ok USB reader opens"}));
    EXPECT_EQ(composite[1].detail, "sim:usb-reader opens");
}

// udev's own order: every folder's files as one list sorted by name as text,
// a file in an earlier folder hiding the same name in a later one; uaccess
// works only from a file read before 73-seat-late.rules.
TEST(Doctor, UdevRuleOrderAsUdevReadsIt)
{
    const std::string tagged = "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0001\", "
                               "ENV{TOVASK_MR}=\"config\"\nENV{TOVASK_MR}==\"config\", TAG+=\"uaccess\"\n";
    const struct {
        const char* what;
        std::vector<std::pair<int, std::string>> files;  // folder index, file name; "" content: masked
        const char* status;
        const char* found;  // the start of the detail
    } cases[] = {
        {"8 sorts after 73", {{0, "8-tovask.rules"}}, "warn", "8-tovask.rules in "},
        {"100 sorts before 73", {{0, "100-tovask.rules"}}, "ok", "100-tovask.rules in "},
        {"installed under /usr/local", {{2, "60-tovask-reader.rules"}}, "ok", "60-tovask-reader.rules in "},
        {"masked by /etc", {{3, "60-tovask-reader.rules"}, {0, "60-tovask-reader.rules="}}, "warn", "no rule in "},
        {"an early copy besides a late one", {{0, "90-late.rules"}, {1, "10-early.rules"}}, "ok", "10-early.rules in "},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        for (const auto& [folder, name] : c.files) {
            const bool masked = name.back() == '=';
            system.Write(fs::path(system.roots.ruleFolders[folder]) / (masked ? name.substr(0, name.size() - 1) : name),
                         masked ? "" : tagged);
        }
        SimReaderMemory memory;
        SimUsbReader reader(memory, 0x1209, 0x0001);  // opens: a wrong rule is a warning
        const CheckResult r = CheckUsbReader(reader, {0x1209, 0x0001}, &system.roots).back();
        EXPECT_EQ(std::string(CheckStatusName(r.status)), c.status) << c.what << ": " << r.detail;
        EXPECT_EQ(r.detail.rfind(c.found, 0), 0u) << c.what << ": " << r.detail;
    }
    EXPECT_EQ(SystemRoots().ruleFolders[2], "/usr/local/lib/udev/rules.d");
}

// A serial backend that opens or refuses as told.
class FakeSerial : public ISerialBackend {
public:
    explicit FakeSerial(bool opens) : m_opens(opens) {}
    bool Open(const std::string&) override { return m_open = m_opens; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool Write(const std::uint8_t*, int, int) override { return false; }
    int Read(std::uint8_t*, int) override { return 0; }
    std::string ErrorText() const override { return m_opens ? "" : "Device or resource busy"; }

private:
    bool m_opens;
    bool m_open = false;
};

#ifndef _WIN32
TEST(Doctor, SerialPortWhyItCannotBeOpened)
{
    const struct {
        const char* what;
        const char* node;  // "" none
        bool opens;
        bool held;
        bool modemManager;
        const char* ignoreRule;  // the vendor a ModemManager rule names; "" none
        std::vector<std::string> lines;
    } cases[] = {
        {"all well", "ttyS0", true, false, false, "", {"ok serial port present", "ok serial port opens"}},
        {"absent", "", false, false, false, "", {"fail serial port present"}},
        {"held", "ttyUSB0", false, true, false, "",
         {"ok serial port present", "fail serial port opens", "ok serial port group", "fail serial port free",
          "ok ModemManager"}},
        {"ModemManager", "ttyUSB0", true, false, true, "",
         {"ok serial port present", "ok serial port opens", "warn ModemManager"}},
        {"ModemManager told", "ttyACM0", true, false, true, "0403",
         {"ok serial port present", "ok serial port opens", "ok ModemManager"}},
        {"ModemManager told of another adapter", "ttyUSB0", true, false, true, "067b",
         {"ok serial port present", "ok serial port opens", "warn ModemManager"}},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        const std::string node = (fs::path(system.roots.dev) / (*c.node ? c.node : "ttyUSB9")).string();
        if (*c.node)
            system.Write(node, "");
        system.Process(1, "systemd");
        if (c.held)
            system.Process(4242, "minicom", node);
        if (c.modemManager)
            system.Process(700, "ModemManager");
        if (*c.ignoreRule)
            system.Write(fs::path(system.roots.ruleFolders[2]) / "77-mm-usb-device-blacklist.rules",
                         "ATTRS{idVendor}==\"" + std::string(c.ignoreRule) + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
        // The adapter, an FTDI 0403:6001, as sysfs shows it above its tty.
        if (*c.node) {
            const fs::path usb = fs::path(system.roots.sys) / "devices/pci0000:00/usb1/1-2";
            system.Write(usb / "idVendor", "0403\n");
            system.Write(usb / "idProduct", "6001\n");
            fs::create_directories(usb / "1-2:1.0" / c.node);
            fs::create_directories(fs::path(system.roots.sys) / "class/tty" / c.node);
            fs::create_directory_symlink(usb / "1-2:1.0", fs::path(system.roots.sys) / "class/tty" / c.node / "device");
        }
        FakeSerial backend(c.opens);
        const std::vector<CheckResult> results = CheckSerialPort(node, backend, &system.roots);
        EXPECT_EQ(Lines(results), c.lines) << c.what;
        if (c.held) {
            EXPECT_EQ(results[3].detail, node + " is held by 4242 (minicom)");
        }
    }
}

TEST(Doctor, KeyboardPortSerioRaw)
{
    const struct {
        const char* what;
        const char* driver;  // serio0's driver; "" no keyboard port
        bool node;
        std::vector<std::string> lines;
    } cases[] = {
        {"no port", "", false, {"fail serio_raw on the keyboard port", "fail serio_raw device"}},
        {"atkbd", "atkbd", false, {"fail serio_raw on the keyboard port", "fail serio_raw device"}},
        {"bound, node missing", "serio_raw", false, {"ok serio_raw on the keyboard port", "fail serio_raw device"}},
        {"bound", "serio_raw", true, {"ok serio_raw on the keyboard port", "ok serio_raw device", "ok serio_raw device opens"}},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        const fs::path port = fs::path(system.roots.sys) / "bus/serio/devices/serio0";
        if (*c.driver) {
            fs::create_directories(fs::path(system.roots.sys) / "bus/serio/drivers" / c.driver);
            fs::create_directories(port / "misc/serio_raw0");
            fs::create_directory_symlink(fs::path(system.roots.sys) / "bus/serio/drivers" / c.driver, port / "driver");
        }
        if (c.node)
            system.Write(fs::path(system.roots.dev) / "serio_raw0", "");
        SimReaderMemory memory;
        SimKbPlatform platform(memory, 2);
        EXPECT_EQ(Lines(CheckKeyboardPort(platform, &system.roots)), c.lines) << c.what;
    }
}
#endif

}  // namespace
