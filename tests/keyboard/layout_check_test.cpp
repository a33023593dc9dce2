#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard/layout_check.h"
#include "model/config_image.h"
#include "model/template_values.h"

namespace {

TEST(LayoutCheck, GroupsEveryChangedCharacterByWhereItComesFrom)
{
    TemplateRecord r;
    DecodeImage(DefaultImage(), r);
    std::string message;
    for (const char* set : {"CardPrefix=#", "T2Lrc=Enable", "trackEnabled=0,1,0", "T2Suffix=[CR]"}) {
        const std::string s = set;
        ASSERT_TRUE(SetTemplateValue(r, s.substr(0, s.find('=')), s.substr(s.find('=') + 1), message)) << message;
    }
    struct Case {
        const char* layout;
        // Each group: its source, then whether any change in it counts.
        std::vector<std::pair<std::string, bool>> groups;
    };
    const std::vector<Case> cases = {
        {"us", {}},
        // # is Shift+3 (§ there), ; is ö, = a dead acute, ? is _; the data's
        // digits arrive, its : < > do not but the sample has none of them.
        {"de",
         {{"CardPrefix", true},
          {"T2StartSentinel", true},
          {"track 2 data", false},
          {"T2Separator", true},
          {"T2StopSentinel", true},
          {"track 2 LRC", false}}},
        // The digits of the sample card change under AZERTY.
        {"fr",
         {{"CardPrefix", true},
          {"T2StartSentinel", true},
          {"track 2 data", true},
          {"T2StopSentinel", true},
          {"track 2 LRC", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        std::string error;
        const auto layout = OpenHostLayout(c.layout, error);
        ASSERT_TRUE(layout) << error;
        const auto groups = CheckLayout(r, *layout, SampleSwipe());
        std::vector<std::pair<std::string, bool>> got;
        for (const LayoutCheckGroup& g : groups)
            got.emplace_back(g.source, !g.failures.empty());
        EXPECT_EQ(got, c.groups);
        EXPECT_EQ(AnyFailure(groups), !c.groups.empty());
    }
}

// With track 1 on, a US host with Caps Lock on receives the sample card's
// letters in the other case: listed apart, and counted only when asked. The
// prefix '#' moves on de, where the US key '\\' types it.
TEST(LayoutCheck, CapsLockChangesAndSubstitutesAreListedApart)
{
    TemplateRecord r;
    DecodeImage(DefaultImage(), r);
    std::string message;
    for (const char* set : {"CardPrefix=#", "trackEnabled=1,0,0", "T1Lrc=Enable"}) {
        const std::string s = set;
        ASSERT_TRUE(SetTemplateValue(r, s.substr(0, s.find('=')), s.substr(s.find('=') + 1), message)) << message;
    }
    std::string error;
    const auto us = OpenHostLayout("us", error);
    const auto groups = CheckLayout(r, *us, SampleSwipe());
    std::vector<std::pair<std::string, bool>> got;
    for (const LayoutCheckGroup& g : groups) {
        EXPECT_TRUE(g.changes.empty()) << g.source;
        got.emplace_back(g.source, !g.capsFailures.empty());
    }
    EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{{"track 1 data", true}, {"track 1 LRC", false}}));
    EXPECT_FALSE(AnyFailure(groups));
    EXPECT_TRUE(AnyFailure(groups, true));

    const auto de = OpenHostLayout("de", error);
    const auto deGroups = CheckLayout(r, *de, SampleSwipe());
    ASSERT_FALSE(deGroups.empty());
    EXPECT_EQ(deGroups[0].source, "CardPrefix");
    ASSERT_EQ(deGroups[0].substitutes.size(), 1u);
    EXPECT_EQ(deGroups[0].substitutes[0].wanted, '#');
    EXPECT_EQ(deGroups[0].substitutes[0].send, '\\');
}

}  // namespace
