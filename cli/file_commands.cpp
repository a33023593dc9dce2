// new and dump: the file verbs.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/template_json.h"

namespace {

const char* kNewHelp =
    "Usage: tovask-cli new FILE [--json]\n"
    "Writes a new template (the default settings, 64 bytes) to FILE (- for standard\n"
    "output).\n"
    "  --json   print one JSON object: result, exitCode, file\n";

const char* kDumpHelp =
    "Usage: tovask-cli dump [--json] FILE\n"
    "Prints the template held in FILE (- for standard input): every format field\n"
    "with its text in escape notation ([CR], [LF], [TB], [[) and any other byte\n"
    "outside printable ASCII as [XX] in hex ([02], [E9]), then the reader options.\n"
    "  --json   print one JSON object instead (the form that from-json reads)\n";

template <std::size_t N>
std::string ListText(const std::array<const char*, N>& texts, int index)
{
    if (index >= 0 && index < static_cast<int>(N))
        return texts[index];
    return "(none)";
}

std::string TemplateText(const TemplateRecord& r, const ConfigImage& image)
{
    std::ostringstream o;
    o << "Format fields:\n";
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldInfo& info = FieldInfoAt(k);
        const FormatField& f = r.formatFields[k];
        char head[64];
        std::snprintf(head, sizeof head, "  %2d %-16s ", k, info.name);
        o << head;
        if (info.kind == FieldKind::Data)
            o << "(card data)";
        else
            o << '"' << ShownText(UnescapeText(f.text)) << '"';
        o << '\n';
    }
    o << "Reader options:\n";
    for (int t = 0; t < 3; ++t)
        o << "  Track" << t + 1 << " data: " << (r.trackEnabled[t] ? "output" : "not output") << '\n';
    o << "  Error handling: "
      << (r.errorMode ? "No data output with any error" : "Skip output of track with error") << '\n';
    o << "  Long beep at good read: " << (r.longBeepOnGoodRead ? "on" : "off") << '\n';
    o << "  3 beeps at read error: " << (r.threeBeepsOnError ? "on" : "off") << '\n';
    o << "  Baud rate: " << ListText(baudTexts, r.baudIndex) << '\n';
    o << "  Parity: " << ListText(parityTexts, r.parityIndex) << '\n';
    o << "  Data bits: " << ListText(dataBitsTexts, r.dataBitsIndex) << '\n';
    o << "  Stop bits: " << r.stopBitsText << '\n';
    o << "  Flow control: " << ListText(flowControlTexts, r.flowControlIndex) << '\n';
    o << "  Output Delay (mS): " << static_cast<int>(r.outputDelay) << '\n';
    o << "  OPOS/JPOS: " << (r.oposMode ? "on" : "off") << '\n';
    o << "Image: " << HexOf(image) << '\n';
    return o.str();
}

}  // namespace

void AddNewVerb(CLI::App& tool)
{
    struct Options {
        std::string path;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"new", "new FILE", "write a new template (the default settings) to FILE", kNewHelp},
                             [o] {
                                 if (StandardOutputTaken(o->path))
                                     return exitUsage;
                                 return SaveTemplateFile(o->path, DefaultImage()) ? Saved(o->path) : exitUsage;
                             });
    verb->add_option("FILE", o->path)->required();
    AddSwitch(*verb, "--json", o->json);
}

void AddDumpVerb(CLI::App& tool)
{
    struct Options {
        std::string path;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool, {"dump", "dump [--json] FILE", "print the template held in FILE", kDumpHelp}, [o] {
        ConfigImage image{};
        if (!LoadTemplateFile(o->path, image))
            return exitUsage;
        TemplateRecord record;
        DecodeImage(image, record);
        if (o->json)
            return PrintJsonText(TemplateToJson(record, image)) ? exitOk : exitFailed;
        return PrintOut(TemplateText(record, image)) ? exitOk : exitFailed;
    });
    AddSwitch(*verb, "--json", o->json);
    verb->add_option("FILE", o->path)->required();
}
