// tovask-cli: the command-line front end on the editor's model and procedures.
#include <iostream>
#include <map>
#include <string>

#include "cli/verbs.h"
#include "device/trace.h"
#include "tovask_version.h"

namespace {

const char* kUsageHead =
    "Usage: tovask-cli <command> [options]\n"
    "\n"
    "Commands:\n";

const char* kUsageTail =
    "\n"
    "PORT is USB, PS2, COM1..COM255 or a serial device path. --simulate talks to the\n"
    "built-in simulated reader instead of a real one. --vid HEX --pid HEX name the USB\n"
    "reader (else TOVASK_USB_VID / TOVASK_USB_PID, else the build's pair).\n"
    "--verbose, with any command, prints what is asked of the reader on standard error.\n"
    "write, read and verify exit with 0 done (and verified where asked), 1 the transfer\n"
    "failed, 2 bad usage or a file error, 3 the reader holds other values than the file,\n"
    "4 no reader could be reached (not found, the port cannot be opened, permission denied,\n"
    "several USB readers answering and no --device).\n"
    "Run 'tovask-cli <command> --help' for a command's options.\n";

struct Entry {
    std::string synopsis;
    std::function<int()> run;
};

std::map<const CLI::App*, Entry>& Verbs()
{
    static std::map<const CLI::App*, Entry> verbs;
    return verbs;
}

// Help is each verb's own text, kept in its footer; the tool's is the usage.
class HelpText : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override
    {
        return app->get_footer();
    }
};

std::string Usage(const CLI::App& tool)
{
    std::string text = kUsageHead;
    for (const CLI::App* verb : tool.get_subcommands([](const CLI::App*) { return true; })) {
        // A synopsis too long for its column has the description on a line of its own.
        const std::string& synopsis = Verbs()[verb].synopsis;
        text += "  " + synopsis;
        text += synopsis.size() > 26 ? "\n" + std::string(29, ' ') : std::string(27 - synopsis.size(), ' ');
        text += verb->get_description() + "\n";
    }
    return text + kUsageTail;
}

}  // namespace

CLI::App* AddVerb(CLI::App& tool, const VerbTexts& texts, std::function<int()> run)
{
    CLI::App* verb = tool.add_subcommand(texts.name, texts.summary);
    verb->footer(texts.help);
    verb->fallthrough();  // --verbose after the verb
    Verbs()[verb] = {texts.synopsis, std::move(run)};
    return verb;
}

void AddUsbIdOptions(CLI::App& verb, UsbIdOptions& ids)
{
    verb.add_option("--vid", ids.vid, "the USB reader's vendor identifier");
    verb.add_option("--pid", ids.pid, "the USB reader's product identifier");
}

void AddSwitch(CLI::App& verb, const std::string& names, bool& value)
{
    verb.add_flag(names, value)->disable_flag_override();
}

int main(int argc, char** argv)
{
    CLI::App tool("tovask-cli", "tovask-cli");
    tool.formatter(std::make_shared<HelpText>());
    tool.require_subcommand(0, 1);
    // Every argument that is not "-x" or "--name" is an argument: "/templates/a.mtl"
    // is a path on Windows too. The verbs take this from the tool when added.
    tool.allow_windows_style_options(false);
    bool verbose = false, version = false;
    AddSwitch(tool, "-v,--verbose", verbose);
    AddSwitch(tool, "--version", version);
#define TOVASK_VERB(name) Add##name##Verb(tool);
#include "cli/verb_list.h"
#undef TOVASK_VERB
    tool.footer(Usage(tool));

    // "help" is the tool's --help.
    if (argc >= 2 && std::string(argv[1]) == "help") {
        std::cout << tool.help();
        return exitOk;
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << tool.help();
        return exitOk;
    } catch (const CLI::ParseError& e) {
        const auto chosen = tool.get_subcommands();
        if (chosen.empty() && tool.remaining_size() > 0)
            std::cerr << "tovask-cli: unknown command '" << tool.remaining().front() << "'\n\n" << tool.help();
        else
            std::cerr << "tovask-cli: " << e.what() << '\n' << (chosen.empty() ? tool.help() : chosen.front()->help());
        return exitUsage;
    }
    if (version) {
        std::cout << "tovask-cli " TOVASK_VERSION "\n";
        return exitOk;
    }
    const auto chosen = tool.get_subcommands();
    if (chosen.empty()) {
        std::cerr << tool.help();
        return exitUsage;
    }
    if (verbose)
        SetTraceSink([](const std::string& line) { std::cerr << line << std::flush; });
    return Verbs()[chosen.front()].run();
}
