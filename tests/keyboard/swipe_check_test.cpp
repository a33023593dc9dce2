#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard/swipe_check.h"

namespace {

// What arrived against what the reader sent, each difference with its reason.
TEST(SwipeCheck, MarksEachDifferenceWithWhatExplainsIt)
{
    struct Case {
        const char* layout;
        bool capsLock;
        std::string sent;
        std::string arrived;
        std::vector<std::string> differences;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"us", false, "%B1?", "%B1?", {}, true},
        {"fr", false, "12;", "&\xC3\xA9m",
         {"'&' where the reader sent '1': layout fr", "'\xC3\xA9' where the reader sent '2': layout fr",
          "'m' where the reader sent ';': layout fr"},
         true},
        // A US host read the swipe: nothing of it is what fr gives.
        {"fr", false, "12", "12",
         {"'1' where the reader sent '1': layout fr gives '&'", "'2' where the reader sent '2': layout fr gives '\xC3\xA9'"},
         false},
        {"de", false, "=e1= ", "\xC3\xA9" "1'",
         {"'\xC3\xA9' where the reader sent '=e': layout de, after dead_acute",
          "''' where the reader sent '= ': layout de, after dead_acute"},
         true},
        // Keys the layout turns into nothing are listed as lost.
        {"de", false, "=21=", "1",
         {"nothing where the reader sent '=2': layout de, after dead_acute",
          "nothing where the reader sent '=': layout de, dead key waiting for the next"},
         true},
        {"us", false, "AB1", "ab1",
         {"'a' where the reader sent 'A': Caps Lock on", "'b' where the reader sent 'B': Caps Lock on"}, false},
        {"us", false, "1\n\t\r", "1\n\t\r",
         {"'[LF]' where the reader sent '[LF]': Ctrl+J: a shortcut in many programs",
          "'[TB]' where the reader sent '[TB]': Tab: moves to the next field in many programs"},
         true},
        {"us", false, "123", "13", {"nothing where the reader sent '2': layout us gives '2'"}, false},
        {"us", false, "13", "1x3", {"'x' where the reader sent nothing: not sent"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + c.sent + " / " + c.arrived);
        std::string error;
        const auto layout = OpenHostLayout(c.layout, error);
        ASSERT_TRUE(layout) << error;
        const SwipeCheck check = CheckSwipe(ArrivedText(c.arrived), std::vector<std::uint8_t>(c.sent.begin(), c.sent.end()),
                                            *layout, c.capsLock);
        std::vector<std::string> shown;
        for (const SwipeDifference& d : check.differences)
            shown.push_back(d.Text());
        EXPECT_EQ(shown, c.differences);
        EXPECT_EQ(check.matches, c.matches);
    }
    std::vector<ArrivedKey> timed = ArrivedText("1\xC3\xA9" "3");
    ASSERT_EQ(timed.size(), 3u);
    timed[1].atMs = 4;
    timed[2].atMs = 9;
    std::string error;
    const SwipeCheck gaps = CheckSwipe(timed, {'1', '2', '3'}, *OpenHostLayout("us", error), false);
    EXPECT_EQ(gaps.shortestGapMs, 4);
    EXPECT_EQ(gaps.longestGapMs, 5);
}

}  // namespace
