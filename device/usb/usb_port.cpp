#include "device/usb/usb_port.h"

#include <cstdio>
#include <cstdlib>

#ifndef TOVASK_USB_VID_DEFAULT
#define TOVASK_USB_VID_DEFAULT 0x1209
#endif
#ifndef TOVASK_USB_PID_DEFAULT
#define TOVASK_USB_PID_DEFAULT 0x0001
#endif

namespace {

std::uint16_t IdFromEnvironment(const char* name, std::uint16_t fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (*end != '\0' || value > 0xFFFF)
        return fallback;
    return static_cast<std::uint16_t>(value);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
    return out;
}

}  // namespace

std::uint16_t ReaderUsbVendorId() { return IdFromEnvironment("TOVASK_USB_VID", TOVASK_USB_VID_DEFAULT); }
std::uint16_t ReaderUsbProductId() { return IdFromEnvironment("TOVASK_USB_PID", TOVASK_USB_PID_DEFAULT); }

CUSBport::CUSBport() : m_backend(SystemHidBackend()) {}
CUSBport::CUSBport(IHidBackend& backend) : m_backend(backend) {}
CUSBport::~CUSBport() { CloseDevice(); }

bool CUSBport::FindDevice()
{
    CloseDevice();
    std::vector<HidInterfaceInfo> interfaces;
    if (!m_backend.Enumerate(interfaces))
        return false;
    for (int index = 0; index < searchLimit && index < static_cast<int>(interfaces.size()); ++index) {
        const std::string& path = interfaces[static_cast<std::size_t>(index)].path;
        std::unique_ptr<IHidDevice> device = m_backend.Open(path);
        // An interface the system keeps to itself (keyboards, mice) is
        // skipped; the reader may come after it.
        if (!device)
            continue;
        const bool match = CheckDevice(*device);
        device.reset();
        if (match) {
            devicePath = path.substr(0, 255);
            return true;
        }
    }
    return false;
}

bool CUSBport::OpenDevice()
{
    CloseDevice();
    if (devicePath.empty())
        return false;
    m_device = m_backend.Open(devicePath);
    return m_device != nullptr;
}

void CUSBport::CloseDevice() { m_device.reset(); }

bool CUSBport::CheckHIDParam() { return m_device && CheckDevice(*m_device); }

bool CUSBport::CheckDevice(IHidDevice& device)
{
    std::wstring manufacturer;
    std::wstring product;
    device.GetManufacturerString(manufacturer);
    device.GetProductString(product);
    HidAttributes attributes;
    const bool haveAttributes = device.GetAttributes(attributes);

    char line[400];
    lastCheckText.clear();
    std::snprintf(line, sizeof line, "CheckHIDParam: Manufacturer=%s\n", Narrow(manufacturer).c_str());
    lastCheckText += line;
    std::snprintf(line, sizeof line, "CheckHIDParam: Device Name=%s\n", Narrow(product).c_str());
    lastCheckText += line;
    if (!haveAttributes)
        return false;
    std::snprintf(line, sizeof line, "CheckHIDParam: VendorID = 0%2X\n", attributes.vendorId);
    lastCheckText += line;
    std::snprintf(line, sizeof line, "CheckHIDParam: ProductID = %2X\n", attributes.productId);
    lastCheckText += line;
    std::snprintf(line, sizeof line, "CheckHIDParam: VersionNumber = %2X\n", attributes.versionNumber);
    lastCheckText += line;
    return attributes.vendorId == wantedVendorId && attributes.productId == wantedProductId;
}

bool CUSBport::SendCommand(std::uint8_t code)
{
    if (!m_device)
        return false;
    std::uint8_t report[reportLength] = {0x00, code};
    return m_device->SetFeature(report, reportLength);
}

bool CUSBport::WriteImage(ISleeper& sleeper)
{
    if (!SendCommand(writeCode))
        return false;
    for (int k = 0; k < writeLength / 7; ++k) {
        std::uint8_t report[reportLength] = {0x00, dataMark};
        for (int i = 0; i < 7; ++i)
            report[2 + i] = reportBuffer[static_cast<std::size_t>(7 * k + 6 - i)];
        if (!m_device->SetFeature(report, reportLength)) {
            sleeper.Sleep(200);
            SendCommand(endCode);
            return false;
        }
    }
    sleeper.Sleep(200);
    return SendCommand(endCode);
}

bool CUSBport::ReadImage(ISleeper& sleeper)
{
    if (!SendCommand(readCode))
        return false;
    sleeper.Sleep(100);
    CheckHIDParam();
    for (int k = 0; k < readLength / 8; ++k) {
        std::uint8_t report[reportLength] = {0x00};
        if (!m_device->GetFeature(report, reportLength)) {
            SendCommand(endCode);
            return false;
        }
        for (int i = 0; i < 8; ++i)
            reportBuffer[static_cast<std::size_t>(8 * k + i)] = report[8 - i];
    }
    return SendCommand(endCode);
}
