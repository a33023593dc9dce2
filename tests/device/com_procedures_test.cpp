// Write into MR and Read from MR over the serial link, against the simulated
// reader on a real pseudo-terminal. Waits are recorded, never spent.
#include <gtest/gtest.h>

#include "device/com/com_reply.h"
#include "tests/device/com_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A template unlike the default in its options, so a read visibly changes the record.
TemplateRecord OtherRecord()
{
    TemplateRecord r;
    r.trackEnabled = {1, 0, 1};
    r.errorMode = 1;
    r.longBeepOnGoodRead = 1;
    r.baudIndex = 3;
    r.outputDelay = 77;
    r.oposMode = 1;
    return r;
}

ConfigImage ImageOf(const TemplateRecord& r)
{
    ConfigImage image = DefaultImage();
    EncodeImage(r, image);
    return image;
}

class ComWrite : public ::testing::Test {
protected:
    SerialRig rig;
};

TEST_F(ComWrite, SendsTheEncodedImageAndTheReaderTakesIt)
{
    rig.doc.record = OtherRecord();
    OnWriteIntoMR(rig.ctx);

    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
    EXPECT_EQ(rig.doc.image, ImageOf(OtherRecord()));
    Bytes expected = CommandFrame(0xE7);
    const Bytes frame = DataFrame(rig.doc.image);
    expected.insert(expected.end(), frame.begin(), frame.end());
    const Bytes end = CommandFrame(0xE8);
    expected.insert(expected.end(), end.begin(), end.end());
    ASSERT_EQ(expected.size(), 150u);
    EXPECT_EQ(rig.sim.Received(), expected);
    EXPECT_EQ(rig.memory.Image(), rig.doc.image);
    EXPECT_EQ(rig.memory.imageWrites, 1);
    EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{100, 10, 100, 100}));
    EXPECT_EQ(rig.host.panelReads, 1);
    EXPECT_EQ(rig.host.redraws, 1);
    EXPECT_FALSE(rig.com.IsOpen());
}

TEST_F(ComWrite, TheWaitsSeparateTheFramesAsTheReaderExpects)
{
    // What the reader has received at each wait: nothing, the 0xE7 command,
    // the data frame, the end command.
    std::vector<std::size_t> seen;
    rig.sleeper.onSleep = [this, &seen](int) {
        rig.sim.Pump();
        seen.push_back(rig.sim.Received().size());
    };
    OnWriteIntoMR(rig.ctx);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 5, 145, 150}));
}

TEST_F(ComWrite, AnAbsentReaderStillReportsSuccess)
{
    rig.sleeper.onSleep = nullptr;  // nobody reads the line
    OnWriteIntoMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
}

TEST_F(ComWrite, ARefusedPanelValueEndsTheWriteBeforeAnything)
{
    rig.host.acceptPanel = false;
    rig.doc.record = OtherRecord();
    const ConfigImage before = rig.doc.image;
    OnWriteIntoMR(rig.ctx);
    EXPECT_TRUE(rig.sink.messages.empty());
    EXPECT_EQ(rig.doc.image, before);
    EXPECT_TRUE(rig.sleeper.waits.empty());
    rig.sim.Pump();
    EXPECT_TRUE(rig.sim.Received().empty());
}

TEST_F(ComWrite, APortHeldElsewhereCannotBeOpened)
{
    CComPort holder(rig.Backend());
    ASSERT_TRUE(holder.OpenPort(SerialRig::comNumber));
    OnWriteIntoMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::cantOpenComPort});
    EXPECT_TRUE(rig.sleeper.waits.empty());
    EXPECT_EQ(rig.host.redraws, 1);
}

TEST_F(ComWrite, WithoutAReadyPortOnlyTheNoPortMessageIsShown)
{
    rig.ctx.comPortReady = false;
    rig.doc.record = OtherRecord();
    const ConfigImage before = rig.doc.image;
    OnWriteIntoMR(rig.ctx);
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, (std::vector<std::string>{msg::noComPortOpened, msg::noComPortOpened}));
    EXPECT_EQ(rig.doc.image, before);
    EXPECT_EQ(rig.host.panelReads, 0);
    rig.sim.Pump();
    EXPECT_TRUE(rig.sim.Received().empty());
}

