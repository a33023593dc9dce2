// write and read: the reader verbs, on the editor's procedures.
#include <iostream>
#include <memory>

#include "cli/cli_io.h"
#include "cli/reader_link.h"

namespace {

const char* kWriteHelp =
    "Usage: tovask-cli write FILE --port PORT [--verify] [--if-different] [--json]\n"
    "                        [--each [--count N] [--log FILE]]\n"
    "                        [--device PATH|LOCATION|SERIAL] [--vid HEX --pid HEX]\n"
    "                        [--simulate [--fault=NAME] [--readers N]]\n"
    "Writes the template in FILE into the reader, with the editor's waits and messages.\n"
    "  --port PORT      USB, PS2, COM1..COM255, or a serial device path such as /dev/ttyUSB0\n"
    "                   (on Windows also \\\\.\\COM12)\n"
    "  --verify         read the template back over the same link and compare it with\n"
    "                   FILE, value by value as diff does\n"
    "  --if-different   read first; when the reader already holds FILE, write nothing\n"
    "  --each           program reader after reader, each written and verified: on USB or\n"
    "                   a serial device path as each is connected, on COMn and PS2 after\n"
    "                   Enter; Ctrl+C (SIGTERM, SIGHUP) ends the run once the reader at\n"
    "                   hand is done, as does output that cannot be written\n"
    "  --count N        end after N readers\n"
    "  --log FILE       append one JSON line per reader to FILE (- standard output),\n"
    "                   synced to the disk before the reader's line is printed\n"
    "  --json           print one JSON object: result, exitCode, message, differences,\n"
    "                   path; with --each one JSON line per reader and a summary line\n"
    "  --device D       USB: the reader with this path, location or serial number\n"
    "                   (see tovask-cli devices); without it, several readers\n"
    "                   answering are refused\n"
    "  --vid, --pid     the USB reader's identifiers (see tovask-cli devices)\n"
    "  --simulate       use the built-in simulated reader\n"
    "  --readers N      with --simulate on USB: N identical simulated readers\n"
    "  --fault=NAME     make the simulated reader misbehave: stop, late, garble,\n"
    "                   refuse[=N], vanish, cts-low, drift[=N]\n"
    "FILE - is standard input.\n"
    "Exit code 0 written (and verified where asked), 1 the transfer failed or the output\n"
    "could not be written, 2 bad usage or a file error, 3 the reader holds other values\n"
    "than FILE, 4 no reader could be reached (not found, the port cannot be opened,\n"
    "permission denied, several USB readers and no --device), 128+N a signal N (130\n"
    "Ctrl+C) came; the transfer at hand was finished first. With --each: 0 when no\n"
    "reader failed, 1 otherwise; the last line says how many of each.\n";

const char* kReadHelp =
    "Usage: tovask-cli read --port PORT -o FILE [--json] [--device PATH|LOCATION|SERIAL]\n"
    "                       [--vid HEX --pid HEX] [--simulate [--fault=NAME] [--readers N]]\n"
    "Reads the reader's template and saves it to FILE.\n"
    "  --port PORT   USB, PS2, COM1..COM255, or a serial device path such as /dev/ttyUSB0\n"
    "                (on Windows also \\\\.\\COM12)\n"
    "  -o FILE       where to save the template (64 bytes); - for standard output,\n"
    "                the messages then go to standard error\n"
    TOVASK_LINK_OPTIONS_HELP
    "Exit code 0 on \"programmable MR reading OK!\", 1 the transfer failed or the output\n"
    "could not be written, 2 bad usage or a file error, 4 no reader could be reached,\n"
    "128+N a signal N (130 Ctrl+C) came; the transfer at hand was finished first.\n";

int Write(const WriteOptions& o)
{
    ConfigImage fileImage{};
    ReaderLink link(o.link);
    if (std::string said; !LoadTemplateFile(o.file, fileImage, &said))
        return FileFailed(o.link, link, said);
    if (const int code = link.Open(); code != exitOk)
        return code == exitUsage ? code : Finish(o.link, link, code, "");
    const WriteResult w = WriteVerified(link, fileImage, o.file, o.ifDifferent, o.verify);
    if ((w.skipped || w.compared) && !o.link.json)
        PrintOut(w.message + "\n");
    return Finish(o.link, link, w.code, w.message, w.differences);
}

int Read(const LinkOptions& o, const std::string& out)
{
    if (out == "-" && o.json) {
        Complain("-o - and --json would both print on standard output");
        return exitUsage;
    }
    ReaderLink link(o);
    if (out == "-")
        link.Sink().ToStandardError();  // standard output carries the 64 bytes
    int code = link.Open();
    if (code == exitUsage)
        return code;
    ConfigImage image{};
    if (code == exitOk)
        code = link.Read(image);
    if (std::string said; code == exitOk && !SaveTemplateFile(out, image, &said))
        return FileFailed(o, link, said);
    return Finish(o, link, code, "");
}

}  // namespace

void AddWriteVerb(CLI::App& tool)
{
    auto o = std::make_shared<WriteOptions>();
    CLI::App* verb = AddVerb(tool, {"write", "write FILE --port PORT", "write the template in FILE into the reader", kWriteHelp},
                             [o] { return o->each ? WriteEach(*o) : Write(*o); });
    verb->add_option("FILE", o->file)->required();
    AddLinkOptions(*verb, o->link);
    AddSwitch(*verb, "--verify", o->verify);
    AddSwitch(*verb, "--if-different", o->ifDifferent);
    AddSwitch(*verb, "--each", o->each);
    CLI::Option* each = verb->get_option("--each");
    verb->add_option("--count", o->count)->check(CLI::PositiveNumber)->needs(each);
    verb->add_option("--log", o->log)->needs(each);
}

void AddReadVerb(CLI::App& tool)
{
    struct Options {
        LinkOptions link;
        std::string out;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"read", "read --port PORT -o FILE", "read the reader's template into FILE", kReadHelp},
                             [o] { return Read(o->link, o->out); });
    verb->add_option("-o,--output", o->out)->required();
    AddLinkOptions(*verb, o->link);
}
