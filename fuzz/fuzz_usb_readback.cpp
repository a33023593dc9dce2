// Whatever the USB reader hands back: a read takes the 64 bytes of the nine
// get-feature reports as they came, or nothing at all; a write counts as done
// only when a read-back matched; the device is closed on every path.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device/transfer.h"
#include "device/usb/hid_backend.h"
#include "device/usb/usb_port.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "model/message_sink.h"
#include "model/tovask_doc.h"

namespace {

// The reader's answers: the first input byte picks the set-feature report
// that is refused (counted from the first of the run; 255: none), the rest
// fill the get-feature reports nine bytes at a time.
struct Script {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    int refuseSet = -1;
    int sets = 0;
    int openNow = 0;
};

class ScriptedDevice : public IHidDevice {
public:
    explicit ScriptedDevice(Script& script) : m_script(script) { ++m_script.openNow; }
    ~ScriptedDevice() override { --m_script.openNow; }
    bool GetAttributes(HidAttributes& out) override
    {
        out = {BuildUsbIds().vendorId, BuildUsbIds().productId, 0x0100};
        return true;
    }
    bool GetManufacturerString(std::wstring& out) override
    {
        out = L"fuzz";
        return true;
    }
    bool GetProductString(std::wstring& out) override
    {
        out = L"fuzz";
        return true;
    }
    bool SetFeature(const std::uint8_t*, std::size_t) override { return m_script.sets++ != m_script.refuseSet; }
    // The script's end cuts the last report short.
    int GetFeature(std::uint8_t* report, std::size_t length) override
    {
        const std::size_t n = std::min(length, m_script.size - m_script.pos);
        if (n == 0)
            return -1;
        std::copy_n(m_script.data + m_script.pos, n, report);
        m_script.pos += n;
        return static_cast<int>(n);
    }

private:
    Script& m_script;
};

class ScriptedBackend : public IHidBackend {
public:
    explicit ScriptedBackend(Script& script) : m_script(script) {}
    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out = {{"fuzz:reader", BuildUsbIds().vendorId, BuildUsbIds().productId, 0x0100, L"fuzz", L"fuzz"}};
        return true;
    }
    std::unique_ptr<IHidDevice> Open(const std::string&, std::string*) override
    {
        return std::make_unique<ScriptedDevice>(m_script);
    }

private:
    Script& m_script;
};

constexpr std::size_t reportBytes = 9;
constexpr std::size_t readReports = 9;

// The first 64 bytes a read delivers, stated on their own: each report
// carries eight bytes after its report number, last byte first.
ConfigImage ImageFromReports(const std::uint8_t* reports)
{
    ConfigImage image{};
    for (int n = 0; n < imageSize; ++n)
        image[n] = reports[(n / 8) * reportBytes + 8 - (n % 8)];
    return image;
}

// One command against a reader answering from the input.
struct UsbRun {
    UsbRun(const std::uint8_t* data, std::size_t size, int refuse) : script{data + 1, size - 1}
    {
        script.refuseSet = refuse;
        doc.image = FuzzStartImage();
        doc.DecodeImage();
    }
    std::string Shown() const { return sink.messages.empty() ? std::string() : sink.messages.front(); }

    Script script;
    ScriptedBackend backend{script};
    CUSBport usb{backend};
    CTovaskDoc doc;
    PanelessHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindUSB, false, nullptr, nullptr, &usb};
};

}  // namespace

int FuzzUsbReadBack(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int refuse = data[0] == 0xFF ? -1 : data[0] % 32;

    // Read from MR.
    {
        UsbRun run(data, size, refuse);
        const ConfigImage imageBefore = run.doc.image;
        const TemplateRecord recordBefore = run.doc.record;
        ReadOverUSB(run.ctx);

        FUZZ_CHECK(run.sink.messages.size() == 1);
        FUZZ_CHECK(run.script.openNow == 0);
        const bool allReports = size - 1 >= readReports * reportBytes;
        // The read sends the request (set report 0), the nine get-feature
        // reports, then the end report (set report 1); refusing either
        // set report fails the read.
        if (allReports && refuse != 0 && refuse != 1) {
            FUZZ_CHECK(run.Shown() == msg::readingOk);
            FUZZ_CHECK(run.doc.image == ImageFromReports(data + 1));
            TemplateRecord decoded;
            DecodeImage(run.doc.image, decoded);
            FUZZ_CHECK(run.doc.record == decoded);
            CheckImageRoundTrip(run.doc.image);
        } else {
            FUZZ_CHECK(run.Shown() == msg::usbReadingError);
            FUZZ_CHECK(run.doc.image == imageBefore);
            FUZZ_CHECK(run.doc.record == recordBefore);
            FUZZ_CHECK(run.host.panelUpdates == 0);
        }
    }

    // Write into MR, with the same bytes as the read-backs.
    {
        UsbRun run(data, size, refuse);
        const TemplateRecord recordBefore = run.doc.record;
        WriteOverUSB(run.ctx);

        FUZZ_CHECK(run.sink.messages.size() == 1);
        FUZZ_CHECK(run.script.openNow == 0);
        FUZZ_CHECK(run.doc.record == recordBefore);
        const std::string shown = run.Shown();
        FUZZ_CHECK(shown == msg::writingOk || shown == msg::usbWritingDone || shown == msg::usbWritingError2);
        if (shown == msg::writingOk) {
            // The last nine reports read back were the image just written.
            const std::size_t pos = run.script.pos;
            FUZZ_CHECK(pos >= readReports * reportBytes);
            FUZZ_CHECK(pos < readReports * reportBytes ||
                       ImageFromReports(data + 1 + pos - readReports * reportBytes) == run.doc.image);
        }
        // Five attempts at most, each with its 200 ms, 50 ms and 400 ms.
        FUZZ_CHECK(run.sleeper.Total() <= 5 * (200 + 50 + 100 + 400));
    }
    return 0;
}