// CTS held low for good: every write times out.
TEST(ComWriteStuckLine, AWriteThatTimesOutIsAWritingError)
{
    auto line = std::make_shared<FakeLine>();
    line->failWritesFrom = 0;
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindCOM1, true, &com, nullptr, nullptr};

    OnWriteIntoMR(ctx);
    EXPECT_EQ(sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(sleeper.waits, (std::vector<int>{100, 100, 100}));
    // The command frame and the end frame were tried; the data frame never.
    ASSERT_EQ(line->writes.size(), 2u);
    EXPECT_EQ(line->writes[0], CommandFrame(0xE7));
    EXPECT_EQ(line->writes[1], CommandFrame(0xE8));
    EXPECT_EQ(line->closes, 1);
    EXPECT_FALSE(line->open);
}

TEST(ComWriteStuckLine, ADataFrameThatTimesOutIsAWritingError)
{
    auto line = std::make_shared<FakeLine>();
    line->failWritesFrom = 1;
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindCOM1 + 4, true, &com, nullptr, nullptr};
    SetComDeviceOverride(5, "/dev/line-five");

    OnWriteIntoMR(ctx);
    EXPECT_EQ(sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(sleeper.waits, (std::vector<int>{100, 10, 100, 100}));
    EXPECT_EQ(line->opened, std::vector<std::string>{"/dev/line-five"});
    ASSERT_EQ(line->writes.size(), 3u);
    EXPECT_EQ(line->writes[1].size(), 140u);
    ClearComDeviceOverrides();
}

TEST(ComWriteStuckLine, TheRealLineWithCtsLowFailsTheWrite)
{
    SerialRig rig;
    rig.com.SetWriteTimeout(50);
    rig.sim.SetHoldCts(true);
    OnWriteIntoMR(rig.ctx);
    rig.sim.SetHoldCts(false);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(rig.memory.imageWrites, 0);
}

class ComRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.memory.SetImage(ImageOf(OtherRecord()));
        // The document holds a non-default image and record that a failed read must keep.
        rig.doc.image = PatternImage(5);
        rig.doc.record.errorMode = 1;
        rig.doc.record.outputDelay = 9;
        imageBefore = rig.doc.image;
        recordBefore = rig.doc.record;
    }

    // The reader stays silent and these bytes arrive during the 250 ms wait instead.
    void AnswerWith(const Bytes& reply)
    {
        rig.sim.SetFaults({.silent = true});
        rig.sleeper.onSleep = [this, reply](int ms) {
            rig.sim.Pump();
            if (ms == 250)
                rig.sim.Swipe(reply);
        };
    }

    void ExpectUnchanged()
    {
        EXPECT_EQ(rig.doc.image, imageBefore);
        EXPECT_EQ(rig.doc.record, recordBefore);
        EXPECT_EQ(rig.host.panelUpdates, 0);
    }

    Bytes GoodReply() const { return SimSerialReader::BuildReply(ImageOf(OtherRecord())); }

    SerialRig rig;
    ConfigImage imageBefore{};
    TemplateRecord recordBefore;
};

TEST_F(ComRead, TakesTheReadersImageAndShowsIt)
{
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::readingOk});
    EXPECT_EQ(rig.doc.image, rig.memory.Image());
    TemplateRecord expected;
    DecodeImage(rig.memory.Image(), expected);
    EXPECT_EQ(rig.doc.record, expected);
    EXPECT_EQ(rig.host.panelUpdates, 1);
    EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{100, 250, 100}));
    EXPECT_EQ(rig.sim.Received(), CommandFrame(0xE6));
    EXPECT_FALSE(rig.com.IsOpen());
}

TEST_F(ComRead, AllFFWithTrailingZerosIsAccepted)
{
    ConfigImage ff;
    ff.fill(0xFF);
    Bytes reply = SimSerialReader::BuildReply(ff);
    ASSERT_EQ(reply.size(), 132u);
    reply.insert(reply.end(), 10, 0x00);
    AnswerWith(reply);
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::readingOk});
    EXPECT_EQ(rig.doc.image, ff);
}

TEST_F(ComRead, NoAnswerIsAWrongPacket)
{
    rig.sim.SetFaults({.silent = true});
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::wrongPacket});
    ExpectUnchanged();
}

TEST_F(ComRead, AnAnswerAfterTheWaitIsAWrongPacket)
{
    rig.sim.SetFaults({.lateMs = 60000});
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::wrongPacket});
    ExpectUnchanged();
}

