// get, set, from-json and diff: the verbs that read, change and compare
// templates by the names of the JSON form.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "model/template_compare.h"
#include "cli/json.h"
#include "cli/template_json.h"
#include "model/template_values.h"

namespace {

const char* kNames =
    "NAME is a format field (CardPrefix, T1Prefix, T1StartSentinel, T1Data,\n"
    "T1Terminator, T1Separator, T1StopSentinel, T1Lrc, T1Suffix, the same for T2\n"
    "and T3, CardSuffix) or a reader option (trackEnabled, errorMode,\n"
    "longBeepOnGoodRead, threeBeepsOnError, baudIndex, parityIndex, dataBitsIndex,\n"
    "flowControlIndex, outputDelay, oposMode).\n";

const std::string kGetHelp = std::string(
    "Usage: tovask-cli get FILE NAME [--json]\n"
    "Prints one value of the template in FILE: a text field in escape notation\n"
    "([CR], [LF], [TB], [[) with any other byte outside printable ASCII as [XX] in\n"
    "hex ([02], [E9]), as set takes it back; a switch as Enable or Disable, an\n"
    "option as its number (trackEnabled as 1,1,0). FILE - is standard input.\n"
    "  --json   print one JSON object: name, value\n") + kNames;

const std::string kSetHelp = std::string(
    "Usage: tovask-cli set FILE NAME=VALUE [NAME=VALUE ...] [--json]\n"
    "Changes the template in FILE and saves it as the editor does (FILE -: reads\n"
    "standard input, writes standard output). Values are checked as the editor\n"
    "checks them: texts in escape notation, [XX] for any other byte (hex), within\n"
    "the field's limit and without [FF], switches Enable, Disable, 1 or 0,\n"
    "trackEnabled as 1,1,0, the others 0 or 1, the\n"
    "serial indices -1 (no selection) or a position in their list, outputDelay\n"
    "1 to 200. One refused value changes nothing (exit 2).\n"
    "  --json   print one JSON object: result, exitCode, file\n") + kNames;

const char* kFromJsonHelp =
    "Usage: tovask-cli from-json JSON OUT [--json]\n"
    "Builds a template from the object that 'dump --json' prints and saves it to\n"
    "OUT (- for standard output). JSON is a file, or - for standard input. With\n"
    "\"image\" the values are written onto those bytes, so bits that no value owns\n"
    "survive; otherwise onto the default template. Keys left out keep the values\n"
    "of that base.\n"
    "  --json   print one JSON object: result, exitCode, file\n";

const char* kDiffHelp =
    "Usage: tovask-cli diff A B [--json]\n"
    "Prints each value that differs (NAME: old -> new, texts as get prints them)\n"
    "and a line for image bytes that differ without changing any value. A or B\n"
    "may be - for standard input.\n"
    "  --json   print one JSON object: result, exitCode, differences (the names),\n"
    "           lines\n"
    "Exit code 0 when the templates are equal, 3 when they differ, 2 on an error.\n";

// A larger input is no template's JSON form; reading stops there.
constexpr std::size_t kMaxJsonSize = 1 << 20;

bool KnownName(const std::string& name)
{
    for (const std::string& n : TemplateValueNames())
        if (n == name)
            return true;
    Complain("unknown name '" + name + "'");
    std::cerr << kNames;
    return false;
}

// Reads a JSON input whole: a file, or standard input for "-".
bool ReadInput(const std::string& path, std::string& text)
{
    const bool standardInput = path == "-";
    const std::string shown = standardInput ? "standard input" : path;
    std::FILE* in = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) {
        Complain(shown + ": " + std::strerror(errno));
        return false;
    }
    text.clear();
    char buf[4096];
    std::size_t n;
    while (text.size() <= kMaxJsonSize && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
        text.append(buf, n);
    const int err = std::ferror(in) ? errno : 0;
    if (!standardInput)
        std::fclose(in);
    if (err) {
        Complain(shown + ": " + std::strerror(err));
        return false;
    }
    if (text.size() > kMaxJsonSize) {
        Complain(shown + ": too large for a template's JSON form (over 1 MiB)");
        return false;
    }
    return true;
}


int Set(const std::string& file, const std::vector<std::string>& args)
{
    std::vector<std::pair<std::string, std::string>> assignments;
    for (const std::string& a : args) {
        const std::size_t eq = a.find('=');
        if (eq == std::string::npos) {
            Complain("'" + a + "' is no NAME=VALUE");
            std::cerr << kSetHelp;
            return exitUsage;
        }
        if (!KnownName(a.substr(0, eq)))
            return exitUsage;
        assignments.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
    if (StandardOutputTaken(file))
        return exitUsage;
    ConfigImage image{};
    if (!LoadTemplateFile(file, image))
        return exitUsage;
    TemplateRecord record;
    DecodeImage(image, record);
    for (const auto& [name, value] : assignments) {
        std::string message;
        if (!SetTemplateValue(record, name, value, message)) {
            Complain(name + ": " + message);
            return exitUsage;  // nothing has been written
        }
    }
    EncodeImage(record, image);
    return SaveTemplateFile(file, image) ? Saved(file) : exitUsage;
}

// 0 same, 3 different (as a reader that differs from a file), 2 a file error.
int Diff(const std::string& pathA, const std::string& pathB, bool json)
{
    ConfigImage a{}, b{};
    if (!LoadTemplateFile(pathA, a) || !LoadTemplateFile(pathB, b))
        return exitUsage;
    const std::vector<Difference> differences = Differences(a, b);
    const int code = a == b ? exitOk : exitDiffers;
    if (json) {
        Json names = Json::array(), lines = Json::array();
        for (const Difference& d : differences) {
            names.push_back(d.name);
            lines.push_back(JsonBytes(d.line));
        }
        return PrintJson({{"result", ResultName(code)}, {"exitCode", code}, {"differences", names}, {"lines", lines}})
                   ? code
                   : exitFailed;
    }
    std::string out;
    for (const Difference& d : differences)
        out += d.line + "\n";
    return PrintOut(out) ? code : exitFailed;
}

}  // namespace

void AddGetVerb(CLI::App& tool)
{
    struct Options {
        std::string file, name;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"get", "get FILE NAME", "print one value of the template in FILE", kGetHelp}, [o] {
        if (!KnownName(o->name))
            return exitUsage;
        ConfigImage image{};
        if (!LoadTemplateFile(o->file, image))
            return exitUsage;
        TemplateRecord record;
        DecodeImage(image, record);
        const std::string value = *GetTemplateValue(record, o->name);
        if (o->json)
            return PrintJson({{"name", o->name}, {"value", JsonBytes(value)}}) ? exitOk : exitFailed;
        return PrintOut(value + "\n") ? exitOk : exitFailed;
    });
    verb->add_option("FILE", o->file)->required();
    verb->add_option("NAME", o->name)->required();
    AddSwitch(*verb, "--json", o->json);
}

