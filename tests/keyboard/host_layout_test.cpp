#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "keyboard/host_layout.h"

namespace {

std::unique_ptr<HostLayout> Open(const std::string& name)
{
    std::string error;
    auto layout = OpenHostLayout(name, error);
    EXPECT_TRUE(layout) << name << ": " << error;
    return layout;
}

std::string Typed(const HostLayout& layout, const std::string& sent)
{
    return TypeBytes(layout, std::vector<std::uint8_t>(sent.begin(), sent.end())).text;
}

// Answers known from the keyboards themselves; the same data runs against
// libxkbcommon on Linux and against the built-in tables on Windows.
TEST(HostLayout, KnownAnswersOfRealKeyboards)
{
    struct Case {
        const char* layout;
        std::string sent;
        std::string typed;
    };
    const std::vector<Case> cases = {
        {"us", "%B4000^SAMPLE/CARD^29?;1=2?\r\t", "%B4000^SAMPLE/CARD^29?;1=2?\r\t"},
        {"fr", "12345", "&\xC3\xA9\"'("},                  // &é"'(
        {"fr", "qaz", "aqw"},
        {"fr", "\x01", "\x11"},                           // Ctrl on the US A key is Ctrl+Q there
        {"de", "^?yZ", "&_zY"},
        {"de", "`=", ""},                                 // dead keys add nothing
        {"de(nodeadkeys)", "`", "^"},
        {"tr", ";", "\xC5\x9F"},                          // ş
        {"gb", "@\"#", "\"@\xC2\xA3"},                    // " @ £
        {"us", std::string("\x80\x7F", 2), ""},           // bytes without a key
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + c.sent);
        auto layout = Open(c.layout);
        ASSERT_TRUE(layout);
        EXPECT_EQ(Typed(*layout, c.sent), c.typed);
    }
    auto de = Open("de");
    const KeyAnswer dead = de->Answer('`');
    EXPECT_EQ(dead.deadName, "dead_circumflex");
    EXPECT_EQ(ShownAnswer(dead), "dead key (dead_circumflex)");
    EXPECT_EQ(ShownAnswer(de->Answer(0x80)), "nothing");
    EXPECT_EQ(ShownAnswer(de->Answer('\r')), "<D>");
}

TEST(HostLayout, UsTypesEveryByteAsItselfAndChangesAreListed)
{
    auto us = Open("us");
    for (int b = 0x01; b <= 0x7E; ++b)
        EXPECT_TRUE(ArrivesUnchanged(static_cast<std::uint8_t>(b), us->Answer(static_cast<std::uint8_t>(b)))) << b;

    auto de = Open("de");
    const TypedText t = TypeBytes(*de, {'a', 'y', '`', '-', 0xF5});
    EXPECT_EQ(t.text, "az\xC3\x9F");  // a z ß
    ASSERT_EQ(t.changes.size(), 4u);
    EXPECT_EQ(t.changes[0].offset, 1);
    EXPECT_EQ(t.changes[0].answer.text, "z");
    EXPECT_TRUE(t.changes[1].answer.Dead());
    EXPECT_EQ(t.changes[2].answer.text, "\xC3\x9F");
    EXPECT_EQ(t.changes[3].byte, 0xF5);
    EXPECT_EQ(t.changes[3].answer, KeyAnswer{});

    std::string error;
    EXPECT_EQ(OpenHostLayout("xx-none", error), nullptr);
    EXPECT_NE(error.find("xx-none"), std::string::npos);
}

// libxkbcommon's answers for printable ASCII, CR, TAB and Ctrl+A on every
// table layout, recorded from xkeyboard-config 2.35 (Debian 12). One line a
// layout: its name, then one token a byte: "=" and the text (bytes outside
// 0x21..0x7E and the backslash as \xHH), or "~" and a dead key's name.
const char* const recordedAnswers =
#include "keyboard/xkb_answers.inc"
    ;

std::vector<std::uint8_t> RecordedBytes()
{
    std::vector<std::uint8_t> bytes{0x01, 0x09, 0x0D};
    for (int b = 0x20; b <= 0x7E; ++b)
        bytes.push_back(static_cast<std::uint8_t>(b));
    return bytes;
}

std::string Token(const KeyAnswer& a)
{
    if (a.Dead())
        return "~" + a.deadName;
    std::string out = "=";
    for (char c : a.text) {
        const auto u = static_cast<unsigned char>(c);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", u);
        out += u > 0x20 && u < 0x7F && c != '\\' ? std::string(1, c) : std::string(hex);
    }
    return out;
}

std::string AnswerLine(const HostLayout& layout)
{
    std::string line = layout.Name();
    for (std::uint8_t b : RecordedBytes())
        line += " " + Token(layout.Answer(b));
    return line;
}

// The same recorded answers on every system: through libxkbcommon on Linux,
// through the built-in tables on Windows. TOVASK_RECORD_XKB_ANSWERS=FILE
// writes them anew (after an xkeyboard-config update).
TEST(HostLayout, AnswersEqualLibxkbcommonsRecordedOnes)
{
    std::istringstream recorded(recordedAnswers);
    std::string out;
    int layouts = 0;
    for (std::string line; std::getline(recorded, line);) {
        const std::string name = line.substr(0, line.find(' '));
        SCOPED_TRACE(name);
        auto layout = Open(name);
        ASSERT_TRUE(layout);
        EXPECT_EQ(AnswerLine(*layout), line);
        out += AnswerLine(*layout) + "\n";
        ++layouts;
    }
    EXPECT_GE(layouts, 19);
    if (const char* path = std::getenv("TOVASK_RECORD_XKB_ANSWERS")) {
        std::ofstream file(path);
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            file << "    \"";
            for (char c : line)
                file << (c == '\\' || c == '"' ? "\\" : "") << c;
            file << "\\n\"\n";
        }
    }
}

#ifndef _WIN32
// The built-in tables answer exactly as libxkbcommon does, byte for byte.
TEST(HostLayout, TablesEqualLibxkbcommon)
{
    const std::vector<std::string> names = TableLayoutNames();
    EXPECT_GE(names.size(), 19u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        auto xkb = Open(name);
        auto table = OpenTableLayout(name);
        ASSERT_TRUE(xkb && table);
        for (int b = 0; b < 256; ++b)
            EXPECT_EQ(table->Answer(static_cast<std::uint8_t>(b)), xkb->Answer(static_cast<std::uint8_t>(b))) << b;
    }
}
#endif

}  // namespace
