#include "device/device_node.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// "1-3.2": a bus number, a dash, port numbers joined by dots.
bool IsPortChain(const std::string& name)
{
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == name.size() || name.back() == '.')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool digit = c >= '0' && c <= '9';
        if (i != dash && (i < dash ? !digit : !(digit || (c == '.' && i > dash + 1 && name[i - 1] != '.'))))
            return false;
    }
    return true;
}

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The node's folder in sysfs: <sys>/class/<some class>/<name>.
fs::path SysfsFolder(const std::string& nodePath, const std::string& sysRoot)
{
    const std::string name = fs::path(nodePath).filename().string();
    std::error_code ec;
    if (name.empty())
        return {};
    // The classes of the nodes a reader is reached by first, then any.
    for (const char* cls : {"hidraw", "tty", "misc"})
        if (fs::is_directory(fs::path(sysRoot) / "class" / cls / name, ec))
            return fs::path(sysRoot) / "class" / cls / name;
    for (const fs::directory_entry& cls : fs::directory_iterator(fs::path(sysRoot) / "class", ec)) {
        std::error_code missing;
        if (fs::is_directory(cls.path() / name, missing))
            return cls.path() / name;
    }
    return {};
}

}  // namespace

bool DeviceNodeInitialized(const std::string& nodePath, const std::string& sysRoot, const std::string& runRoot)
{
    std::error_code ec;
    if (!fs::exists(fs::path(runRoot) / "udev" / "control", ec))
        return true;  // no udev: the node is as it will stay
    const fs::path folder = SysfsFolder(nodePath, sysRoot);
    const std::string numbers = folder.empty() ? "" : FirstLine(folder / "dev");  // "242:3"
    if (numbers.find(':') == std::string::npos)
        return true;
    return fs::exists(fs::path(runRoot) / "udev" / "data" / ("c" + numbers), ec);
}

UsbPlace UsbPlaceOfNode(const std::string& nodePath, const std::string& sysRoot)
{
    const fs::path folder = SysfsFolder(nodePath, sysRoot);
    std::error_code ec;
    const fs::path device = folder.empty() ? fs::path() : fs::canonical(folder / "device", ec);
    if (device.empty() || ec)
        return {};
    // The path leads through the USB device (1-3.2) and its interface
    // (1-3.2:1.0); the innermost chain is the device's.
    UsbPlace place;
    fs::path usbDevice;
    for (const fs::path& part : device) {
        usbDevice /= part;
        if (IsPortChain(part.string())) {
            place.location = part.string();
            place.serial = FirstLine(usbDevice / "serial");
        }
    }
    return place;
}

std::string OpenWhileDenied(const std::function<std::string()>& open, ISleeper& sleeper, int limitMs)
{
    std::string why = open();
    for (int waited = 0; why == "Permission denied" && waited < limitMs; waited += deniedRetryStepMs) {
        sleeper.Sleep(deniedRetryStepMs);
        why = open();
    }
    return why;
}
