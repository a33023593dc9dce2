// A device node as the system presents it while a device is plugged in: the
// kernel lists it at once, udev sets its owner and permissions a moment
// later. A program that opens it in between is refused.
#pragma once

#include <functional>
#include <string>

#include "device/sleeper.h"

// Whether udev has finished with the node (/dev/hidraw3, /dev/ttyUSB0): its
// character device numbers, read from <sysRoot>/class/*/<name>/dev, have a
// record in <runRoot>/udev/data/c<major>:<minor>. True where udev does not
// run (no <runRoot>/udev/control) and where sysfs does not know the node:
// there is nothing to wait for.
bool DeviceNodeInitialized(const std::string& nodePath, const std::string& sysRoot = "/sys",
                           const std::string& runRoot = "/run");

// Where the USB device above a node is plugged in and its serial-number
// string, from sysfs: location "1-3.2" ("" when not on USB), serial "" when
// it has none.
struct UsbPlace {
    std::string location;
    std::string serial;
};
UsbPlace UsbPlaceOfNode(const std::string& nodePath, const std::string& sysRoot = "/sys");

// How long a new device's node may still refuse the user.
constexpr int deniedRetryMs = 2000;
constexpr int deniedRetryStepMs = 100;

// Tries open (which gives "" when the node opened, else the system's
// reason) again every deniedRetryStepMs through sleeper while the reason is
// "Permission denied", for up to limitMs. The last reason.
std::string OpenWhileDenied(const std::function<std::string()>& open, ISleeper& sleeper, int limitMs = deniedRetryMs);
