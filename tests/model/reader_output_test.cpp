#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/config_image.h"
#include "model/reader_output.h"
#include "model/template_values.h"

namespace {

// A new template with the given values set ("Name=Value").
TemplateRecord Template(const std::vector<std::string>& sets)
{
    TemplateRecord r;
    DecodeImage(DefaultImage(), r);
    for (const std::string& s : sets) {
        const auto eq = s.find('=');
        std::string message;
        EXPECT_TRUE(SetTemplateValue(r, s.substr(0, eq), s.substr(eq + 1), message)) << s << ": " << message;
    }
    return r;
}

// Tracks by their data; "" is an absent track, a leading '!' a damaged one.
CardSwipe Swipe(const std::string& t1, const std::string& t2, const std::string& t3)
{
    CardSwipe s;
    const std::string parts[3] = {t1, t2, t3};
    for (int t = 0; t < 3; ++t) {
        s.tracks[t].present = !parts[t].empty();
        s.tracks[t].damaged = !parts[t].empty() && parts[t][0] == '!';
        s.tracks[t].data = s.tracks[t].damaged ? parts[t].substr(1) : parts[t];
    }
    return s;
}

struct Case {
    const char* what;
    std::vector<std::string> sets;
    CardSwipe swipe;
    std::string bytes;
    const char* beeps;
};

// The LRCs below are worked by hand from the codes (track 1: c - 0x20,
// tracks 2 and 3: c - 0x30): track 1 "AB": 05^21^22^1F = 19 -> '9';
// track 2 "12": 0B^1^2^F = 7 -> '7'; track 2 "1=2" as read: 0B^1^D^2^F = A
// -> ':'; track 3 "9": 0B^9^F = D -> '='; track 1 "_": 05^3F^1F = 25 -> 'E'.
TEST(ReaderOutput, FollowsTheTemplateForEverySwitchAndText)
{
    const std::vector<Case> cases = {
        {"a new template: sentinels and separators on, no LRC", {}, Swipe("A^B", "1=2", ""), "%A^B?;1=2?", "none"},
        {"every track off sends only the card texts",
         {"trackEnabled=0,0,0", "CardPrefix=<", "CardSuffix=>"}, Swipe("AB", "12", "9"), "<>", "none"},
        {"prefixes, terminators and suffixes in the diagram's order",
         {"CardPrefix=[[", "T1Prefix=a", "T1Terminator=[TB]", "T1Suffix=b", "T2Prefix=c", "T2Terminator=#",
          "T2Suffix=[CR][LF]", "CardSuffix=z"},
         Swipe("AB", "12", ""), "[a%AB\t?bc;12#?\r\nz", "none"},
        {"start sentinels off", {"T1StartSentinel=Disable", "T2StartSentinel=Disable"}, Swipe("AB", "12", ""),
         "AB?12?", "none"},
        {"stop sentinels off", {"T1StopSentinel=Disable", "T3StopSentinel=Disable"}, Swipe("AB", "", "9"), "%AB;9",
         "none"},
        {"LRC on every track", {"T1Lrc=Enable", "T2Lrc=Enable", "T3Lrc=Enable"}, Swipe("AB", "12", "9"),
         "%AB?9;12?7;9?=", "none"},
        {"LRC over the track as read, separator left out", {"T2Separator=Disable", "T2Lrc=Enable"},
         Swipe("", "1=2", ""), ";12?:", "none"},
        {"LRC over the track as read, sentinels off",
         {"T1StartSentinel=Disable", "T1StopSentinel=Disable", "T1Lrc=Enable"}, Swipe("_", "", ""), "_E", "none"},
        {"separators off on track 1 only", {"T1Separator=Disable"}, Swipe("A^B^C", "1=2", ""), "%ABC?;1=2?", "none"},
        {"a track switched off", {"trackEnabled=1,0,1"}, Swipe("AB", "12", "9"), "%AB?;9?", "none"},
        {"an absent track sends none of its texts", {"T2Prefix=P", "T2Suffix=S"}, Swipe("AB", "", ""), "%AB?",
         "none"},
        {"long beep on a good read", {"longBeepOnGoodRead=1", "threeBeepsOnError=1"}, Swipe("", "12", ""), ";12?",
         "one long beep"},
        {"errorMode 0: a damaged track is skipped", {"threeBeepsOnError=1", "T2Prefix=P"}, Swipe("AB", "!12", "9"),
         "%AB?;9?", "three beeps"},
        {"errorMode 1: a damaged track stops everything", {"errorMode=1", "CardPrefix=<", "longBeepOnGoodRead=1"},
         Swipe("AB", "!12", ""), "", "none"},
        {"errorMode 1: a damaged track whose output is off does not count",
         {"errorMode=1", "trackEnabled=1,0,1", "threeBeepsOnError=1"}, Swipe("AB", "!12", ""), "%AB?", "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReaderOutput out = ReaderOutputFor(Template(c.sets), c.swipe);
        EXPECT_EQ(std::string(out.bytes.begin(), out.bytes.end()), c.bytes);
        EXPECT_EQ(BeepText(out), c.beeps);
        EXPECT_EQ(out.fieldOfByte.size(), out.bytes.size());
    }
}

TEST(ReaderOutput, PaceOposNoteAndWhereEachByteComesFrom)
{
    const ReaderOutput out =
        ReaderOutputFor(Template({"outputDelay=25", "oposMode=1", "CardPrefix=X", "T2Lrc=Enable"}), Swipe("", "5", ""));
    EXPECT_EQ(out.byteDelayMs, 25);
    EXPECT_TRUE(out.oposNote);
    // X ; 5 ? LRC: card prefix, then track 2's start sentinel, data, stop sentinel and LRC boxes.
    EXPECT_EQ(out.fieldOfByte, (std::vector<int>{0, 10, 11, 14, 15}));
    EXPECT_FALSE(ReaderOutputFor(Template({}), SampleSwipe()).oposNote);
}

TEST(ReaderOutput, TrackAlphabetsAndLrcRange)
{
    EXPECT_EQ(TrackDataError(1, " ABC^/_0"), "");
    EXPECT_EQ(TrackDataError(1, "ab"), "'a' is not a track 1 character");
    EXPECT_EQ(TrackDataError(2, "12A"), "'A' is not a track 2 character");
    EXPECT_EQ(TrackDataError(3, "1?2"), "'?' is track 3's sentinel, not data");
    EXPECT_EQ(TrackDataError(1, "A%"), "'%' is track 1's sentinel, not data");
    // Every LRC stays within its track's alphabet.
    for (int t = 1; t <= 3; ++t)
        for (int c = FirstCharOf(t); c <= LastCharOf(t); ++c) {
            const char lrc = LrcOf(t, std::string(1, static_cast<char>(c)));
            EXPECT_GE(lrc, FirstCharOf(t));
            EXPECT_LE(lrc, LastCharOf(t));
        }
}

}  // namespace
