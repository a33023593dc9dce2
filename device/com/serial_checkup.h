// What tovask-cli doctor checks for a serial port.
#pragma once

#include <string>
#include <vector>

#include "device/checkup.h"

class ISerialBackend;

// The port is present; it opens; when it does not, whether the user lacks
// the group that owns it and which process holds it; and for a USB-serial
// adapter, whether ModemManager runs without a rule telling it to leave
// the adapter alone. roots: Linux's places; null on Windows (presence and
// open only).
std::vector<CheckResult> CheckSerialPort(const std::string& devicePath, ISerialBackend& backend,
                                         const SystemRoots* roots);

// The system's own parts of the checks.
// Whether the device (a node on Linux, \\.\COMn on Windows) exists.
bool SerialPortPresent(const std::string& devicePath);
// The group the user would have to be in to open the device: "" when the
// user may open it (by owner, group, mode or as root) or where groups do
// not apply.
std::string MissingGroupFor(const std::string& devicePath);
