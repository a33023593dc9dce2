#include <gtest/gtest.h>

#include "model/template_record.h"

namespace {

std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int c : b)
        s += static_cast<char>(c);
    return s;
}

TEST(EscapeText, WritesTheFourSequencesAndPassesEverythingElse)
{
    EXPECT_EQ(EscapeText(Bytes({0x0D, 0x0A})), "[CR][LF]");
    EXPECT_EQ(EscapeText(Bytes({0x5B})), "[[");
    EXPECT_EQ(EscapeText(Bytes({0x41, 0x5D})), "A]");
    EXPECT_EQ(EscapeText(Bytes({0x09})), "[TB]");
    EXPECT_EQ(EscapeText(Bytes({0x01, 0x80, 0xFE})), Bytes({0x01, 0x80, 0xFE}));
    EXPECT_EQ(EscapeText(""), "");
}

TEST(UnescapeText, ResolvesSequences)
{
    EXPECT_EQ(UnescapeText("[CR][LF][TB][["), Bytes({0x0D, 0x0A, 0x09, 0x5B}));
    EXPECT_EQ(UnescapeText("[[CR]"), Bytes({0x5B, 0x43, 0x52, 0x5D}));
    EXPECT_EQ(EscapeText(UnescapeText("[[CR]")), "[[CR]");
    EXPECT_EQ(UnescapeText("a]b"), "a]b");
}

TEST(UnescapeText, BracketStartingNoSequenceGivesEmptyResult)
{
    EXPECT_EQ(UnescapeText("AB[X"), "");
    EXPECT_EQ(UnescapeText("AB["), "");
    EXPECT_EQ(UnescapeText("[cr]"), "");
    EXPECT_EQ(UnescapeText("[CR]AB[Q"), "");
}

TEST(UnescapeText, WrongSecondLetterOrMissingBracketDropsCharacters)
{
    EXPECT_EQ(UnescapeText("A[CXB"), "AB");
    EXPECT_EQ(UnescapeText("A[CRXB"), "AB");
    EXPECT_EQ(UnescapeText("A[LFx"), "A");
    EXPECT_EQ(UnescapeText("A[C"), "A");   // ends inside the sequence
    EXPECT_EQ(UnescapeText("A[CR"), "A");
}

TEST(IsEscapedTextValid, CountsBytesNotCharacters)
{
    EXPECT_TRUE(IsEscapedTextValid("[CR][LF][TB][[", 4));
    EXPECT_FALSE(IsEscapedTextValid("[CR][LF][TB][[", 3));
    EXPECT_TRUE(IsEscapedTextValid("[CR][LF]", 8));
    EXPECT_TRUE(IsEscapedTextValid("[[[[", 2));
    EXPECT_TRUE(IsEscapedTextValid("ABCD", 4));
    EXPECT_FALSE(IsEscapedTextValid("ABCD[CR]", 4));
    EXPECT_TRUE(IsEscapedTextValid("[TB]", 1));
    EXPECT_FALSE(IsEscapedTextValid("AB", 1));
}

TEST(IsEscapedTextValid, EmptyTextIsValid)
{
    EXPECT_TRUE(IsEscapedTextValid("", 1));
    EXPECT_TRUE(IsEscapedTextValid("", 0));
}

TEST(IsEscapedTextValid, RejectsEveryIrregularBracketWhateverTheLength)
{
    for (const char* t : {"AB[X", "AB[", "[cr]", "A[CXB", "A[CRXB", "[C", "[CR", "[T]", "[LB]", "[Cr]"})
        EXPECT_FALSE(IsEscapedTextValid(t, 100)) << t;
}

