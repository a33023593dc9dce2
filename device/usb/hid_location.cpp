#include "device/usb/hid_backend.h"

#include <filesystem>

#include "device/device_node.h"

std::string HidrawLocation(const std::string& nodePath, const std::string& sysRoot)
{
    if (std::filesystem::path(nodePath).filename().string().rfind("hidraw", 0) != 0)
        return {};
    return UsbPlaceOfNode(nodePath, sysRoot).location;
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
