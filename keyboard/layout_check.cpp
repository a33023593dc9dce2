#include "keyboard/layout_check.h"

#include <algorithm>

namespace {

struct Collector {
    const HostLayout& layout;
    // The sample card's output, to show what each dead key does to the key after it.
    const std::vector<std::uint8_t>& output;
    std::vector<LayoutCheckGroup> groups;

    TypedChange ChangeOf(int offset, std::uint8_t byte, const KeyAnswer& a, bool capsLock) const
    {
        TypedChange change{offset, byte, a, 0, {}};
        if (!a.Dead())
            return change;
        for (std::size_t i = 0; i + 1 < output.size(); ++i)
            if (output[i] == byte) {
                const TypedText pair = TypeBytes(layout, {byte, output[i + 1]}, capsLock);
                change.next = output[i + 1];
                change.nextAnswer.text = pair.text;
                change.nextAnswer.composedAfter = a.deadName;
                break;
            }
        return change;
    }

    // The byte whose key gives c on this layout, where one does.
    std::uint8_t KeyFor(char c) const
    {
        for (int b = 0x20; b <= 0x7E; ++b)
            if (const KeyAnswer a = layout.Answer(static_cast<std::uint8_t>(b)); !a.Dead() && a.text == std::string(1, c))
                return static_cast<std::uint8_t>(b);
        return 0;
    }

    // counts(c): whether a change of character c is a failure; own: a text of the
    // template, where a substitute can be proposed.
    template <typename Counts>
    void Add(const std::string& source, const std::string& chars, Counts counts, bool own = false)
    {
        LayoutCheckGroup g{source, {}, {}, {}, {}, {}};
        std::string seen;
        for (char c : chars) {
            if (seen.find(c) != std::string::npos)
                continue;
            const auto byte = static_cast<std::uint8_t>(c);
            const int offset = static_cast<int>(seen.size());
            seen += c;
            const KeyAnswer a = layout.Answer(byte, false);
            const KeyAnswer capsAnswer = layout.Answer(byte, true);
            if (!ArrivesUnchanged(byte, a)) {
                g.changes.push_back(ChangeOf(offset, byte, a, false));
                if (counts(c))
                    g.failures.push_back(g.changes.back());
                if (own && byte >= 0x20)
                    if (const std::uint8_t send = KeyFor(c))
                        g.substitutes.push_back({byte, send});
            } else if (!ArrivesUnchanged(byte, capsAnswer)) {
                g.capsChanges.push_back(ChangeOf(offset, byte, capsAnswer, true));
                if (counts(c))
                    g.capsFailures.push_back(g.capsChanges.back());
            }
        }
        if (!g.changes.empty() || !g.capsChanges.empty())
            groups.push_back(std::move(g));
    }
    // Sentinels and separators; texts: the template's own prefixes, terminators
    // and suffixes, which can send another character instead.
    void AddOwn(const std::string& source, const std::string& chars, bool text = false)
    {
        Add(source, chars, [](char) { return true; }, text);
    }
};

// The track's whole alphabet (what an LRC can be), or only what its data
// holds besides the separator, which has a group of its own.
std::string Alphabet(int track, bool dataOnly)
{
    std::string chars;
    for (int c = FirstCharOf(track); c <= LastCharOf(track); ++c)
        if (!dataOnly || (c != StartSentinelOf(track) && c != stopSentinel && c != SeparatorOf(track)))
            chars += static_cast<char>(c);
    return chars;
}

}  // namespace

std::vector<LayoutCheckGroup> CheckLayout(const TemplateRecord& r, const HostLayout& layout, const CardSwipe& sample)
{
    const std::vector<std::uint8_t> output = ReaderOutputFor(r, sample).bytes;
    Collector out{layout, output, {}};
    const auto& f = r.formatFields;
    out.AddOwn(FieldInfoAt(0).name, UnescapeText(f[0].text), true);
    for (int t = 1; t <= 3; ++t) {
        if (!r.trackEnabled[t - 1])
            continue;
        const int b = 1 + 8 * (t - 1);
        const std::string name = "track " + std::to_string(t);
        out.AddOwn(FieldInfoAt(b).name, UnescapeText(f[b].text), true);
        if (f[b + 1].enabled)
            out.AddOwn(FieldInfoAt(b + 1).name, std::string(1, StartSentinelOf(t)));
        const std::string& data = sample.tracks[t - 1].data;
        out.Add(name + " data", Alphabet(t, true), [&data](char c) { return data.find(c) != std::string::npos; });
        out.AddOwn(FieldInfoAt(b + 3).name, UnescapeText(f[b + 3].text).substr(0, 1), true);
        if (f[b + 4].enabled)
            out.AddOwn(FieldInfoAt(b + 4).name, std::string(1, SeparatorOf(t)));
        if (f[b + 5].enabled)
            out.AddOwn(FieldInfoAt(b + 5).name, std::string(1, stopSentinel));
        if (f[b + 6].enabled)
            out.Add(name + " LRC", Alphabet(t, false), [](char) { return false; });
        out.AddOwn(FieldInfoAt(b + 7).name, UnescapeText(f[b + 7].text), true);
    }
    out.AddOwn(FieldInfoAt(25).name, UnescapeText(f[25].text), true);
    return std::move(out.groups);
}

bool AnyFailure(const std::vector<LayoutCheckGroup>& groups, bool capsLock)
{
    return std::any_of(groups.begin(), groups.end(), [capsLock](const LayoutCheckGroup& g) {
        return !g.failures.empty() || (capsLock && !g.capsFailures.empty());
    });
}
