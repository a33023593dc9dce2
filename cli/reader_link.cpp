#include "cli/reader_link.h"

#include <iostream>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/run_control.h"
#include "device/com/com_port.h"
#include "device/kb/kbio.h"
#include "device/usb/usb_port.h"
#include "sim/usb_reader.h"

namespace {

// The command-line tool has no panel: the record decoded from the file is the template.
class CliHost : public PanelessHost {
public:
    void SetBusyNotice(const std::string& text) override
    {
        PanelessHost::SetBusyNotice(text);
        if (!text.empty())
            std::cerr << text << std::endl;
    }
};

}  // namespace

void AddLinkOptions(CLI::App& verb, LinkOptions& o)
{
    verb.add_option("-p,--port", o.port)->required();
    AddUsbIdOptions(verb, o.ids);
    AddSwitch(verb, "--simulate", o.simulate);
    verb.add_option("--fault", o.fault);
    AddSwitch(verb, "--json", o.json);
    verb.add_option("--device", o.device);
    verb.add_option("--readers", o.readers)->check(CLI::Range(1, 9));
}

int ExitCodeOfMessage(const std::string& message, const char* success)
{
    static const char* const notReached[] = {
        msg::noUsbReader,        msg::cantOpenComPort,     msg::cantOpenThisComPort, msg::noComPortOpened,
        msg::ps2WriteNotDetected, msg::ps2WriteNoDriver,   msg::ps2ReadNotDetected,  msg::ps2ReadNoDriver,
        kbmsg::cantOpenDriver,   kbmsg::wrongSystemInfo,
    };
    if (message == success)
        return exitOk;
    for (const char* text : notReached)
        if (message == text)
            return exitUnreachable;
    if (message.rfind("The simulated reader could not start: ", 0) == 0)
        return exitUnreachable;
    return exitFailed;
}

void CliSink::ShowMessage(const std::string& text, Icon)
{
    last = text;
    if (m_holding)
        m_held.push_back(text);
    else if (!m_quiet)
        Print(text);
}

void CliSink::Print(const std::string& text)
{
    if (m_toError)
        std::cerr << text << std::endl;
    else
        PrintOut(text + "\n");
}

void CliSink::Release(bool print)
{
    m_holding = false;
    if (print && !m_quiet)
        for (const std::string& text : m_held)
            Print(text);
    m_held.clear();
}

ReaderLink::ReaderLink(const LinkOptions& o, bool quiet) : m_options(o), m_sink(o.json || quiet) {}

ReaderLink::~ReaderLink() = default;

int ReaderLink::Open()
{
    const LinkOptions& o = m_options;
    SimFaultSwitch fault;
    if (o.fault && !ParseSimFault(*o.fault, fault)) {
        Complain("unknown fault '" + *o.fault + "': use " + SimFaultNames());
        return exitUsage;
    }
    if (o.fault && !o.simulate) {
        Complain("--fault needs --simulate");
        return exitUsage;
    }
    UsbIds usbIds;
    if (!ResolveUsbIds(o.ids, usbIds))
        return exitUsage;
    const PortChoice choice = PortOption(o.port);
    const int portKind = choice.portKind;
    const std::string& devicePath = choice.devicePath;
    if (portKind < 0)
        return exitUsage;
    if (!o.device.empty() && portKind != portKindUSB) {
        Complain("--device chooses among USB readers: it needs --port USB");
        return exitUsage;
    }
    if (o.readers != 1 && !(o.simulate && portKind == portKindUSB)) {
        Complain("--readers needs --simulate and --port USB");
        return exitUsage;
    }
    m_simulated = o.simulate ? std::make_unique<SimReader>(portKind) : nullptr;
    for (int n = 1; n < o.readers; ++n)
        m_simulated->Usb()->AddIdenticalReader();
    m_links = std::make_unique<LinkSet>(portKind, m_simulated.get(), devicePath);
    m_links->SetUsbIds(usbIds);
    if (CUSBport* usb = m_links->Usb())
        usb->onlyOneReader = true;
    ChooseDevice(o.device);
    if (fault.fault != SimFault::None && !m_simulated->SetFault(fault)) {
        Complain("the fault '" + SimFaultName(fault) + "' cannot happen on " + o.port);
        return exitUsage;
    }
    return Restart();
}