TEST_F(ComRead, OnlyZeroBytesAreAWrongPacket)
{
    AnswerWith(Bytes(40, 0x00));
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::wrongPacket});
    ExpectUnchanged();
}

TEST_F(ComRead, AReplyNotEndingInTheEndMarkerIsAWrongPacket)
{
    Bytes reply = GoodReply();
    reply.back() = 0x30;
    reply.insert(reply.end(), 4, 0x00);
    AnswerWith(reply);
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::wrongPacket});
    ExpectUnchanged();
}

TEST_F(ComRead, AMissingStartMarkerIsAReadingError)
{
    Bytes reply = GoodReply();
    reply.front() = 0x30;
    AnswerWith(reply);
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::comReadingError});
    ExpectUnchanged();
}

TEST_F(ComRead, AWrongCheckByteIsAReadingErrorAndChangesNothing)
{
    rig.sim.SetFaults({.garbleIndex = 7});
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::comReadingError});
    ExpectUnchanged();
}

TEST_F(ComRead, AShortReplyIsAReadingErrorWhateverAnEarlierReadLeft)
{
    // A full read first, so a receive buffer kept between reads would hold a good reply.
    OnReadFromMR(rig.ctx);
    ASSERT_EQ(rig.sink.messages, std::vector<std::string>{msg::readingOk});
    rig.sink.messages.clear();
    rig.doc.image = imageBefore;
    rig.doc.record = recordBefore;
    rig.host.panelUpdates = 0;

    Bytes reply = GoodReply();
    reply.resize(127);
    reply.push_back(0xEE);  // 128 bytes ending in the end marker
    AnswerWith(reply);
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::comReadingError});
    ExpectUnchanged();
}

TEST_F(ComRead, APortHeldElsewhereCannotBeOpened)
{
    CComPort holder(rig.Backend());
    ASSERT_TRUE(holder.OpenPort(SerialRig::comNumber));
    OnReadFromMR(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::cantOpenComPort});
    EXPECT_TRUE(rig.sleeper.waits.empty());
    ExpectUnchanged();
}

// The reply checks on their own, for placements the reader never produces.
TEST(ComReplyCheck, TheStartMarkerMayFollowUpToTwentyOtherBytes)
{
    const ConfigImage image = PatternImage(11);
    const Bytes good = SimSerialReader::BuildReply(image);
    for (int lead : {0, 1, 20}) {
        std::array<std::uint8_t, 180> buffer{};
        std::fill_n(buffer.begin(), lead, 0x41);
        std::copy(good.begin(), good.end(), buffer.begin() + lead);
        ConfigImage got{};
        EXPECT_EQ(CheckComReply(buffer.data(), lead + 132, got), ComReply::Accepted) << lead;
        EXPECT_EQ(got, image) << lead;
    }
}

TEST(ComReplyCheck, AReplyCutShortByTheSearchWindowIsRejected)
{
    // With the start marker at position 21 only 64 bytes fit before position
    // 150; an image whose bytes XOR to zero would pass the check byte test.
    ConfigImage image{};
    image[0] = 0x12;
    image[1] = 0x12;
    const Bytes good = SimSerialReader::BuildReply(image);
    std::array<std::uint8_t, 180> buffer{};
    std::fill_n(buffer.begin(), 21, 0x41);
    std::copy(good.begin(), good.end(), buffer.begin() + 21);
    ConfigImage got = PatternImage(3);
    EXPECT_EQ(CheckComReply(buffer.data(), 21 + 132, got), ComReply::Rejected);
    EXPECT_EQ(got, PatternImage(3));
}

TEST(ComReplyCheck, OnlyTheLowFourBitsOfACharacterCount)
{
    const ConfigImage image = PatternImage(1);
    Bytes reply = SimSerialReader::BuildReply(image);
    for (std::size_t i = 1; i + 1 < reply.size(); ++i)
        reply[i] = static_cast<std::uint8_t>((reply[i] & 0x0F) | 0x40);
    std::array<std::uint8_t, 180> buffer{};
    std::copy(reply.begin(), reply.end(), buffer.begin());
    ConfigImage got{};
    EXPECT_EQ(CheckComReply(buffer.data(), 132, got), ComReply::Accepted);
    EXPECT_EQ(got, image);
}

}  // namespace