void AddSetVerb(CLI::App& tool)
{
    struct Options {
        std::string file;
        std::vector<std::string> assignments;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"set", "set FILE NAME=VALUE...", "change values of the template in FILE", kSetHelp},
                             [o] { return Set(o->file, o->assignments); });
    verb->add_option("FILE", o->file)->required();
    verb->add_option("NAME=VALUE", o->assignments)->required();
    AddSwitch(*verb, "--json", o->json);
}

void AddFromJsonVerb(CLI::App& tool)
{
    struct Options {
        std::string in, out;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool,
                             {"from-json", "from-json JSON OUT", "build a template from 'dump --json' output (- for stdin)",
                              kFromJsonHelp},
                             [o] {
                                 std::string json, error;
                                 if (StandardOutputTaken(o->out) || !ReadInput(o->in, json))
                                     return exitUsage;
                                 ConfigImage image{};
                                 if (!TemplateFromJson(json, image, error)) {
                                     Complain((o->in == "-" ? "standard input" : o->in) + ": " + error);
                                     return exitUsage;
                                 }
                                 return SaveTemplateFile(o->out, image) ? Saved(o->out) : exitUsage;
                             });
    verb->add_option("JSON", o->in)->required();
    verb->add_option("OUT", o->out)->required();
    AddSwitch(*verb, "--json", o->json);
}

void AddDiffVerb(CLI::App& tool)
{
    struct Options {
        std::string a, b;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"diff", "diff A B", "print the values that differ between two templates", kDiffHelp},
                             [o] { return Diff(o->a, o->b, o->json); });
    verb->add_option("A", o->a)->required();
    verb->add_option("B", o->b)->required();
    AddSwitch(*verb, "--json", o->json);
}
