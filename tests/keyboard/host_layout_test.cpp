#include <gtest/gtest.h>

#include <cctype>
#include <codecvt>
#include <cstdio>
#include <locale>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "keyboard/host_layout.h"
#include "test_env.h"

#ifndef _WIN32
#include <xkbcommon/xkbcommon-compose.h>
#endif

namespace {

// Dead keys compose with the system's en_US.UTF-8 table (which de_DE.UTF-8
// and fr_FR.UTF-8 use too), never with the tester's own ~/.XCompose.
const bool composeLocaleSet = [] {
    SetEnv("LC_ALL", "en_US.UTF-8");
    UnsetEnv("XCOMPOSEFILE");
    SetEnv("HOME", "/nonexistent");
    return true;
}();

// xkeyboard-config's layouts: through libxkbcommon on Linux, from the
// built-in tables on Windows (whose own layouts have tests of their own).
std::unique_ptr<HostLayout> Open(const std::string& name)
{
#ifdef _WIN32
    auto layout = OpenTableLayout(name);
    EXPECT_TRUE(layout) << name;
#else
    std::string error;
    auto layout = OpenHostLayout(name, error);
    EXPECT_TRUE(layout) << name << ": " << error;
#endif
    return layout;
}

// Answers known from the keyboards themselves; the same data runs against
// libxkbcommon on Linux and against the built-in tables on Windows.
TEST(HostLayout, KnownAnswersOfRealKeyboards)
{
    struct Case {
        const char* layout;
        std::string sent;
        std::string typed;
        bool capsLock = false;
    };
    const std::vector<Case> cases = {
        {"us", "%B4000^SAMPLE/CARD^29?;1=2?\r", "%B4000^SAMPLE/CARD^29?;1=2?\r"},
        {"fr", "12345", "&\xC3\xA9\"'("},                  // &é"'(
        {"fr", "qaz", "aqw"},
        {"fr", "\x01", "\x11"},                           // Ctrl on the US A key is Ctrl+Q there
        {"de", "^?yZ", "&_zY"},
        {"de(nodeadkeys)", "`", "^"},
        {"tr", ";", "\xC5\x9F"},                          // ş
        {"gb", "@\"#", "\"@\xC2\xA3"},                    // " @ £
        {"us", std::string("\x80\x7F", 2), ""},           // bytes without a key
        // Caps Lock inverts the letters; the other keys as each layout's key types say.
        {"us", "%B4000^SAMPLE/CARD^29?", "%b4000^sample/card^29?", true},
        {"de", "aY;[", "Az\xC3\x96\xC3\x9C", true},       // A z Ö Ü: umlauts are letters too
        {"fr", "1q", "&A", true},                          // the digit row keeps its symbols
        {"tr", "i'", "I\xC4\xB0", true},                   // ı -> I, i -> İ
        // Dead keys compose with the key after them as the compose table says.
        {"de", "`1=e= =5", "\xC2\xB9\xC3\xA9'"},           // ¹ é ' and nothing for dead acute + 5
        {"fr", "[e[q{e[ ", "\xC3\xAA\xC3\xA2\xC3\xAB^"},     // ê â ë ^
        {"de", "`", ""},                                   // a dead key at the end waits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + c.sent + (c.capsLock ? " with Caps Lock" : ""));
        auto layout = Open(c.layout);
        ASSERT_TRUE(layout);
        EXPECT_EQ(TypeBytes(*layout, std::vector<std::uint8_t>(c.sent.begin(), c.sent.end()), c.capsLock).text,
                  c.typed);
    }
    auto de = Open("de");
    const KeyAnswer dead = de->Answer('`');
    EXPECT_EQ(dead.deadName, "dead_circumflex");
    EXPECT_EQ(ShownAnswer(dead), "dead key (dead_circumflex)");
    EXPECT_EQ(ShownAnswer(de->Answer(0x80)), "nothing");
}

// Every letter a layout types inverts its case with Caps Lock on (Unicode's
// case pairs, as far as the layouts here use them).
TEST(HostLayout, CapsLockInvertsEveryLetterOnEveryLayout)
{
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"\xC3\xA4", "\xC3\x84"}, {"\xC3\xB6", "\xC3\x96"}, {"\xC3\xBC", "\xC3\x9C"}, {"\xC3\xA5", "\xC3\x85"},
        {"\xC3\xA6", "\xC3\x86"}, {"\xC3\xB8", "\xC3\x98"}, {"\xC3\xA7", "\xC3\x87"}, {"\xC3\xB1", "\xC3\x91"},
        {"\xC3\xA9", "\xC3\x89"}, {"\xC3\xA8", "\xC3\x88"}, {"\xC3\xA0", "\xC3\x80"}, {"\xC3\xB9", "\xC3\x99"},
        {"\xC3\xB2", "\xC3\x92"}, {"\xC3\xAC", "\xC3\x8C"}, {"\xC5\x9F", "\xC5\x9E"}, {"\xC4\x9F", "\xC4\x9E"},
        {"\xC4\xB1", "I"},          {"i", "\xC4\xB0"},          {"\xC5\x82", "\xC5\x81"}, {"\xC4\x85", "\xC4\x84"},
        {"\xC4\x99", "\xC4\x98"}, {"\xC5\xBC", "\xC5\xBB"}, {"\xC3\xB3", "\xC3\x93"}, {"\xC5\xBA", "\xC5\xB9"},
        {"\xC4\x9B", "\xC4\x9A"}, {"\xC5\xA1", "\xC5\xA0"}, {"\xC4\x8D", "\xC4\x8C"}, {"\xC5\x99", "\xC5\x98"},
        {"\xC5\xBE", "\xC5\xBD"}, {"\xC3\xBD", "\xC3\x9D"}, {"\xC3\xA1", "\xC3\x81"}, {"\xC3\xAD", "\xC3\x8D"},
        {"\xC5\xAF", "\xC5\xAE"}, {"\xC5\x91", "\xC5\x90"}, {"\xC5\xB1", "\xC5\xB0"}, {"\xC3\xB5", "\xC3\x95"},
        {"\xC3\xB4", "\xC3\x94"}, {"\xC3\xAA", "\xC3\x8A"}, {"\xC3\xA2", "\xC3\x82"},
    };
    const auto other = [&pairs](const std::string& text) -> std::string {
        if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0])))
            return {static_cast<char>(std::islower(static_cast<unsigned char>(text[0])) ? std::toupper(text[0])
                                                                                       : std::tolower(text[0]))};
        for (const auto& [lower, upper] : pairs)
            if (text == lower || text == upper)
                return text == lower ? upper : lower;
        return {};
    };
    for (const std::string& name : TableLayoutNames()) {
        SCOPED_TRACE(name);
        auto layout = Open(name);
        ASSERT_TRUE(layout);
        int letters = 0;
        for (int b = 0x20; b <= 0x7E; ++b) {
            const KeyAnswer off = layout->Answer(static_cast<std::uint8_t>(b), false);
            const KeyAnswer on = layout->Answer(static_cast<std::uint8_t>(b), true);
            std::string inverted = other(off.text);
            if (name == "tr" && (off.text == "i" || off.text == "I"))  // dotted and dotless i
                inverted = off.text == "i" ? "\xC4\xB0" : "\xC4\xB1";
            if (!inverted.empty() && !off.Dead()) {
                ++letters;
                EXPECT_EQ(on.text, inverted) << b;
            }
        }
        EXPECT_GE(letters, 52) << name;
    }
}

