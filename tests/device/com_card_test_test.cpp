// The card test's text: how received bytes are shown, and how a poll drains the line.
#include <chrono>
#include <thread>
#include <gtest/gtest.h>

#include "device/com/card_test.h"
#include "tests/device/com_test_support.h"

namespace {

std::string Shown(std::initializer_list<std::uint8_t> bytes)
{
    std::vector<std::uint8_t> v(bytes);
    std::string text;
    AppendCardTestText(text, v.data(), static_cast<int>(v.size()));
    return text;
}

TEST(CardTestText, PrintableBytesShowAsCharactersOthersAsHexInAngleBrackets)
{
    EXPECT_EQ(Shown({'A', 'z', ' ', '~', '?', ';'}), "Az ~?;");
    EXPECT_EQ(Shown({0x0D}), "<D>");
    EXPECT_EQ(Shown({0x0A}), "<A>");
    EXPECT_EQ(Shown({0x01}), "<1>");
    EXPECT_EQ(Shown({0x1F}), "<1F>");
    EXPECT_EQ(Shown({0x7F}), "<7F>");
    EXPECT_EQ(Shown({0xF5}), "<F5>");
    EXPECT_EQ(Shown({0xFF}), "<FF>");
    EXPECT_EQ(Shown({0x80}), "<80>");
}

TEST(CardTestText, ZeroBytesAreDropped)
{
    EXPECT_EQ(Shown({0x00}), "");
    EXPECT_EQ(Shown({'1', 0x00, '2', 0x00, 0x00}), "12");
}

TEST(CardTestText, OnePollTakesEverythingThatHasArrived)
{
    auto line = std::make_shared<FakeLine>();
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    ASSERT_TRUE(com.OpenPort(1));
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        line->incoming.push_back(static_cast<std::uint8_t>('a' + i % 26));
        expected += static_cast<char>('a' + i % 26);
    }
    CardTestText t;
    EXPECT_EQ(t.Poll(com), expected);
    EXPECT_TRUE(line->incoming.empty());
    EXPECT_EQ(t.Poll(com), "");
    EXPECT_EQ(t.Text(), expected);
}

// A swipe over the pty, Clear while polling, and a second run.
TEST(CardTestText, SwipesOverTheLineAcrossTwoRuns)
{
    SerialRig rig;
    CardTestText t;

    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    EXPECT_EQ(t.Poll(rig.com), "");
    // A template that ends each track with a carriage return, sent at once.
    long long now = 0;
    rig.sim.SetClock([&now] { return now; });
    {
        TemplateRecord record;
        DecodeImage(DefaultImage(), record);
        record.formatFields[8].text = record.formatFields[16].text = "[CR]";
        ConfigImage image = DefaultImage();
        EncodeImage(record, image);
        rig.memory.SetImage(image);
    }
    rig.sim.SwipeSample();
    now += 10000;
    rig.sim.Pump();
    // The first byte went out at the swipe, the rest now: on a pseudo-terminal
    // the second piece may reach the port a moment after the first.
    const std::string expected = "%B4000123456789010^SAMPLE/CARD^29121010000000000000?<D>"
                                 ";4000123456789010=29121010000000000000?<D>";
    std::string sample = t.Poll(rig.com);
    for (int i = 0; i < 1000 && sample.size() < expected.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sample += t.Poll(rig.com);
    }
    EXPECT_EQ(sample, expected);
    EXPECT_EQ(t.Text(), sample);

    t.Clear();
    EXPECT_EQ(t.Text(), "");
    rig.sim.Swipe({';', '9', '?', 0x0D, 0x00});
    t.Poll(rig.com);
    EXPECT_EQ(t.Text(), ";9?<D>");
    rig.com.ClosePort();

    // Between runs the port is closed: what the reader sends then is lost.
    rig.sim.SwipeSample();
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    t.Clear();
    EXPECT_EQ(t.Poll(rig.com), "");
    rig.sim.Swipe({'o', 'k'});
    t.Poll(rig.com);
    EXPECT_EQ(t.Text(), "ok");
    rig.com.ClosePort();
}

}  // namespace
