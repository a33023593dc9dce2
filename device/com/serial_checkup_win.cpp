#include "device/com/serial_checkup.h"

#include <windows.h>

bool SerialPortPresent(const std::string& devicePath)
{
    // "\\.\COM12" is the device COM12 in the system's list of device names.
    const std::string name = devicePath.rfind("\\\\.\\", 0) == 0 ? devicePath.substr(4) : devicePath;
    char target[512];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

std::string MissingGroupFor(const std::string&) { return {}; }
