// Windows' own layouts, asked through ToUnicodeEx; under Wine for the layouts it has.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard/host_layout.h"

#ifdef _WIN32
namespace {

std::unique_ptr<HostLayout> SystemLayout(const std::string& name)
{
    std::string error;
    // A layout the system does not have (Wine has few) is answered by the
    // built-in tables or not at all: the tests below then skip.
    auto layout = OpenHostLayout(name, error);
    if (layout && layout->Source().rfind("Windows ", 0) != 0)
        return nullptr;
    return layout;
}

std::string Typed(const HostLayout& layout, const std::string& sent, bool capsLock = false)
{
    return TypeBytes(layout, std::vector<std::uint8_t>(sent.begin(), sent.end()), capsLock).text;
}

TEST(WindowsLayout, UsFromTheSystemTypesEveryByteAsItself)
{
    auto us = SystemLayout("00000409");
    if (!us)
        GTEST_SKIP() << "this system has no US layout of its own; the built-in tables answer";
    EXPECT_EQ(us->Name(), "us");
    EXPECT_EQ(us->Source(), "Windows 00000409");
    for (int b = 0x20; b <= 0x7E; ++b)
        EXPECT_TRUE(ArrivesUnchanged(static_cast<std::uint8_t>(b), us->Answer(static_cast<std::uint8_t>(b)))) << b;
    EXPECT_EQ(Typed(*us, "\r\t\n\x01\x1B"), "\r\t\n\x01\x1B");  // control bytes as Ctrl keys
    EXPECT_EQ(Typed(*us, "%B40^SAMPLE/CARD^?", true), "%b40^sample/card^?");
    // Asked again, the thread's keyboard state was left as found.
    EXPECT_EQ(Typed(*us, "aA1"), "aA1");
    EXPECT_FALSE(SystemLayoutName().empty());
}

TEST(WindowsLayout, FrenchFromTheSystemWithItsControlBytesAndDeadKeys)
{
    auto fr = SystemLayout("fr");
    if (!fr)
        GTEST_SKIP() << "this system (Wine has no French layout of its own) lets the built-in tables answer";
    EXPECT_EQ(Typed(*fr, "12qa"), "&\xC3\xA9" "aq");
    EXPECT_EQ(Typed(*fr, "\x1B\x1C"), "\x1B\x1C");  // ESC on the ^ key, 0x1C on the * key
    EXPECT_EQ(fr->Answer('[').deadName, "dead_circumflex");
    EXPECT_EQ(Typed(*fr, "[e"), "\xC3\xAA");  // ê
    EXPECT_EQ(Typed(*fr, "[1"), "^&");       // the accent, then the key's own character
}

TEST(WindowsLayout, NamesAndIdentifiers)
{
    std::string error;
    EXPECT_EQ(OpenHostLayout("0000FFFF", error), nullptr);
    EXPECT_EQ(error, "keyboard layout 0000FFFF is not installed on this system");
    // A name the system lacks: the tables made from xkeyboard-config.
    auto noDead = OpenHostLayout("de(nodeadkeys)", error);
    ASSERT_TRUE(noDead);
    EXPECT_EQ(noDead->Source(), "built-in tables");
}

}  // namespace
#endif
