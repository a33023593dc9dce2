#include "keyboard/layout_check.h"

#include <algorithm>

namespace {

struct Collector {
    const HostLayout& layout;
    std::vector<LayoutCheckGroup> groups;

    // counts(c): whether a change of character c is a failure.
    template <typename Counts>
    void Add(const std::string& source, const std::string& chars, Counts counts)
    {
        LayoutCheckGroup g{source, {}, {}};
        std::string seen;
        for (char c : chars) {
            if (seen.find(c) != std::string::npos)
                continue;
            const auto byte = static_cast<std::uint8_t>(c);
            const KeyAnswer a = layout.Answer(byte);
            if (!ArrivesUnchanged(byte, a)) {
                const TypedChange change{static_cast<int>(seen.size()), byte, a};
                g.changes.push_back(change);
                if (counts(c))
                    g.failures.push_back(change);
            }
            seen += c;
        }
        if (!g.changes.empty())
            groups.push_back(std::move(g));
    }
    void AddOwn(const std::string& source, const std::string& chars)
    {
        Add(source, chars, [](char) { return true; });
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
    Collector out{layout, {}};
    const auto& f = r.formatFields;
    out.AddOwn(FieldInfoAt(0).name, UnescapeText(f[0].text));
    for (int t = 1; t <= 3; ++t) {
        if (!r.trackEnabled[t - 1])
            continue;
        const int b = 1 + 8 * (t - 1);
        const std::string name = "track " + std::to_string(t);
        out.AddOwn(FieldInfoAt(b).name, UnescapeText(f[b].text));
        if (f[b + 1].enabled)
            out.AddOwn(FieldInfoAt(b + 1).name, std::string(1, StartSentinelOf(t)));
        const std::string& data = sample.tracks[t - 1].data;
        out.Add(name + " data", Alphabet(t, true), [&data](char c) { return data.find(c) != std::string::npos; });
        out.AddOwn(FieldInfoAt(b + 3).name, UnescapeText(f[b + 3].text).substr(0, 1));
        if (f[b + 4].enabled)
            out.AddOwn(FieldInfoAt(b + 4).name, std::string(1, SeparatorOf(t)));
        if (f[b + 5].enabled)
            out.AddOwn(FieldInfoAt(b + 5).name, std::string(1, stopSentinel));
        if (f[b + 6].enabled)
            out.Add(name + " LRC", Alphabet(t, false), [](char) { return false; });
        out.AddOwn(FieldInfoAt(b + 7).name, UnescapeText(f[b + 7].text));
    }
    out.AddOwn(FieldInfoAt(25).name, UnescapeText(f[25].text));
    return std::move(out.groups);
}

bool AnyFailure(const std::vector<LayoutCheckGroup>& groups)
{
    return std::any_of(groups.begin(), groups.end(), [](const LayoutCheckGroup& g) { return !g.failures.empty(); });
}
