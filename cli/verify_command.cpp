// verify: compares the reader's template with a file, writing nothing.
#include <memory>

#include "cli/cli_io.h"
#include "cli/reader_link.h"

namespace {

const char* kVerifyHelp =
    "Usage: tovask-cli verify FILE --port PORT [--json] [--device PATH|LOCATION|SERIAL]\n"
    "                         [--vid HEX --pid HEX] [--simulate [--fault=NAME] [--readers N]]\n"
    "Reads the reader's template and compares it with FILE, value by value as diff\n"
    "does (FILE's value first); nothing is written.\n"
    "  --port PORT   USB, PS2, COM1..COM255, or a serial device path such as /dev/ttyUSB0\n"
    "                (on Windows also \\\\.\\COM12)\n"
    TOVASK_LINK_OPTIONS_HELP
    "FILE - is standard input.\n"
    "Exit code 0 the reader holds FILE, 1 the transfer failed or the output could not\n"
    "be written, 2 bad usage or a file error, 3 the reader holds other values than\n"
    "FILE, 4 no reader could be reached, 128+N a signal N came (after the transfer).\n";

}  // namespace

void AddVerifyVerb(CLI::App& tool)
{
    struct Options {
        std::string file;
        LinkOptions link;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(
        tool, {"verify", "verify FILE --port PORT", "compare the reader's template with FILE", kVerifyHelp}, [o] {
            ConfigImage fileImage{}, readerImage{};
            ReaderLink link(o->link);
            if (std::string said; !LoadTemplateFile(o->file, fileImage, &said))
                return FileFailed(o->link, link, said);
            int code = link.Open();
            if (code == exitOk)
                code = link.Read(readerImage, true);
            if (code == exitUsage)
                return code;
            if (code != exitOk)
                return Finish(o->link, link, code, "");
            return Compare(o->link, link, o->file, fileImage, readerImage);
        });
    verb->add_option("FILE", o->file)->required();
    AddLinkOptions(*verb, o->link);
}