// A valid text stands for exactly as many bytes as UnescapeText gives.
TEST(IsEscapedTextValid, AgreesWithUnescapeOnEveryShortText)
{
    const char alphabet[] = {'[', ']', 'C', 'R', 'L', 'F', 'T', 'B', 'x'};
    std::string text;
    int checked = 0;
    for (int len = 0; len <= 5; ++len) {
        long combos = 1;
        for (int i = 0; i < len; ++i)
            combos *= 9;
        for (long c = 0; c < combos; ++c) {
            text.clear();
            long v = c;
            for (int i = 0; i < len; ++i) {
                text += alphabet[v % 9];
                v /= 9;
            }
            const std::string bytes = UnescapeText(text);
            if (IsEscapedTextValid(text, 100)) {
                EXPECT_TRUE(IsEscapedTextValid(text, static_cast<int>(bytes.size()))) << text;
                if (!bytes.empty()) {
                    EXPECT_FALSE(IsEscapedTextValid(text, static_cast<int>(bytes.size()) - 1)) << text;
                }
                EXPECT_EQ(UnescapeText(EscapeText(bytes)), bytes) << text;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(EscapeText, RoundTripsEveryByte)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(UnescapeText(EscapeText(all)), all);
    EXPECT_TRUE(IsEscapedTextValid(EscapeText(all), 256));
}

TEST(FieldTable, KindsLimitsAndCaptionsFollowTheTrackLayout)
{
    EXPECT_STREQ(FieldInfoAt(0).name, "CardPrefix");
    EXPECT_STREQ(FieldInfoAt(25).name, "CardSuffix");
    for (int t = 1; t <= 3; ++t) {
        const int b = 1 + 8 * (t - 1);
        const std::string track = "Track" + std::to_string(t);
        EXPECT_EQ(FieldInfoAt(b).kind, FieldKind::Text);
        EXPECT_EQ(FieldInfoAt(b).maxBytes, 8);
        EXPECT_EQ(FieldInfoAt(b + 2).kind, FieldKind::Data);
        EXPECT_EQ(FieldInfoAt(b + 3).kind, FieldKind::Terminator);
        EXPECT_EQ(FieldInfoAt(b + 3).maxBytes, 1);
        for (int s : {1, 4, 5, 6})
            EXPECT_EQ(FieldInfoAt(b + s).kind, FieldKind::Switch);
        EXPECT_EQ(std::string(FieldInfoAt(b + 4).caption), track + " seperator (checked: Enable, unchecked: Disable)");
        EXPECT_EQ(std::string(FieldInfoAt(b + 7).caption), track + " suffix: (maximum 8 characters)");
        EXPECT_EQ(TrackOfField(b), t);
        EXPECT_EQ(TrackOfField(b + 7), t);
    }
    EXPECT_EQ(FieldInfoAt(0).maxBytes, 4);
    EXPECT_EQ(TrackOfField(0), 0);
    EXPECT_EQ(TrackOfField(25), 0);
}

}  // namespace

// The printed form: every byte reads back, and a byte never prints like the characters that spell it.
TEST(ShownText, RoundTripsEveryByteAndKeepsBytesApartFromLookalikes)
{
    const struct {
        std::string bytes, shown;
    } rows[] = {
        {Bytes({0x02}), "[02]"},
        {"<02>", "<02>"},
        {"[02]", "[[02]"},
        {Bytes({0x0D, 0x0A, 0x09}), "[CR][LF][TB]"},
        {Bytes({0xE9, 0x7F, 0xFF}), "[E9][7F][FF]"},
        {"%B1^A?", "%B1^A?"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ShownText(row.bytes), row.shown);
        EXPECT_EQ(ReadShownText(row.shown), row.bytes) << row.shown;
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(ReadShownText(ShownText(all)), all);
    EXPECT_EQ(ReadShownText("[cr][0d]"), std::nullopt);  // the letters of a name are upper case
    EXPECT_EQ(ReadShownText("[0d]"), Bytes({0x0D}));
    for (const char* bad : {"[", "[X]", "[0G]", "[CR", "[12"})
        EXPECT_EQ(ReadShownText(bad), std::nullopt) << bad;
}
