#include "device/usb/hid_backend.h"

#include <filesystem>

namespace {

// "1-3.2": a bus number, a dash, port numbers joined by dots.
bool IsPortChain(const std::string& name)
{
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i == dash)
            continue;
        const char c = name[i];
        const bool digit = c >= '0' && c <= '9';
        if (i < dash ? !digit : !(digit || (c == '.' && i > dash + 1 && name[i - 1] != '.')))
            return false;
    }
    return name.back() != '.';
}

}  // namespace

std::string HidrawLocation(const std::string& nodePath, const std::string& sysRoot)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string node = fs::path(nodePath).filename().string();
    if (node.rfind("hidraw", 0) != 0)
        return {};
    // The link leads through the USB device (1-3.2) and its interface
    // (1-3.2:1.0) to the HID device; the innermost chain is the device's.
    const fs::path device = fs::canonical(fs::path(sysRoot) / "class" / "hidraw" / node / "device", ec);
    if (ec)
        return {};
    std::string found;
    for (const fs::path& part : device)
        if (IsPortChain(part.string()))
            found = part.string();
    return found;
}

bool ParseUsbDeviceInstanceId(const std::string& id, std::string& serial)
{
    serial.clear();
    std::string upper;
    for (char c : id)
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    const std::size_t last = id.rfind('\\');
    if (upper.rfind("USB\\", 0) != 0 || last == 3 || upper.find("&MI_") != std::string::npos)
        return false;
    const std::string instance = id.substr(last + 1);
    if (instance.find('&') == std::string::npos)
        serial = instance;
    return true;
}
