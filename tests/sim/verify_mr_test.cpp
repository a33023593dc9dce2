// Verify MR on every link against the simulated reader: one message naming
// each differing value, the document and the panel left as they are.
#include <string>

#include <gtest/gtest.h>

#include "device/transfer.h"
#include "model/template_compare.h"
#include "model/template_values.h"
#include "model/tovask_doc.h"
#include "sim/reader_memory.h"
#include "sim/sim_link_rig.h"

namespace {

// The window's document holds the default template.
struct VerifyRig : SimLinkRig {
    explicit VerifyRig(int portKind) : SimLinkRig(portKind) { doc.DecodeImage(); }
};

TEST(VerifyMR, ComparesTheReaderWithTheWindowsTemplateOnEveryLink)
{
    struct Case {
        const char* name;
        const char* edits;  // values the panel changed, not yet in the image
        SimFault fault;
        std::string message;
        int onlyOn = -1;  // the one link the case applies to
    };
    const Case cases[] = {
        {"same", "", SimFault::None, msg::verifySame},
        {"differs", "T2Suffix=[CR] outputDelay=9", SimFault::None,
         std::string(msg::verifyDiffers) + "\nTrack2 suffix: \"[CR]\" -> \"\"\nOutput Delay (mS): 9 -> 4"},
        {"in the window's words", "T1Prefix=a[TB] T1StopSentinel=Disable longBeepOnGoodRead=1", SimFault::None,
         std::string(msg::verifyDiffers) +
             "\nTrack1 prefix: \"a[TB]\" -> \"\"\nTrack1 stop sentinel: Disable -> Enable\n"
             "Long beep at good read: on -> off"},
        {"drifted answer", "", SimFault::Drift, std::string(msg::verifyDiffers) + "\nOutput Delay (mS): 4 -> 5"},
        // A garbled answer: a free byte of the suffix read as 0xFE, and a bit no value reads.
        {"garbled answer", "", SimFault::Garble,
         std::string(msg::verifyDiffers) + "\nTrack1 suffix: \"\" -> \"[FE]\"\n" + hiddenBytesDiffer, portKindUSB},
        {"gone", "", SimFault::Vanish, ""},
    };
    for (const int portKind : {portKindUSB, portKindPS2, portKindCOM1 + 2}) {
        for (const Case& c : cases) {
            if (c.onlyOn >= 0 && c.onlyOn != portKind)
                continue;
            SCOPED_TRACE(PortKindName(portKind) + ": " + c.name);
            VerifyRig rig(portKind);
            std::string edits = c.edits, message;
            for (std::size_t at = 0, end; !edits.empty() && at != std::string::npos; at = end == std::string::npos ? end : end + 1) {
                end = edits.find(' ', at);
                const std::string edit = edits.substr(at, end - at), name = edit.substr(0, edit.find('='));
                ASSERT_TRUE(SetTemplateValue(rig.doc.record, name, edit.substr(name.size() + 1), message));
            }
            const CTovaskDoc before = rig.doc;
            ASSERT_TRUE(rig.sim.SetFault({c.fault, 1}));
            OnVerifyMR(rig.ctx);
            ASSERT_EQ(rig.sink.messages.size(), 1u);
            if (!c.message.empty())
                EXPECT_EQ(rig.sink.messages[0], c.message);
            else  // the read's own message
                EXPECT_EQ(rig.sink.messages[0].find("The MR holds"), std::string::npos) << rig.sink.messages[0];
            EXPECT_EQ(rig.doc.image, before.image);
            EXPECT_EQ(rig.doc.record, before.record);
            EXPECT_EQ(rig.host.panelUpdates, 0);
            EXPECT_EQ(rig.sim.Memory().imageWrites, 0);
        }
    }
}

}  // namespace