TEST(HostLayout, ChangesNameControlKeysAndComposedPairs)
{
    auto us = Open("us");
    for (int b = 0x20; b <= 0x7E; ++b)
        EXPECT_TRUE(ArrivesUnchanged(static_cast<std::uint8_t>(b), us->Answer(static_cast<std::uint8_t>(b)))) << b;
    EXPECT_TRUE(ArrivesUnchanged('\r', us->Answer('\r')));

    // Control bytes other than CR arrive as keys that programs act on.
    const TypedText control = TypeBytes(*us, {'1', '\n', '\t', 0x1B, '\r'});
    ASSERT_EQ(control.changes.size(), 3u);
    EXPECT_EQ(ChangeText(control.changes[0]), "'[LF]' -> Ctrl+J: a shortcut in many programs");
    EXPECT_EQ(ChangeText(control.changes[1]), "'[TB]' -> Tab: moves to the next field in many programs");
    EXPECT_EQ(ChangeText(control.changes[2]), "'[1B]' -> Ctrl+[: a shortcut in many programs");

    auto de = Open("de");
    const TypedText t = TypeBytes(*de, {'a', 'y', '`', 'o', '=', '5', 0xF5});
    EXPECT_EQ(t.text, "az\xC3\xB4");  // a z ô
    std::vector<std::string> shown;
    for (const TypedChange& c : t.changes)
        shown.push_back(std::to_string(c.offset) + " " + ChangeText(c));
    EXPECT_EQ(shown, (std::vector<std::string>{"1 'y' -> 'z'", "2 '`' -> dead key (dead_circumflex)",
                                               "3 'o' -> '\xC3\xB4' (after dead_circumflex)",
                                               "4 '=' -> dead key (dead_acute)", "5 '5' -> nothing (after dead_acute)",
                                               "6 '[F5]' -> nothing"}));

    std::string error;
    EXPECT_EQ(OpenHostLayout("xx-none", error), nullptr);
    EXPECT_NE(error.find("xx-none"), std::string::npos);
}

