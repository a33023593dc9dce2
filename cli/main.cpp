// tovask-cli: the command-line front end on the editor's model and procedures.
#include <iostream>
#include <map>
#include <string>

#include "cli/cli_io.h"
#include "cli/run_control.h"
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
    "--json, with any command, prints one JSON document on standard output, errors too.\n"
    "A FILE given as - is standard input (standard output where FILE is written).\n"
    "Exit codes, for every command:\n"
    "  0  done\n"
    "  1  a transfer failed, or the output could not be written\n"
    "  2  bad usage, or a file that cannot be read or saved\n"
    "  3  the reader holds other values than the file (diff: A and B differ)\n"
    "  4  no reader could be reached (not found, the port cannot be opened, permission\n"
    "     denied, several USB readers answering and no --device; doctor: a check failed)\n"
    "  5  characters change on the way to the host (preview, check-layout)\n"
    "  128+N  a signal N ended the run (130 Ctrl+C), after the transfer at hand\n"
    "Run 'tovask-cli help <command>' for a command's options.\n";

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

namespace {

// The verb's help, or the tool's usage; with --json inside the run's document.
int PrintHelp(const std::string& text)
{
    if (JsonMode())
        return PrintJson({{"result", "ok"}, {"exitCode", exitOk}, {"help", text}}) ? exitOk : exitFailed;
    return PrintOut(text) ? exitOk : exitFailed;
}

int UsageError(const std::string& message, const std::string& help)
{
    Complain(message);
    std::cerr << help;
    return exitUsage;
}

int Run(int argc, char** argv)
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

    // "help" is the tool's --help; "help VERB" the verb's.
    if (argc >= 2 && std::string(argv[1]) == "help") {
        for (int i = 2; i < argc; ++i) {
            const std::string word = argv[i];
            if (word == "--json" || word == "-v" || word == "--verbose")
                continue;
            const auto verbs = tool.get_subcommands([&word](const CLI::App* v) { return v->get_name() == word; });
            if (verbs.empty())
                return UsageError("unknown command '" + word + "'", "\n" + tool.help());
            return PrintHelp(verbs.front()->help());
        }
        return PrintHelp(tool.help());
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const auto chosen = tool.get_subcommands();
        return PrintHelp(chosen.empty() ? tool.help() : chosen.front()->help());
    } catch (const CLI::ParseError& e) {
        const auto chosen = tool.get_subcommands();
        if (chosen.empty() && tool.remaining_size() > 0 && tool.remaining().front().rfind("-", 0) != 0)
            return UsageError("unknown command '" + tool.remaining().front() + "'", "\n" + tool.help());
        return UsageError(e.what(), chosen.empty() ? tool.help() : chosen.front()->help());
    }
    if (version) {
        if (JsonMode())
            return PrintJson({{"result", "ok"}, {"exitCode", exitOk}, {"version", TOVASK_VERSION}}) ? exitOk : exitFailed;
        return PrintOut("tovask-cli " TOVASK_VERSION "\n") ? exitOk : exitFailed;
    }
    const auto chosen = tool.get_subcommands();
    if (chosen.empty())
        return UsageError("no command given", tool.help());
    if (verbose)
        SetTraceSink([](const std::string& line) { std::cerr << line << std::flush; });
    return Verbs()[chosen.front()].run();
}

}  // namespace

int main(int argc, char** argv)
{
    CatchEndSignals();
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--json")
            SetJsonMode(true);
    int code = Run(argc, argv);
    PrintOut("");  // a failed write still in the buffer is found here
    // A signal that ended the run decides its code; then output that could
    // not be written.
    if (EndSignal() != 0)
        code = EndSignalExitCode();
    else if (OutputFailed())
        code = exitFailed;
    PrintJsonOutcome(code);
    RunEnded();
    return code;
}
