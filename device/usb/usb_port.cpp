#include "device/usb/usb_port.h"

#include <cstdio>
#include <map>
#include <set>

#include "device/trace.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
    return out;
}

// What the system's list says of an interface, before it is opened.
HidListing ListingOf(const HidInterfaceInfo& info)
{
    HidListing item;
    item.path = info.path;
    item.vendorId = info.vendorId;
    item.productId = info.productId;
    item.versionNumber = info.versionNumber;
    item.manufacturer = Narrow(info.manufacturer);
    item.product = Narrow(info.product);
    item.serialNumber = Narrow(info.serialNumber);
    item.location = info.location;
    item.ready = info.ready;
    return item;
}

// Where a reader sits: its USB location, or its path where the system gives
// none. A composite reader's interfaces share one place.
std::string PlaceOf(const HidInterfaceInfo& info) { return info.location.empty() ? info.path : info.location; }

}  // namespace

IHidBackend& SystemHidBackend()
{
    static const std::unique_ptr<IHidBackend> backend = CreateSystemHidBackend();
    return *backend;
}

bool ListHidInterfaces(IHidBackend& backend, UsbIds wanted, std::vector<HidListing>& out)
{
    out.clear();
    std::vector<HidInterfaceInfo> interfaces;
    if (!backend.Enumerate(interfaces))
        return false;
    std::set<std::string> seen;
    for (const HidInterfaceInfo& info : interfaces) {
        if (!seen.insert(info.path).second)
            continue;
        HidListing item = ListingOf(info);
        if (std::unique_ptr<IHidDevice> device = backend.Open(info.path, &item.whyNot)) {
            item.openable = true;
            item.whyNot.clear();
            std::wstring text;
            if (device->GetManufacturerString(text))
                item.manufacturer = Narrow(text);
            if (device->GetProductString(text))
                item.product = Narrow(text);
            HidAttributes attributes;
            if (device->GetAttributes(attributes)) {
                item.vendorId = attributes.vendorId;
                item.productId = attributes.productId;
                item.versionNumber = attributes.versionNumber;
            }
        } else if (item.whyNot.empty()) {
            item.whyNot = "cannot be opened";
        }
        item.reader = item.vendorId == wanted.vendorId && item.productId == wanted.productId;
        out.push_back(std::move(item));
    }
    return true;
}

bool ListReaders(IHidBackend& backend, UsbIds wanted, std::vector<HidListing>& out)
{
    out.clear();
    std::vector<HidInterfaceInfo> interfaces;
    if (!backend.Enumerate(interfaces))
        return false;
    std::map<std::string, std::size_t> places;  // place -> its entry in out
    for (const HidInterfaceInfo& info : interfaces) {
        if (info.vendorId != wanted.vendorId || info.productId != wanted.productId)
            continue;
        const auto [at, fresh] = places.emplace(PlaceOf(info), out.size());
        if (fresh) {
            out.push_back(ListingOf(info));
            out.back().reader = true;
        }
        out[at->second].ready = out[at->second].ready && info.ready;  // every interface of it
    }
    return true;
}

CUSBport::CUSBport() : m_backend(SystemHidBackend()) {}
CUSBport::CUSBport(IHidBackend& backend) : m_backend(backend) {}
CUSBport::~CUSBport() { CloseDevice(); }

bool CUSBport::FindDevice()
{
    CloseDevice();
    devicePath.clear();
    severalReaders.clear();
    m_candidates.clear();
    m_nextCandidate = 0;
    m_opened = 0;
    std::vector<HidInterfaceInfo> interfaces;
    if (!m_backend.Enumerate(interfaces))
        return false;
    // The system lists a composite device's interface once per top-level
    // usage; each path is tried once. What the list shows with other
    // identifiers is not the reader and is not opened, so a desktop with
    // many HID collections before it does not use up the search.
    std::set<std::string> seen;
    for (const HidInterfaceInfo& info : interfaces) {
        if (!seen.insert(info.path).second)
            continue;
        if (!chosenDevice.empty() && info.path != chosenDevice && info.location != chosenDevice
            && (info.serialNumber.empty() || Narrow(info.serialNumber) != chosenDevice)) {
            if (TraceOn())
                Trace("USB: " + info.path + ": skipped, not the device chosen (" + chosenDevice + ")");
            continue;
        }
        const bool unlisted = info.vendorId == 0 && info.productId == 0;
        if (unlisted || (info.vendorId == wantedVendorId && info.productId == wantedProductId))
            m_candidates.push_back(info.path);
        else if (TraceOn())
            Trace("USB: " + info.path + ": skipped, listed as " + UsbIdText(info.vendorId) + ":"
                  + UsbIdText(info.productId));
    }
    if (!NextDevice())
        return false;
    return !onlyOneReader || OnlyOneFound(interfaces);
}

