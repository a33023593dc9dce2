// preview and check-layout: what a template makes the reader send, and what a
// host with a given keyboard layout receives of it.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "keyboard/layout_check.h"

namespace {

const char* kPreviewHelp =
    "Usage: tovask-cli preview FILE [--tracks T1;T2;T3] [--damaged LIST] [--layout NAME] [--json]\n"
    "Prints what a reader with the template in FILE sends for one swipe: the bytes in\n"
    "escape notation and as MR Test shows them, the beeps, and the pace.\n"
    "  --tracks T1;T2;T3  the card's three tracks, the data between the sentinels\n"
    "                     (an empty part: no such track); default the sample card\n"
    "  --damaged LIST     tracks read with an error, e.g. 2 or 1,3\n"
    "  --layout NAME      also what a host with this keyboard layout receives\n"
    "                     (xkeyboard-config names: us, de, fr, de(nodeadkeys), ...)\n"
    "  --json             one object: format \"tovask-preview-1\", bytes (hex), text,\n"
    "                     beeps, byteDelayMs, and with a layout: layout, typed, changed\n"
    "FILE - is standard input.\n"
    "Exit 0 when every character arrives as sent, 5 when any does not, 2 on bad usage\n"
    "or a file error.\n";

const char* kCheckLayoutHelp =
    "Usage: tovask-cli check-layout FILE --layout NAME[,NAME...] [--json]\n"
    "For each layout, every character the template in FILE can make the reader send\n"
    "(its texts, sentinels and separators, the track and LRC alphabets) that a host\n"
    "with that layout receives differently, grouped by where it comes from.\n"
    "FILE - is standard input.\n"
    "  --json   one object: result, exitCode, layouts (each: layout, verdict, groups\n"
    "           of source and changes: char, becomes, dead, counts)\n"
    "Exit 5 when a character of the template's texts, sentinels or separators, or of\n"
    "the sample card's data changes; 0 otherwise; 2 on bad usage or a file error.\n";

std::vector<std::string> Split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto at = text.find(sep, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

bool Usage(const std::string& message)
{
    Complain(message);
    return false;
}

// The swipe the options describe; false (reported) when they are wrong.
bool SwipeOf(const std::optional<std::string>& tracks, const std::optional<std::string>& damaged, CardSwipe& swipe)
{
    swipe = SampleSwipe();
    if (tracks) {
        const std::vector<std::string> parts = Split(*tracks, ';');
        if (parts.size() > 3)
            return Usage("--tracks: three tracks at most, separated by ';'");
        swipe = CardSwipe{};
        for (std::size_t t = 0; t < parts.size(); ++t) {
            const std::string error = TrackDataError(static_cast<int>(t) + 1, parts[t]);
            if (!error.empty())
                return Usage("--tracks: " + error);
            swipe.tracks[t] = {!parts[t].empty(), false, parts[t]};
        }
    }
    if (damaged) {
        for (const std::string& part : Split(*damaged, ',')) {
            if (part != "1" && part != "2" && part != "3")
                return Usage("--damaged: \"" + part + "\" is not a track (1, 2 or 3)");
            SwipeTrack& track = swipe.tracks[part[0] - '1'];
            if (!track.present)
                return Usage("--damaged: track " + part + " is not on the card");
            track.damaged = true;
        }
    }
    return true;
}

std::unique_ptr<HostLayout> LayoutOf(const std::string& name)
{
    std::string error;
    auto layout = OpenHostLayout(name, error);
    if (!layout)
        Usage(error);
    return layout;
}

bool LoadRecord(const std::string& path, TemplateRecord& record)
{
    ConfigImage image{};
    if (!LoadTemplateFile(path, image))
        return false;
    DecodeImage(image, record);
    return true;
}

std::string Quoted(const std::string& shown) { return "'" + shown + "'"; }

std::string ChangeText(const TypedChange& c)
{
    const std::string becomes = ShownAnswer(c.answer);
    return Quoted(ShownByte(c.byte)) + " -> " +
           (c.answer.Dead() || c.answer.text.empty() ? becomes : Quoted(becomes));
}

int RunPreview(const std::string& path, const std::optional<std::string>& tracks,
               const std::optional<std::string>& damaged, const std::optional<std::string>& layoutName, bool json)
{
    CardSwipe swipe;
    if (!SwipeOf(tracks, damaged, swipe))
        return exitUsage;
    std::unique_ptr<HostLayout> layout;
    if (layoutName && !(layout = LayoutOf(*layoutName)))
        return exitUsage;
    TemplateRecord record;
    if (!LoadRecord(path, record))
        return exitUsage;
    const ReaderOutput out = ReaderOutputFor(record, swipe);
    const std::string bytes(out.bytes.begin(), out.bytes.end());
    std::string shown;
    for (std::uint8_t b : out.bytes)
        shown += ShownByte(b);
    TypedText typed;
    if (layout)
        typed = TypeBytes(*layout, out.bytes);

    if (json) {
        Json o = {{"format", "tovask-preview-1"},
                  {"bytes", HexOf(out.bytes)},
                  {"text", ShownText(bytes)},
                  {"beeps", BeepText(out)},
                  {"byteDelayMs", out.byteDelayMs}};
        if (out.oposNote)
            o["note"] = oposNoteText;
        if (layout) {
            o["layout"] = layout->Name();
            o["typed"] = typed.text;
            Json changed = Json::array();
            for (const TypedChange& c : typed.changes)
                changed.push_back({{"offset", c.offset},
                                   {"char", ShownByte(c.byte)},
                                   {"becomes", c.answer.text},
                                   {"dead", c.answer.Dead()}});
            o["changed"] = changed;
        }
        if (!PrintJson(o))
            return exitFailed;
    } else {
        std::ostringstream s;
        s << "Sent:     " << ShownText(bytes) << '\n';
        s << "MR Test:  " << shown << '\n';
        s << "Beeps:    " << BeepText(out) << '\n';
        s << "Pace:     one byte every " << out.byteDelayMs << " ms: " << out.bytes.size() << " bytes in "
          << out.bytes.size() * out.byteDelayMs << " ms\n";
        if (out.oposNote)
            s << "Note:     " << oposNoteText << '\n';
        if (layout) {
            std::string received;
            for (char c : typed.text)
                received += static_cast<unsigned char>(c) < 0x20 ? ShownByte(static_cast<std::uint8_t>(c))
                                                                   : std::string(1, c);
            s << "Layout " << layout->Name() << " receives: " << received << '\n';
            if (typed.changes.empty())
                s << "Every character arrives as sent.\n";
            for (const TypedChange& c : typed.changes)
                s << "  byte " << c.offset << ": " << ChangeText(c) << '\n';
        }
        if (!PrintOut(s.str()))
            return exitFailed;
    }
    return typed.changes.empty() ? exitOk : exitChanged;
}

int RunCheckLayout(const std::string& path, const std::string& names, bool json)
{
    std::vector<std::unique_ptr<HostLayout>> layouts;
    for (const std::string& name : Split(names, ',')) {
        layouts.push_back(LayoutOf(name));
        if (!layouts.back())
            return exitUsage;
    }
    TemplateRecord record;
    if (!LoadRecord(path, record))
        return exitUsage;
    const CardSwipe sample = SampleSwipe();
    std::ostringstream s;
    Json array = Json::array();
    bool failed = false;
    for (const auto& layout : layouts) {
        const std::vector<LayoutCheckGroup> groups = CheckLayout(record, *layout, sample);
        failed |= AnyFailure(groups);
        const char* verdict = groups.empty()         ? "every character arrives as sent"
                              : AnyFailure(groups) ? "characters of the template or the sample card change"
                                                   : "only characters the sample card does not use change";
        s << layout->Name() << ": " << verdict << '\n';
        Json jsonGroups = Json::array();
        for (const LayoutCheckGroup& g : groups) {
            s << "  " << g.source << ": ";
            const char* sep = "";
            Json changes = Json::array();
            for (const TypedChange& c : g.changes) {
                bool counts = false;
                for (const TypedChange& f : g.failures)
                    counts |= f.byte == c.byte;
                // In a data group only the sample card's characters count.
                const bool dataGroup = g.source.find(" data") != std::string::npos;
                s << sep << ChangeText(c) << (dataGroup && counts ? " (on the sample card)" : "");
                sep = ", ";
                changes.push_back({{"char", ShownByte(c.byte)},
                                   {"becomes", JsonBytes(c.answer.text)},
                                   {"dead", c.answer.Dead()},
                                   {"counts", counts}});
            }
            s << '\n';
            jsonGroups.push_back({{"source", g.source}, {"changes", changes}});
        }
        array.push_back({{"layout", layout->Name()}, {"verdict", verdict}, {"groups", jsonGroups}});
    }
    const int code = failed ? exitChanged : exitOk;
    if (json)
        return PrintJson({{"result", ResultName(code)}, {"exitCode", code}, {"layouts", array}}) ? code : exitFailed;
    return PrintOut(s.str()) ? code : exitFailed;
}

}  // namespace

void AddPreviewVerb(CLI::App& tool)
{
    struct Options {
        std::string path;
        std::optional<std::string> tracks, damaged, layout;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(
        tool,
        {"preview", "preview FILE [--tracks T1;T2;T3] [--damaged LIST] [--layout NAME] [--json]",
         "print what the reader sends for a swipe, and what a host receives", kPreviewHelp},
        [o] { return RunPreview(o->path, o->tracks, o->damaged, o->layout, o->json); });
    verb->add_option("FILE", o->path)->required();
    verb->add_option("--tracks", o->tracks, "the three tracks' data, separated by ';'");
    verb->add_option("--damaged", o->damaged, "tracks read with an error, e.g. 2 or 1,3");
    verb->add_option("--layout", o->layout, "the host's keyboard layout");
    AddSwitch(*verb, "--json", o->json);
}

void AddCheckLayoutVerb(CLI::App& tool)
{
    struct Options {
        std::string path;
        std::string layouts;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool,
                             {"check-layout", "check-layout FILE --layout NAME[,NAME...]",
                              "list the characters that host layouts change", kCheckLayoutHelp},
                             [o] { return RunCheckLayout(o->path, o->layouts, o->json); });
    verb->add_option("FILE", o->path)->required();
    verb->add_option("--layout", o->layouts, "the hosts' keyboard layouts, separated by ','")->required();
    AddSwitch(*verb, "--json", o->json);
}
