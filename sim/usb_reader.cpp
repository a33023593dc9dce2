#include "sim/usb_reader.h"

#include <algorithm>

namespace {

class SimHidDevice : public IHidDevice {
public:
    SimHidDevice(SimUsbReader& owner, const SimHidInterface& info) : m_owner(owner), m_info(info)
    {
        ++m_owner.opens;
        ++m_owner.openNow;
    }
    ~SimHidDevice() override
    {
        ++m_owner.closes;
        --m_owner.openNow;
        m_owner.DeviceClosed(m_info.isReader);
    }
    bool GetAttributes(HidAttributes& out) override
    {
        out = {m_info.vendorId, m_info.productId, m_info.versionNumber};
        return true;
    }
    bool GetManufacturerString(std::wstring& out) override
    {
        out = m_info.manufacturer;
        return true;
    }
    bool GetProductString(std::wstring& out) override
    {
        out = m_info.product;
        return true;
    }
    bool SetFeature(const std::uint8_t* report, std::size_t length) override
    {
        return m_info.isReader && m_owner.TakeSetFeature(report, length);
    }
    int GetFeature(std::uint8_t* report, std::size_t length) override
    {
        return m_info.isReader ? m_owner.GiveGetFeature(report, length) : -1;
    }
    int FeatureReportLength() override { return m_info.featureReportLength; }

private:
    SimUsbReader& m_owner;
    SimHidInterface m_info;
};

}  // namespace

std::vector<SimHidInterface> SimDesktopInterfaces()
{
    std::vector<SimHidInterface> out;
    SimHidInterface keyboard{"sim:keyboard", 0x046D, 0xC31C, 0x4910, true, false, L"Logitech", L"USB Keyboard"};
    for (int usage = 0; usage < 3; ++usage)
        out.push_back(keyboard);
    out.push_back({"sim:mouse", 0x093A, 0x2510, 0x0100, false, false, L"PixArt", L"USB Optical Mouse"});
    out.push_back({"sim:headset", 0x0D8C, 0x0014, 0x0100, true, false, L"C-Media", L"USB Audio Device"});
    return out;
}

SimUsbReader::SimUsbReader(SimReaderMemory& memory, std::uint16_t vendorId, std::uint16_t productId)
    : m_memory(memory)
{
    SimHidInterface reader;
    reader.path = "sim:usb-reader";
    reader.vendorId = vendorId;
    reader.productId = productId;
    reader.isReader = true;
    reader.product = L"Simulated MR";
    reader.serialNumber = L"SIM-0001";
    reader.location = "1-1";
    interfaces.push_back(reader);
}

void SimUsbReader::AddIdenticalReader()
{
    int readers = 0;
    for (const SimHidInterface& i : interfaces)
        readers += i.isReader ? 1 : 0;
    const auto first =
        std::find_if(interfaces.begin(), interfaces.end(), [](const SimHidInterface& i) { return i.isReader; });
    if (first == interfaces.end())
        return;
    SimHidInterface copy = *first;
    copy.path = "sim:usb-reader-" + std::to_string(readers + 1);
    copy.location = "1-" + std::to_string(readers + 1);
    interfaces.push_back(copy);
}

bool SimUsbReader::Enumerate(std::vector<HidInterfaceInfo>& out)
{
    out.clear();
    if (enumerateFails)
        return false;
    for (SimHidInterface& i : interfaces)
        if (i.present && !(i.isReader && unplugged)) {
            out.push_back({i.path, i.listedWithoutIds ? std::uint16_t{0} : i.vendorId,
                           i.listedWithoutIds ? std::uint16_t{0} : i.productId, i.versionNumber, i.manufacturer,
                           i.product, i.serialNumber, i.location, i.unreadyListings == 0});
            i.unreadyListings -= i.unreadyListings > 0 ? 1 : 0;
        }
    return true;
}

void SimUsbReader::DeviceClosed(bool reader)
{
    if (reader && vanishAfterSearch)
        unplugged = true;
}

bool SimUsbReader::CountReport(int& number)
{
    const int n = number = m_sequenceReports++;
    if (n == refuseReport)
        return false;
    return stopAtReport < 0 || n < stopAtReport;
}

std::unique_ptr<IHidDevice> SimUsbReader::Open(const std::string& path, std::string* why)
{
    for (SimHidInterface& i : interfaces) {
        if (i.path != path)
            continue;
        if (!i.present || (i.isReader && unplugged))
            break;
        if (!i.openable || (i.deniedOpens > 0 && i.deniedOpens--)) {
            if (why)
                *why = "Permission denied";
            return nullptr;
        }
        return std::make_unique<SimHidDevice>(*this, i);
    }
    if (why)
        *why = "No such file or directory";
    return nullptr;
}

bool SimUsbReader::TakeSetFeature(const std::uint8_t* report, std::size_t length)
{
    setReports.emplace_back(report, report + length);
    if (refuseAll || length != 9 || report[0] != 0x00)
        return false;
    const std::uint8_t code = report[1];
    if (code == 0xE7 || code == 0xE6)
        m_sequenceReports = 0;
    int number = 0;
    if (!CountReport(number))
        return false;
    if (code == 0xE3) {
        if (m_mode != Mode::Writing)
            return false;
        for (int i = 8; i >= 2; --i)
            m_incoming.push_back(report[i]);
        return true;
    }
    if (code == 0xE7) {
        TraceWriteCommand("USB");
        m_mode = Mode::Writing;
        m_incoming.clear();
        return true;
    }
    if (code == 0xE6) {
        m_mode = Mode::Reading;
        // The image, then the first eight bytes of the trailer.
        const ConfigImage image = m_memory.AnswerImage();
        const ImageTrailer trailer = m_memory.Trailer();
        m_outgoing.resize(imageSize + 8);
        std::copy(image.begin(), image.end(), m_outgoing.begin());
        std::copy_n(trailer.begin(), 8, m_outgoing.begin() + imageSize);
        if (alterReadBack)
            alterReadBack(m_outgoing);
        m_outPos = 0;
        return true;
    }
    if (code == 0xE8) {
        // A complete write with a good check byte becomes the new image.
        if (m_mode == Mode::Writing && m_incoming.size() == 98 &&
            XorOf(m_incoming.data(), imageSize + trailerSize) == m_incoming[imageSize + trailerSize]) {
            ConfigImage image{};
            ImageTrailer trailer{};
            std::copy_n(m_incoming.begin(), imageSize, image.begin());
            std::copy_n(m_incoming.begin() + imageSize, trailerSize, trailer.begin());
            m_memory.SetImage(image);
            m_memory.SetTrailer(trailer);
            ++m_memory.imageWrites;
        }
        m_mode = Mode::Idle;
        return true;
    }
    return false;
}

int SimUsbReader::GiveGetFeature(std::uint8_t* report, std::size_t length)
{
    ++getReports;
    int number = 0;
    if (!CountReport(number))
        return -1;
    if (length != 9 || m_mode != Mode::Reading || m_outPos + 8 > m_outgoing.size())
        return -1;
    report[0] = 0x00;
    for (int i = 0; i < 8; ++i)
        report[8 - i] = m_outgoing[m_outPos + static_cast<std::size_t>(i)];
    m_outPos += 8;
    return number == shortReport ? 5 : 9;
}
