// The small HID layer under the USB link: the present HID interfaces, and an
// open interface that takes and gives feature reports. One backend talks to
// the system (hidapi), another to the simulated reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One entry of the system's list. A composite device's interface may be
// listed once for each of its top-level usages, with the same path.
// Identifiers 0:0 mean the list could not read them.
struct HidInterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // What the list itself says, readable without opening the interface.
    std::uint16_t versionNumber = 0;
    std::wstring manufacturer;
    std::wstring product;
    std::wstring serialNumber{};
    // Where the device is plugged in: on Linux the USB bus-port chain such
    // as "1-3.2", on Windows the device's location path; "" when unknown.
    std::string location{};
    // udev has finished with the node (its permissions are set); a device
    // just plugged in may be listed before (Linux).
    bool ready = true;
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// An open HID interface; destroying it closes it.
class IHidDevice {
public:
    virtual ~IHidDevice() = default;
    virtual bool GetAttributes(HidAttributes& out) = 0;
    virtual bool GetManufacturerString(std::wstring& out) = 0;
    virtual bool GetProductString(std::wstring& out) = 0;
    // report[0] is the report number; length includes it.
    virtual bool SetFeature(const std::uint8_t* report, std::size_t length) = 0;
    // report[0] holds the report number on entry; the data follow it on
    // return. The number of bytes delivered (report number included), or -1
    // when the request was refused.
    virtual int GetFeature(std::uint8_t* report, std::size_t length) = 0;
    // The length of the collection's feature reports, report number
    // included, or -1 where the system cannot tell.
    virtual int FeatureReportLength() { return -1; }
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;
    // The present HID interfaces in the system's order; false when the
    // system could not list them.
    virtual bool Enumerate(std::vector<HidInterfaceInfo>& out) = 0;
    // Opens an interface for feature reports; null when it cannot be opened,
    // with the system's reason in why when given ("Permission denied").
    virtual std::unique_ptr<IHidDevice> Open(const std::string& path, std::string* why = nullptr) = 0;
};

// The system's HID access (hidapi: hidraw on Linux, the HID class driver on Windows).
std::unique_ptr<IHidBackend> CreateSystemHidBackend();
// One system backend for the whole run, created on first use.
IHidBackend& SystemHidBackend();

// The USB bus-port chain ("1-3.2") of the device a hidraw node
// (/dev/hidraw5) belongs to, read from <sysRoot>/class/hidraw/hidraw5/device;
// "" when the node is not on USB or sysfs does not say.
std::string HidrawLocation(const std::string& nodePath, const std::string& sysRoot = "/sys");

// Windows names a USB device "USB\\VID_1209&PID_0001\\<serial number>" when
// it has a serial number, else with a made-up instance holding '&'; an
// interface of a composite device is "USB\\VID_1209&PID_0001&MI_00\\...".
// Whether id is a whole USB device's; its serial number ("" if none) in serial.
bool ParseUsbDeviceInstanceId(const std::string& id, std::string& serial);