int ReaderLink::Restart()
{
    m_sink.last.clear();
    struct Held {
        Held() { HoldEndSignals(true); }
        ~Held() { HoldEndSignals(false); }
    } held;
    if (m_links->Start(m_sink) != LinkSet::StartResult::Ok) {
        const int code = ExitCodeOfMessage(m_sink.last, "");
        return code == exitOk ? exitFailed : code;
    }
    CUSBport* usb = m_links->Usb();
    if (usb) {
        usb->wantedVendorId = m_links->GetUsbIds().vendorId;
        usb->wantedProductId = m_links->GetUsbIds().productId;
    }
    m_several.clear();
    if (usb && !usb->FindDevice() && !usb->severalReaders.empty()) {
        m_several = usb->severalReaders;
        std::string text = "More than one reader answers; choose one with --device PATH or --device LOCATION:";
        for (const HidListing& l : usb->severalReaders)
            text += "\n  " + l.path + (l.location.empty() ? "" : "  (location " + l.location + ")");
        m_sink.ShowMessage(text, IMessageSink::Icon::Error);
        return exitUnreachable;
    }
    if (usb)
        usb->CloseDevice();
    return exitOk;
}

void ReaderLink::ChooseDevice(const std::string& pathOrLocation)
{
    if (CUSBport* usb = m_links->Usb())
        usb->chosenDevice = pathOrLocation;
}

int ReaderLink::Run(void (*procedure)(TransferContext&), const char* success)
{
    CliHost host;
    TransferContext ctx{m_doc, host, m_sink, DefaultSleeper()};
    m_links->Fill(ctx);
    m_sink.last.clear();
    HoldEndSignals(true);
    procedure(ctx);
    HoldEndSignals(false);
    return ExitCodeOfMessage(m_sink.last, success);
}

int ReaderLink::Write(const ConfigImage& image)
{
    m_doc.image = image;
    m_doc.DecodeImage();
    m_doc.needsDecode = 0;
    return Run(OnWriteIntoMR, msg::writingOk);
}

int ReaderLink::Read(ConfigImage& image, bool quiet)
{
    if (quiet)
        m_sink.Hold();
    const int code = Run(OnReadFromMR, msg::readingOk);
    if (quiet)
        m_sink.Release(code != exitOk);
    if (code == exitOk)
        image = m_doc.image;
    return code;
}

std::string ReaderLink::Path() const
{
    if (!m_links)
        return {};
    if (IsComPortKind(m_links->PortKind()))
        return ComDevicePath(m_links->PortKind() - 1);
    if (m_links->PortKind() == portKindUSB && m_links->Usb())
        return m_links->Usb()->devicePath;
    return {};
}

int Finish(const LinkOptions& o, ReaderLink& link, int code, const std::string& message,
           const std::vector<Difference>& differences)
{
    if (!o.json) {
        std::string text;
        for (const Difference& d : differences)
            text += d.line + "\n";
        return PrintOut(text) ? code : exitFailed;
    }
    Json names = Json::array();
    for (const Difference& d : differences)
        names.push_back(d.name);
    Json result = {{"result", ResultName(code)},
                   {"exitCode", code},
                   {"message", JsonName(message.empty() ? link.Sink().last : message)},
                   {"differences", names},
                   {"path", JsonName(link.Path())}};
    if (!link.SeveralReaders().empty()) {
        Json readers = Json::array();
        for (const HidListing& l : link.SeveralReaders())
            readers.push_back({{"path", JsonName(l.path)}, {"location", JsonName(l.location)}});
        result["readers"] = readers;
    }
    return PrintJson(result) ? code : exitFailed;
}

int FileFailed(const LinkOptions& o, ReaderLink& link, const std::string& said)
{
    return o.json ? Finish(o, link, exitUsage, said) : exitUsage;
}

int Compare(const LinkOptions& o, ReaderLink& link, const std::string& file, const ConfigImage& fileImage,
            const ConfigImage& readerImage)
{
    const std::vector<Difference> differences = Differences(fileImage, readerImage);
    const std::string said = differences.empty() ? "The reader holds " + file + "."
                                                 : "The reader holds other values than " + file + ":";
    if (!o.json)
        PrintOut(said + "\n");
    return Finish(o, link, differences.empty() ? exitOk : exitDiffers, said, differences);
}

WriteResult WriteVerified(ReaderLink& link, const ConfigImage& image, const std::string& file, bool ifDifferent,
                          bool verify)
{
    WriteResult r;
    ConfigImage back{};
    if (ifDifferent) {
        r.code = link.Read(back, true);
        // A reader that cannot be read is written all the same; one not reached is not.
        if (r.code == exitUnreachable || r.code >= 128) {
            r.message = link.Sink().last;
            return r;
        }
        if (r.code == exitOk && Differences(image, back).empty()) {
            r.message = "The reader already holds " + file + ".";
            r.skipped = true;
            return r;
        }
    }
    r.code = link.Write(image);
    r.message = link.Sink().last;
    if (r.code != exitOk || !verify)
        return r;
    r.code = link.Read(back, true);
    r.message = link.Sink().last;
    if (r.code != exitOk)
        return r;
    r.differences = Differences(image, back);
    r.code = r.differences.empty() ? exitOk : exitDiffers;
    r.message = r.differences.empty() ? "The reader holds " + file + "." : "The reader holds other values than " + file + ":";
    r.compared = true;
    return r;
}
