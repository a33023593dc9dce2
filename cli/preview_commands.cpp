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
    "Usage: tovask-cli preview FILE [--tracks T1;T2;T3] [--damaged LIST] [--layout NAME] [--caps-lock]\n"
    "                        [--json]\n"
    "Prints what a reader with the template in FILE sends for one swipe: the bytes in\n"
    "escape notation and as MR Test shows them, the beeps, and the pace.\n"
    "  --tracks T1;T2;T3  the card's three tracks, the data between the sentinels\n"
    "                     (an empty part: no such track); default the sample card\n"
    "  --damaged LIST     tracks read with an error, e.g. 2 or 1,3\n"
    "  --layout NAME      also what a host with this keyboard layout receives\n"
    "                     (xkeyboard-config names: us, de, fr, de(nodeadkeys), ...;\n"
    "                     on Windows also a layout identifier such as 0000040C)\n"
    "  --caps-lock        the host's Caps Lock is on\n"
    "  --json             one object: format \"tovask-preview-1\", bytes (hex), text,\n"
    "                     beeps, byteDelayMs, and with a layout: layout, source,\n"
    "                     capsLock, typed, changed\n"
    "FILE - is standard input.\n"
    "Exit 0 when every character arrives as sent, 5 when any does not, 2 on bad usage\n"
    "or a file error.\n";

const char* kCheckLayoutHelp =
    "Usage: tovask-cli check-layout FILE --layout NAME[,NAME...] [--json]\n"
    "For each layout, every character the template in FILE can make the reader send\n"
    "(its texts, sentinels and separators, the track and LRC alphabets) that a host\n"
    "with that layout receives differently, grouped by where it comes from.\n"
    "Listed apart: what changes only when the host's Caps Lock is on; and for the\n"
    "template's texts, the character to send instead where another key gives the\n"
    "wanted one on that layout.\n"
    "FILE - is standard input.\n"
    "  --json   one object: result, exitCode, layouts (each: layout, source, verdict,\n"
    "           groups of source, changes (char, becomes, dead, counts) and\n"
    "           substitutes (send, instead), capsLockGroups)\n"
    "Exit 5 when a character of the template's texts, sentinels or separators, or of\n"
    "the sample card's data changes with Caps Lock off; 0 otherwise; 2 on bad usage or\n"
    "a file error.\n";

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

}  // namespace

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

namespace {

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

int RunPreview(const std::string& path, const std::optional<std::string>& tracks,
               const std::optional<std::string>& damaged, const std::optional<std::string>& layoutName, bool capsLock, bool json)
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
        typed = TypeBytes(*layout, out.bytes, capsLock);

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
            o["source"] = layout->Source();
            o["capsLock"] = capsLock;
            o["typed"] = typed.text;
            Json changed = Json::array();
            for (const TypedChange& c : typed.changes) {
                Json change = {{"offset", c.offset},
                               {"char", ShownByte(c.byte)},
                               {"becomes", c.answer.text},
                               {"dead", c.answer.Dead()}};
                if (c.answer.text.size() == 1 && !ControlKeyName(c.answer.text[0]).empty())
                    change["key"] = ControlKeyName(c.answer.text[0]);
                if (!c.answer.composedAfter.empty())
                    change["composedAfter"] = c.answer.composedAfter;
                changed.push_back(change);
            }
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
            s << "Layout " << layout->Name() << " (" << layout->Source() << (capsLock ? ", Caps Lock on" : "")
              << ") receives: " << received << '\n';
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
        const char* verdict = groups.empty()           ? "every character arrives as sent"
                              : AnyFailure(groups)       ? "characters of the template or the sample card change"
                              : AnyFailure(groups, true) ? "characters of the template or the sample card change with Caps Lock on"
                                                         : "only characters the sample card does not use change";
        s << layout->Name() << " (" << layout->Source() << "): " << verdict << '\n';
        // One group's changes, as text and as JSON.
        const auto list = [&s](const LayoutCheckGroup& g, const std::vector<TypedChange>& changes,
                               const std::vector<TypedChange>& failures) {
            const char* sep = "";
            Json out = Json::array();
            for (const TypedChange& c : changes) {
                bool counts = false;
                for (const TypedChange& f : failures)
                    counts |= f.byte == c.byte;
                // In a data group only the sample card's characters count.
                const bool dataGroup = g.source.find(" data") != std::string::npos;
                s << sep << ChangeText(c) << (dataGroup && counts ? " (on the sample card)" : "");
                sep = ", ";
                out.push_back({{"char", ShownByte(c.byte)},
                               {"becomes", JsonBytes(c.answer.text)},
                               {"dead", c.answer.Dead()},
                               {"counts", counts}});
            }
            return out;
        };
        Json jsonGroups = Json::array();
        for (const LayoutCheckGroup& g : groups) {
            Json group = {{"source", g.source}, {"changes", Json::array()}};
            if (!g.changes.empty()) {
                s << "  " << g.source << ": ";
                group["changes"] = list(g, g.changes, g.failures);
                s << '\n';
            }
            Json substitutes = Json::array();
            for (const LayoutSubstitute& sub : g.substitutes) {
                const std::string send = ShownText(std::string(1, static_cast<char>(sub.send)));
                const std::string wanted = ShownText(std::string(1, static_cast<char>(sub.wanted)));
                s << "    send '" << send << "' instead of '" << wanted << "' to receive it on " << layout->Name()
                  << '\n';
                substitutes.push_back({{"send", send}, {"instead", wanted}});
            }
            group["substitutes"] = substitutes;
            jsonGroups.push_back(group);
        }
        bool capsHeader = false;
        Json capsGroups = Json::array();
        for (const LayoutCheckGroup& g : groups) {
            if (g.capsChanges.empty())
                continue;
            if (!capsHeader)
                s << "  with Caps Lock on, also:\n";
            capsHeader = true;
            s << "    " << g.source << ": ";
            capsGroups.push_back({{"source", g.source}, {"changes", list(g, g.capsChanges, g.capsFailures)}});
            s << '\n';
        }
        array.push_back({{"layout", layout->Name()},
                         {"source", layout->Source()},
                         {"verdict", verdict},
                         {"groups", jsonGroups},
                         {"capsLockGroups", capsGroups}});
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
        bool capsLock = false;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(
        tool,
        {"preview", "preview FILE [--tracks T1;T2;T3] [--damaged LIST] [--layout NAME] [--caps-lock] [--json]",
         "print what the reader sends for a swipe, and what a host receives", kPreviewHelp},
        [o] { return RunPreview(o->path, o->tracks, o->damaged, o->layout, o->capsLock, o->json); });
    verb->add_option("FILE", o->path)->required();
    verb->add_option("--tracks", o->tracks, "the three tracks' data, separated by ';'");
    verb->add_option("--damaged", o->damaged, "tracks read with an error, e.g. 2 or 1,3");
    verb->add_option("--layout", o->layout, "the host's keyboard layout");
    AddSwitch(*verb, "--caps-lock", o->capsLock);
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
