// new and dump: the file verbs.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "model/tovask_doc.h"

namespace {

const char* kNewHelp =
    "Usage: tovask-cli new FILE\n"
    "Writes a new template (the default settings, 64 bytes) to FILE.\n";

const char* kDumpHelp =
    "Usage: tovask-cli dump [--json] FILE\n"
    "Prints the template held in FILE: every format field with its text in escape\n"
    "notation ([CR], [LF], [TB], [[), then the reader options.\n"
    "  --json   print one JSON object instead\n";

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const auto& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                // Template bytes are single-byte text; show each as its Latin-1 code point.
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Bytes outside printable ASCII, as <XX>, so a terminal shows every byte.
std::string Printable(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02X>", c);
            out += buf;
        }
    }
    return out;
}

template <std::size_t N>
std::string ListText(const std::array<const char*, N>& texts, int index)
{
    if (index >= 0 && index < static_cast<int>(N))
        return texts[index];
    return "(none)";
}

std::string Hex(const ConfigImage& image)
{
    std::string out;
    char buf[4];
    for (auto b : image) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

void PrintText(const TemplateRecord& r, const ConfigImage& image)
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
            o << '"' << Printable(f.text) << '"';
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
    o << "Image: " << Hex(image) << '\n';
    std::cout << o.str();
}

void PrintJson(const TemplateRecord& r, const ConfigImage& image)
{
    std::ostringstream o;
    o << "{\n  \"formatFields\": [\n";
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldInfo& info = FieldInfoAt(k);
        const FormatField& f = r.formatFields[k];
        o << "    {\"index\": " << k << ", \"name\": " << JsonString(info.name)
          << ", \"kind\": " << JsonString(FieldKindName(info.kind)) << ", \"text\": " << JsonString(f.text)
          << ", \"enabled\": " << f.enabled << "}" << (k + 1 < formatFieldCount ? "," : "") << "\n";
    }
    o << "  ],\n";
    o << "  \"trackEnabled\": [" << r.trackEnabled[0] << ", " << r.trackEnabled[1] << ", " << r.trackEnabled[2]
      << "],\n";
    o << "  \"errorMode\": " << r.errorMode << ",\n";
    o << "  \"longBeepOnGoodRead\": " << r.longBeepOnGoodRead << ",\n";
    o << "  \"threeBeepsOnError\": " << r.threeBeepsOnError << ",\n";
    o << "  \"stopBitsText\": " << JsonString(r.stopBitsText) << ",\n";
    o << "  \"baudIndex\": " << r.baudIndex << ",\n";
    o << "  \"parityIndex\": " << r.parityIndex << ",\n";
    o << "  \"dataBitsIndex\": " << r.dataBitsIndex << ",\n";
    o << "  \"flowControlIndex\": " << r.flowControlIndex << ",\n";
    o << "  \"outputDelay\": " << static_cast<int>(r.outputDelay) << ",\n";
    o << "  \"oposMode\": " << r.oposMode << ",\n";
    o << "  \"image\": \"" << Hex(image) << "\"\n}\n";
    std::cout << o.str();
}

}  // namespace

// Loads FILE by the editor's rule; prints the reason and returns false when it cannot.
bool LoadTemplateFile(const std::string& path, ConfigImage& image)
{
    const CTovaskDoc::FileStatus st = CTovaskDoc::ReadImageFile(path, image);
    switch (st.result) {
    case CTovaskDoc::OpenResult::Ok:
        return true;
    case CTovaskDoc::OpenResult::TooShort:
        std::cerr << CTovaskDoc::unexpectedFileFormat << '\n';
        return false;
    case CTovaskDoc::OpenResult::Empty:
        std::cerr << "tovask-cli: " << path << ": the file is empty\n";
        return false;
    case CTovaskDoc::OpenResult::CannotOpen:
        std::cerr << "tovask-cli: cannot open " << path << ": " << st.error << '\n';
        return false;
    }
    return false;
}

int CmdNew(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::cout << kNewHelp;
        return exitOk;
    }
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::cerr << kNewHelp;
        return exitUsage;
    }
    std::string error;
    if (!CTovaskDoc::WriteImageFile(args[0], DefaultImage(), error)) {
        std::cerr << "tovask-cli: cannot write " << args[0] << ": " << error << '\n';
        return exitFailed;
    }
    return exitOk;
}

int CmdDump(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::cout << kDumpHelp;
        return exitOk;
    }
    bool json = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") {
            json = true;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "tovask-cli: unknown option '" << a << "'\n" << kDumpHelp;
            return exitUsage;
        } else if (path.empty()) {
            path = a;
        } else {
            std::cerr << kDumpHelp;
            return exitUsage;
        }
    }
    if (path.empty()) {
        std::cerr << kDumpHelp;
        return exitUsage;
    }
    ConfigImage image{};
    if (!LoadTemplateFile(path, image))
        return exitFailed;
    TemplateRecord record;
    DecodeImage(image, record);
    if (json)
        PrintJson(record, image);
    else
        PrintText(record, image);
    return exitOk;
}
