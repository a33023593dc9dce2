// write and read: the reader verbs, on the editor's procedures.
#include <cctype>
#include <iostream>
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
    SimFaultSwitch fault;
    std::optional<std::string> vid;
    std::optional<std::string> pid;
};

// Parses the options of write (needFile) or read (needOut); prints usage on error.
std::optional<Options> Parse(const std::vector<std::string>& args, bool isWrite, int& code)
{
    const char* help = isWrite ? kWriteHelp : kReadHelp;
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << help;
            code = exitOk;
            return std::nullopt;
        }
        if (a == "--simulate") {
            o.simulate = true;
        } else if (a.rfind("--fault=", 0) == 0) {
            if (!ParseSimFault(a.substr(8), o.fault)) {
                std::cerr << "tovask-cli: unknown fault '" << a.substr(8) << "': use " << SimFaultNames() << '\n';
                code = exitUsage;
                return std::nullopt;
            }
        } else if (ParseUsbIdOption(args, i, o.vid, o.pid)) {
            continue;  // --vid or --pid with its value
        } else if ((a == "--port" || a == "-p") && i + 1 < args.size()) {
            o.port = args[++i];
        } else if (!isWrite && (a == "-o" || a == "--output") && i + 1 < args.size()) {
            o.out = args[++i];
        } else if (isWrite && !a.empty() && a[0] != '-' && o.file.empty()) {
            o.file = a;
        } else {
            std::cerr << "tovask-cli: unexpected argument '" << a << "'\n" << help;
            code = exitUsage;
            return std::nullopt;
        }
    }
    if (o.fault.fault != SimFault::None && !o.simulate) {
        std::cerr << "tovask-cli: --fault needs --simulate\n";
        code = exitUsage;
        return std::nullopt;
    }
    if (o.port.empty() || (isWrite ? o.file.empty() : o.out.empty())) {
        std::cerr << help;
        code = exitUsage;
        return std::nullopt;
    }
    return o;
}

int Transfer(const Options& o, bool isWrite)
{
    UsbIds usbIds;
    if (!ResolveUsbIds(o.vid, o.pid, usbIds))
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
    if (o.fault.fault != SimFault::None && !simulated->SetFault(o.fault)) {
        std::cerr << "tovask-cli: the fault '" << SimFaultName(o.fault) << "' cannot happen on " << o.port << '\n';
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

int CmdWrite(const std::vector<std::string>& args)
{
    int code = exitOk;
    const auto o = Parse(args, true, code);
    return o ? Transfer(*o, true) : code;
}

int CmdRead(const std::vector<std::string>& args)
{
    int code = exitOk;
    const auto o = Parse(args, false, code);
    return o ? Transfer(*o, false) : code;
}
