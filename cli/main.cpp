// tovask-cli: the command-line front end on the editor's model and procedures.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "device/trace.h"
#include "tovask_version.h"

namespace {

const char* kUsage =
    "Usage: tovask-cli <command> [options]\n"
    "\n"
    "Commands:\n"
    "  new FILE                   write a new template (the default settings) to FILE\n"
    "  dump [--json] FILE         print the template held in FILE\n"
    "  get FILE NAME              print one value of the template in FILE\n"
    "  set FILE NAME=VALUE...     change values of the template in FILE\n"
    "  from-json JSON OUT         build a template from 'dump --json' output (- for stdin)\n"
    "  diff A B                   print the values that differ between two templates\n"
    "  write FILE --port PORT     write the template in FILE into the reader\n"
    "  read --port PORT -o FILE   read the reader's template into FILE\n"
    "  devices [--json]           list the HID interfaces and which one is the reader\n"
    "  udev-rule                  print the udev rules that give the user the reader\n"
    "\n"
    "PORT is USB, PS2, COM1..COM255 or a serial device path. --simulate talks to the\n"
    "built-in simulated reader instead of a real one. --vid HEX --pid HEX name the USB\n"
    "reader (else TOVASK_USB_VID / TOVASK_USB_PID, else the build's pair).\n"
    "--verbose, with any command, prints what is asked of the reader on standard error.\n"
    "Run 'tovask-cli <command> --help' for a command's options.\n";

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0 || std::strcmp(argv[i], "-v") == 0)
            SetTraceSink([](const std::string& line) { std::cerr << line << std::flush; });
        else
            args.emplace_back(argv[i]);
    }
    if (args.empty()) {
        std::cerr << kUsage;
        return exitUsage;
    }
    const std::string verb = args.front();
    args.erase(args.begin());
    if (verb == "--help" || verb == "-h" || verb == "help") {
        std::cout << kUsage;
        return exitOk;
    }
    if (verb == "--version") {
        std::cout << "tovask-cli " TOVASK_VERSION "\n";
        return exitOk;
    }
    if (verb == "new")
        return CmdNew(args);
    if (verb == "dump")
        return CmdDump(args);
    if (verb == "get")
        return CmdGet(args);
    if (verb == "set")
        return CmdSet(args);
    if (verb == "from-json")
        return CmdFromJson(args);
    if (verb == "diff")
        return CmdDiff(args);
    if (verb == "write")
        return CmdWrite(args);
    if (verb == "read")
        return CmdRead(args);
    if (verb == "devices")
        return CmdDevices(args);
    if (verb == "udev-rule")
        return CmdUdevRule(args);
    std::cerr << "tovask-cli: unknown command '" << verb << "'\n\n" << kUsage;
    return exitUsage;
}
