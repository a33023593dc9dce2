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
    "Usage: tovask-cli get FILE NAME\n"
    "Prints one value of the template in FILE: a text field in escape notation\n"
    "([CR], [LF], [TB], [[) with any other byte outside printable ASCII as [XX] in\n"
    "hex ([02], [E9]), as set takes it back; a switch as Enable or Disable, an\n"
    "option as its number (trackEnabled as 1,1,0).\n") + kNames;

const std::string kSetHelp = std::string(
    "Usage: tovask-cli set FILE NAME=VALUE [NAME=VALUE ...]\n"
    "Changes the template in FILE and saves it as the editor does. Values are\n"
    "checked as the editor checks them: texts in escape notation, [XX] for any\n"
    "other byte (hex), within the field's limit and without [FF], switches Enable, Disable, 1 or 0, trackEnabled as 1,1,0,\n"
    "the others 0 or 1, the serial indices -1 (no selection) or a position in\n"
    "their list, outputDelay 1 to 200. One refused value changes nothing.\n") + kNames;

const char* kFromJsonHelp =
    "Usage: tovask-cli from-json JSON OUT\n"
    "Builds a template from the object that 'dump --json' prints and saves it to\n"
    "OUT. JSON is a file, or - for standard input. With \"image\" the values are\n"
    "written onto those bytes, so bits that no value owns survive; otherwise onto\n"
    "the default template. Keys left out keep the values of that base.\n";

const char* kDiffHelp =
    "Usage: tovask-cli diff A B\n"
    "Prints each value that differs (NAME: old -> new, texts as get prints them)\n"
    "and a line for image bytes that differ without changing any value.\n"
    "Exit code 0 when the templates are equal, 1 when they differ, 2 on an error.\n";

// A larger input is no template's JSON form; reading stops there.
constexpr std::size_t kMaxJsonSize = 1 << 20;

bool KnownName(const std::string& name)
{
    for (const std::string& n : TemplateValueNames())
        if (n == name)
            return true;
    std::cerr << "tovask-cli: unknown name '" << name << "'\n" << kNames;
    return false;
}

// Reads a JSON input whole: a file, or standard input for "-".
bool ReadInput(const std::string& path, std::string& text)
{
    const bool standardInput = path == "-";
    const std::string shown = standardInput ? "standard input" : path;
    std::FILE* in = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) {
        std::cerr << "tovask-cli: " << shown << ": " << std::strerror(errno) << '\n';
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
        std::cerr << "tovask-cli: " << shown << ": " << std::strerror(err) << '\n';
        return false;
    }
    if (text.size() > kMaxJsonSize) {
        std::cerr << "tovask-cli: " << shown << ": too large for a template's JSON form (over 1 MiB)\n";
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
            std::cerr << "tovask-cli: '" << a << "' is no NAME=VALUE\n" << kSetHelp;
            return exitUsage;
        }
        if (!KnownName(a.substr(0, eq)))
            return exitUsage;
        assignments.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
    ConfigImage image{};
    if (!LoadTemplateFile(file, image))
        return exitFailed;
    TemplateRecord record;
    DecodeImage(image, record);
    for (const auto& [name, value] : assignments) {
        std::string message;
        if (!SetTemplateValue(record, name, value, message)) {
            std::cerr << "tovask-cli: " << name << ": " << message << '\n';
            return exitFailed;  // nothing has been written
        }
    }
    EncodeImage(record, image);
    return SaveTemplateFile(file, image) ? exitOk : exitFailed;
}

// As diff(1): 0 same, 1 different, 2 trouble (a usage error is 2 as well).
int Diff(const std::string& pathA, const std::string& pathB)
{
    constexpr int exitTrouble = 2;
    ConfigImage a{}, b{};
    if (!LoadTemplateFile(pathA, a) || !LoadTemplateFile(pathB, b))
        return exitTrouble;
    std::string out;
    for (const Difference& d : Differences(a, b))
        out += d.line + "\n";
    if (!PrintOut(out))
        return exitTrouble;
    return a == b ? exitOk : exitFailed;
}

}  // namespace

void AddGetVerb(CLI::App& tool)
{
    struct Options {
        std::string file, name;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"get", "get FILE NAME", "print one value of the template in FILE", kGetHelp}, [o] {
        if (!KnownName(o->name))
            return exitUsage;
        ConfigImage image{};
        if (!LoadTemplateFile(o->file, image))
            return exitFailed;
        TemplateRecord record;
        DecodeImage(image, record);
        return PrintOut(*GetTemplateValue(record, o->name) + "\n") ? exitOk : exitFailed;
    });
    verb->add_option("FILE", o->file)->required();
    verb->add_option("NAME", o->name)->required();
}

void AddSetVerb(CLI::App& tool)
{
    struct Options {
        std::string file;
        std::vector<std::string> assignments;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"set", "set FILE NAME=VALUE...", "change values of the template in FILE", kSetHelp},
                             [o] { return Set(o->file, o->assignments); });
    verb->add_option("FILE", o->file)->required();
    verb->add_option("NAME=VALUE", o->assignments)->required();
}

void AddFromJsonVerb(CLI::App& tool)
{
    struct Options {
        std::string in, out;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool,
                             {"from-json", "from-json JSON OUT", "build a template from 'dump --json' output (- for stdin)",
                              kFromJsonHelp},
                             [o] {
                                 std::string json, error;
                                 if (!ReadInput(o->in, json))
                                     return exitFailed;
                                 ConfigImage image{};
                                 if (!TemplateFromJson(json, image, error)) {
                                     std::cerr << "tovask-cli: " << (o->in == "-" ? "standard input" : o->in) << ": "
                                               << error << '\n';
                                     return exitFailed;
                                 }
                                 return SaveTemplateFile(o->out, image) ? exitOk : exitFailed;
                             });
    verb->add_option("JSON", o->in)->required();
    verb->add_option("OUT", o->out)->required();
}

void AddDiffVerb(CLI::App& tool)
{
    struct Options {
        std::string a, b;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"diff", "diff A B", "print the values that differ between two templates", kDiffHelp},
                             [o] { return Diff(o->a, o->b); });
    verb->add_option("A", o->a)->required();
    verb->add_option("B", o->b)->required();
}
