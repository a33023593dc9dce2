// The card test's running text, fed from the simulated reader over a pty.
#include <array>
#include <string>

#include <gtest/gtest.h>

#include "device/com/card_test.h"
#include "tests/device/com_test_support.h"

namespace {

std::string Render(std::initializer_list<std::uint8_t> bytes)
{
    std::string text;
    const std::vector<std::uint8_t> v(bytes);
    AppendCardTestText(text, v.data(), static_cast<int>(v.size()));
    return text;
}

TEST(CardTestText, PrintableAsIsZeroDroppedOthersInHex)
{
    EXPECT_EQ(Render({'A', ' ', '~', 0x00, 0x0D, 0x0A, 0x7F, 0xF5, 0x01, 0x1F}), "A ~<D><A><7F><F5><1><1F>");
    EXPECT_EQ(Render({0x00, 0x00}), "");
}

TEST(CardTestText, ASwipeOverThePtyShowsTrackDataAndCarriageReturns)
{
    SerialRig rig;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    CardTestText text;
    EXPECT_EQ(text.Poll(rig.com), "");

    rig.sim.Swipe({';', '1', '2', '=', '3', '?', 0x0D, 0x00});
    EXPECT_EQ(text.Poll(rig.com), ";12=3?<D>");
    EXPECT_EQ(text.Text(), ";12=3?<D>");

    // Clear empties the text while polling goes on.
    text.Clear();
    EXPECT_EQ(text.Text(), "");
    rig.sim.Swipe({'x', 0x0A});
    EXPECT_EQ(text.Poll(rig.com), "x<A>");
    EXPECT_EQ(text.Text(), "x<A>");
    rig.com.ClosePort();

    // A second run starts with an empty text.
    CardTestText second;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    EXPECT_EQ(second.Text(), "");
    EXPECT_EQ(second.Poll(rig.com), "");
    rig.com.ClosePort();
}

TEST(CardTestText, OnePollTakesEverythingThatHasArrived)
{
    SerialRig rig;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    std::vector<std::uint8_t> burst(500, 'z');
    rig.sim.Swipe(burst);
    CardTestText text;
    EXPECT_EQ(text.Poll(rig.com), std::string(500, 'z'));
    EXPECT_EQ(text.Poll(rig.com), "");
    rig.com.ClosePort();
}

}  // namespace
