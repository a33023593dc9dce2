#include "model/reader_output.h"

namespace {

constexpr int cardPrefixField = 0;
constexpr int cardSuffixField = 25;

// The first field of track t's row: prefix, start sentinel, data, terminator,
// separator, stop sentinel, LRC, suffix follow in that order.
int RowField(int track) { return 1 + 8 * (track - 1); }

int CodeBase(int track) { return track == 1 ? 0x20 : 0x30; }
int CodeMask(int track) { return track == 1 ? 0x3F : 0x0F; }

void Append(ReaderOutput& out, std::string_view bytes, int field)
{
    for (char c : bytes) {
        out.bytes.push_back(static_cast<std::uint8_t>(c));
        out.fieldOfByte.push_back(field);
    }
}

bool IsOn(const TemplateRecord& r, int field) { return r.formatFields[field].enabled != 0; }

void AppendTrack(ReaderOutput& out, const TemplateRecord& r, int track, const std::string& data)
{
    const int f = RowField(track);
    Append(out, UnescapeText(r.formatFields[f].text), f);
    if (IsOn(r, f + 1))
        Append(out, std::string(1, StartSentinelOf(track)), f + 1);
    std::string sent = data;
    if (!IsOn(r, f + 4))
        std::erase(sent, SeparatorOf(track));
    Append(out, sent, f + 2);
    Append(out, UnescapeText(r.formatFields[f + 3].text).substr(0, 1), f + 3);
    if (IsOn(r, f + 5))
        Append(out, std::string(1, stopSentinel), f + 5);
    if (IsOn(r, f + 6))
        Append(out, std::string(1, LrcOf(track, data)), f + 6);
    Append(out, UnescapeText(r.formatFields[f + 7].text), f + 7);
}

}  // namespace

CardSwipe SampleSwipe()
{
    CardSwipe s;
    s.tracks[0] = {true, false, "B4000123456789010^SAMPLE/CARD^29121010000000000000"};
    s.tracks[1] = {true, false, "4000123456789010=29121010000000000000"};
    return s;
}

char StartSentinelOf(int track) { return track == 1 ? '%' : ';'; }
char SeparatorOf(int track) { return track == 1 ? '^' : '='; }
char FirstCharOf(int track) { return static_cast<char>(CodeBase(track)); }
char LastCharOf(int track) { return static_cast<char>(CodeBase(track) + CodeMask(track)); }

char LrcOf(int track, std::string_view data)
{
    const int base = CodeBase(track);
    int lrc = (StartSentinelOf(track) - base) ^ (stopSentinel - base);
    for (char c : data)
        lrc ^= static_cast<unsigned char>(c) - base;
    return static_cast<char>(base + (lrc & CodeMask(track)));
}

std::string TrackDataError(int track, std::string_view data)
{
    for (char c : data) {
        const auto u = static_cast<unsigned char>(c);
        const std::string shown = u >= 0x20 && u < 0x7F ? std::string("'") + c + "'" : "byte " + std::to_string(u);
        if (u < static_cast<unsigned char>(FirstCharOf(track)) || u > static_cast<unsigned char>(LastCharOf(track)))
            return shown + " is not a track " + std::to_string(track) + " character";
        if (c == StartSentinelOf(track) || c == stopSentinel)
            return shown + " is track " + std::to_string(track) + "'s sentinel, not data";
    }
    return {};
}

ReaderOutput ReaderOutputFor(const TemplateRecord& r, const CardSwipe& swipe)
{
    ReaderOutput out;
    out.byteDelayMs = r.outputDelay;
    out.oposNote = r.oposMode != 0;

    bool readError = false;
    for (int t = 1; t <= 3; ++t) {
        const SwipeTrack& track = swipe.tracks[t - 1];
        if (r.trackEnabled[t - 1] && track.present && track.damaged)
            readError = true;
    }
    out.longBeep = !readError && r.longBeepOnGoodRead != 0;
    out.threeBeeps = readError && r.threeBeepsOnError != 0;
    if (readError && r.errorMode == 1)
        return out;

    Append(out, UnescapeText(r.formatFields[cardPrefixField].text), cardPrefixField);
    for (int t = 1; t <= 3; ++t) {
        const SwipeTrack& track = swipe.tracks[t - 1];
        if (r.trackEnabled[t - 1] && track.present && !track.damaged)
            AppendTrack(out, r, t, track.data);
    }
    Append(out, UnescapeText(r.formatFields[cardSuffixField].text), cardSuffixField);
    return out;
}

std::string BeepText(const ReaderOutput& output)
{
    if (output.longBeep)
        return "one long beep";
    if (output.threeBeeps)
        return "three beeps";
    return "none";
}