#ifndef _WIN32
// Every pair of a dead key and a printable key on de and fr gives what
// libxkbcommon's compose API gives for the two keysyms under the locale.
TEST(HostLayout, DeadKeysComposeAsLibxkbcommonsComposeTable)
{
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        SetEnv("LC_ALL", locale);
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
        xkb_compose_table* table =
            xkb_compose_table_new_from_locale(context, locale, XKB_COMPOSE_COMPILE_NO_FLAGS);
        ASSERT_TRUE(table) << locale;
        const auto compose = [table](xkb_keysym_t dead, xkb_keysym_t next) {
            xkb_compose_state* state = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
            xkb_compose_state_feed(state, dead);
            xkb_compose_state_feed(state, next);
            char text[64] = "";
            if (xkb_compose_state_get_status(state) == XKB_COMPOSE_COMPOSED)
                xkb_compose_state_get_utf8(state, text, sizeof text);
            xkb_compose_state_unref(state);
            return std::string(text);
        };
        for (const char* name : {"de", "fr"}) {
            SCOPED_TRACE(std::string(locale) + " " + name);
            auto layout = Open(name);
            int composed = 0;
            for (int d = 0x20; d <= 0x7E; ++d) {
                const KeyAnswer dead = layout->Answer(static_cast<std::uint8_t>(d));
                if (!dead.Dead())
                    continue;
                for (int n = 0x20; n <= 0x7E; ++n) {
                    const KeyAnswer next = layout->Answer(static_cast<std::uint8_t>(n));
                    if (next.Dead() || next.text.empty())
                        continue;
                    const std::u32string code = std::wstring_convert<std::codecvt_utf8<char32_t>, char32_t>{}.from_bytes(next.text);
                    const std::string expected =
                        compose(xkb_keysym_from_name(dead.deadName.c_str(), XKB_KEYSYM_NO_FLAGS),
                                xkb_utf32_to_keysym(code[0]));
                    EXPECT_EQ(layout->Composed(static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(n), false),
                              expected)
                        << static_cast<char>(d) << static_cast<char>(n);
                    composed += !expected.empty();
                }
            }
            EXPECT_GE(composed, 20);
        }
        xkb_compose_table_unref(table);
        xkb_context_unref(context);
    }
    SetEnv("LC_ALL", "en_US.UTF-8");
}
#endif

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
// The built-in tables answer exactly as libxkbcommon does, byte for byte,
// with Caps Lock off and on, and compose every pair as it does.
TEST(HostLayout, TablesEqualLibxkbcommon)
{
    const std::vector<std::string> names = TableLayoutNames();
    EXPECT_GE(names.size(), 19u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        auto xkb = Open(name);
        auto table = OpenTableLayout(name);
        ASSERT_TRUE(xkb && table);
        EXPECT_EQ(table->Source(), "built-in tables");
        for (int caps = 0; caps < 2; ++caps)
            for (int b = 0; b < 256; ++b) {
                const auto byte = static_cast<std::uint8_t>(b);
                EXPECT_EQ(table->Answer(byte, caps), xkb->Answer(byte, caps)) << b;
                if (b < 128 && xkb->Answer(byte, caps).Dead()) {
                    for (int n = 1; n < 127; ++n)
                        EXPECT_EQ(table->Composed(byte, static_cast<std::uint8_t>(n), caps),
                                  xkb->Composed(byte, static_cast<std::uint8_t>(n), caps))
                            << b << " " << n;
                }
            }
    }
}
#endif

}  // namespace
