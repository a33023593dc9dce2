// write and read: the reader verbs, on the editor's procedures.
#include <cctype>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "device/com/serial_line.h"
#include "device/link_set.h"
#include "device/transfer.h"
#include "sim/simulated_reader.h"
#include "model/tovask_doc.h"

namespace {

const char* kWriteHelp =
    "Usage: tovask-cli write FILE --port PORT [--vid HEX --pid HEX] [--simulate [--fault=NAME]]\n"
    "Writes the template in FILE into the reader, with the editor's waits and messages.\n"
    "  --port PORT   USB, PS2, COM1..COM255, or a serial device path such as /dev/ttyUSB0\n"
    "                (on Windows also \\\\.\\COM12)\n"
    "  --vid, --pid  the USB reader's identifiers (see tovask-cli devices)\n"
    "  --simulate    use the built-in simulated reader\n"
    "  --fault=NAME  make the simulated reader misbehave: stop, late, garble,\n"
    "                refuse[=N], vanish, cts-low\n"
    "Exit code 0 on \"programmable MR writing OK, Check MR data please !\", 1 otherwise.\n";

const char* kReadHelp =
    "Usage: tovask-cli read --port PORT -o FILE [--vid HEX --pid HEX] [--simulate [--fault=NAME]]\n"
    "Reads the reader's template and saves it to FILE.\n"
    "  --port PORT   USB, PS2, COM1..COM255, or a serial device path such as /dev/ttyUSB0\n"
    "                (on Windows also \\\\.\\COM12)\n"
    "  --vid, --pid  the USB reader's identifiers (see tovask-cli devices)\n"
    "  -o FILE       where to save the template (64 bytes)\n"
    "  --simulate    use the built-in simulated reader\n"
    "  --fault=NAME  make the simulated reader misbehave: stop, late, garble,\n"
    "                refuse[=N], vanish, cts-low\n"
    "Exit code 0 on \"programmable MR reading OK!\", 1 otherwise.\n";

// Messages go to standard output, one per line, as the editor would show them.
class PrintingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override
    {
        std::cout << text << std::endl;
        last = text;
    }
    std::string last;
};

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

struct Options {
    std::string file;
    std::string out;
    std::string port;
    bool simulate = false;
    std::optional<std::string> fault;
    UsbIdOptions ids;
};

// The options write and read share.
void AddLinkOptions(CLI::App& verb, Options& o)
{
    verb.add_option("-p,--port", o.port)->required();
    AddUsbIdOptions(verb, o.ids);
    AddSwitch(verb, "--simulate", o.simulate);
    verb.add_option("--fault", o.fault);
}

int Transfer(const Options& o, bool isWrite)
{
    SimFaultSwitch fault;
    if (o.fault && !ParseSimFault(*o.fault, fault)) {
        std::cerr << "tovask-cli: unknown fault '" << *o.fault << "': use " << SimFaultNames() << '\n';
        return exitUsage;
    }
    if (o.fault && !o.simulate) {
        std::cerr << "tovask-cli: --fault needs --simulate\n";
        return exitUsage;
    }
    UsbIds usbIds;
    if (!ResolveUsbIds(o.ids, usbIds))
        return exitUsage;
    CTovaskDoc doc;
    if (isWrite) {
        if (!LoadTemplateFile(o.file, doc.image))
            return exitFailed;
    }
    doc.DecodeImage();
    doc.needsDecode = 0;

    const PortChoice choice = ParsePortName(o.port);
    const int portKind = choice.portKind;
    if (portKind < 0) {
        std::cerr << "tovask-cli: unknown port '" << o.port
                  << "': use USB, PS2, COM1..COM255 or a serial device path\n";
        return exitUsage;
    }
    std::unique_ptr<SimReader> simulated = o.simulate ? std::make_unique<SimReader>(portKind) : nullptr;
    LinkSet links(portKind, simulated.get(), choice.devicePath);
    links.SetUsbIds(usbIds);
    if (fault.fault != SimFault::None && !simulated->SetFault(fault)) {
        std::cerr << "tovask-cli: the fault '" << SimFaultName(fault) << "' cannot happen on " << o.port << '\n';
        return exitUsage;
    }
    PrintingSink sink;
    if (links.Start(sink) != LinkSet::StartResult::Ok)
        return exitFailed;
    CliHost host;
    TransferContext ctx{doc, host, sink, DefaultSleeper()};
    links.Fill(ctx);

    if (isWrite) {
        OnWriteIntoMR(ctx);
        return sink.last == msg::writingOk ? exitOk : exitFailed;
    }
    OnReadFromMR(ctx);
    if (sink.last != msg::readingOk)
        return exitFailed;
    return SaveTemplateFile(o.out, doc.image) ? exitOk : exitFailed;
}

}  // namespace

void AddWriteVerb(CLI::App& tool)
{
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"write", "write FILE --port PORT", "write the template in FILE into the reader", kWriteHelp},
                             [o] { return Transfer(*o, true); });
    verb->add_option("FILE", o->file)->required();
    AddLinkOptions(*verb, *o);
}

void AddReadVerb(CLI::App& tool)
{
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"read", "read --port PORT -o FILE", "read the reader's template into FILE", kReadHelp},
                             [o] { return Transfer(*o, false); });
    verb->add_option("-o,--output", o->out)->required();
    AddLinkOptions(*verb, *o);
}