bool CUSBport::OnlyOneFound(const std::vector<HidInterfaceInfo>& interfaces)
{
    const std::string first = devicePath;
    const std::size_t next = m_nextCandidate;
    const int opened = m_opened;
    std::vector<std::string> found{first};
    while (NextDevice())
        found.push_back(devicePath);
    devicePath = first;
    m_nextCandidate = next;
    m_opened = opened;
    // A composite reader answers on more than one interface at one location.
    std::set<std::string> places;
    for (const std::string& path : found)
        for (const HidInterfaceInfo& info : interfaces)
            if (info.path == path) {
                if (places.insert(PlaceOf(info)).second)
                    severalReaders.push_back(ListingOf(info));
                break;
            }
    if (severalReaders.size() <= 1) {
        severalReaders.clear();
        return true;
    }
    Trace("USB: " + std::to_string(severalReaders.size()) + " readers answer; none is chosen");
    devicePath.clear();
    return false;
}

bool CUSBport::NextDevice()
{
    CloseDevice();
    while (m_nextCandidate < m_candidates.size()) {
        const std::string& path = m_candidates[m_nextCandidate++];
        if (m_opened >= searchLimit) {
            Trace("USB: " + path + ": skipped, " + std::to_string(searchLimit) + " interfaces opened already");
            continue;
        }
        ++m_opened;
        std::string why;
        std::unique_ptr<IHidDevice> device = m_backend.Open(path, &why);
        if (!device) {
            Trace("USB: " + path + ": skipped, cannot be opened (" + why + ")");
            continue;
        }
        if (!CheckDevice(*device))
            continue;
        // The class driver takes feature reports only of the collection's
        // own length: another length is another collection of the device.
        const int length = device->FeatureReportLength();
        if (length >= 0 && length != reportLength) {
            Trace("USB: " + path + ": skipped, its feature reports are " + std::to_string(length) + " bytes, not "
                  + std::to_string(reportLength));
            continue;
        }
        devicePath = path.substr(0, 255);
        return true;
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
    if (!haveAttributes) {
        Trace(lastCheckText);
        return false;
    }
    std::snprintf(line, sizeof line, "CheckHIDParam: VendorID = 0%2X\n", attributes.vendorId);
    lastCheckText += line;
    std::snprintf(line, sizeof line, "CheckHIDParam: ProductID = %2X\n", attributes.productId);
    lastCheckText += line;
    std::snprintf(line, sizeof line, "CheckHIDParam: VersionNumber = %2X\n", attributes.versionNumber);
    lastCheckText += line;
    Trace(lastCheckText);
    return attributes.vendorId == wantedVendorId && attributes.productId == wantedProductId;
}

bool CUSBport::SendCommand(std::uint8_t code)
{
    if (!m_device)
        return false;
    std::uint8_t report[reportLength] = {0x00, code};
    return m_device->SetFeature(report, reportLength);
}

bool CUSBport::StartSequence(std::uint8_t code)
{
    if (SendCommand(code))
        return true;
    if (!m_device)
        return false;
    while (NextDevice()) {
        Trace("USB: the first report was refused; trying " + devicePath);
        if (OpenDevice() && SendCommand(code))
            return true;
    }
    return false;
}

bool CUSBport::WriteImage(ISleeper& sleeper)
{
    if (!StartSequence(writeCode))
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
    if (!StartSequence(readCode))
        return false;
    sleeper.Sleep(100);
    CheckHIDParam();
    for (int k = 0; k < readLength / 8; ++k) {
        std::uint8_t report[reportLength] = {0x00};
        // A report cut short counts as refused: its missing bytes would
        // pass for image bytes.
        if (m_device->GetFeature(report, reportLength) < reportLength) {
            SendCommand(endCode);
            return false;
        }
        for (int i = 0; i < 8; ++i)
            reportBuffer[static_cast<std::size_t>(8 * k + i)] = report[8 - i];
    }
    return SendCommand(endCode);
}
