// Write into MR and Read from MR over the keyboard port, against the
// simulated controller (direct access) and the simulated driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/kb/kbio.h"
#include "device/transfer.h"
#include "sim/kb_reader.h"
#include "tests/device/com_test_support.h"

namespace {

struct Ps2Rig {
    explicit Ps2Rig(int platformId) : platform(memory, platformId)
    {
        EXPECT_EQ(kb.Open(), CKBIO::OpenResult::Ok);
        doc.record.formatFields[0].text = "K";
        doc.record.formatFields[0].enabled = 1;
        doc.record.outputDelay = 9;
    }
    bool MemoryHoldsDocument() const
    {
        return memory.Image() == doc.image && memory.Trailer() == doc.imageTrailer;
    }
    SimReaderMemory memory;
    SimKbPlatform platform;
    CKBIO kb{platform};
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindPS2, false, nullptr, &kb, nullptr};
};

const std::vector<std::string> writingNotices{msg::ps2Writing, ""};
const std::vector<std::string> readingNotices{msg::ps2Reading, ""};

TEST(Ps2Write, DirectAccessWritesThreeBlocksWithWaits)
{
    Ps2Rig rig(kbPlatformDirect);
    rig.platform.controller.masterMask = 0x80;
    rig.platform.controller.slaveMask = 0x01;
    WriteOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
    EXPECT_TRUE(rig.MemoryHoldsDocument());
    EXPECT_EQ(rig.memory.Image()[imageOffset::outputDelay], 9);
    EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{200, 200, 200}));
    EXPECT_EQ(rig.host.busyNotices, writingNotices);
    EXPECT_EQ(rig.host.redraws, 1);
    // One handshake by the procedure and one inside each block write.
    int identifies = 0;
    for (const auto& b : rig.platform.reader.line)
        identifies += b.fromHost && b.value == kbByte::identify;
    EXPECT_EQ(identifies, 4);
    EXPECT_EQ(rig.platform.controller.unmaskedSends, 0);
    EXPECT_EQ(rig.platform.controller.masterMask, 0x80);
    EXPECT_EQ(rig.platform.controller.slaveMask, 0x01);
}

TEST(Ps2Write, DriverAccessHasNoWaits)
{
    Ps2Rig rig(kbPlatformDriver);
    WriteOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
    EXPECT_TRUE(rig.MemoryHoldsDocument());
    EXPECT_TRUE(rig.sleeper.waits.empty());
    EXPECT_EQ(rig.platform.driver.requests,
              (std::vector<SimKbDriver::Request>{{2, 0}, {3, 61}, {3, 62}, {3, 63}}));
}

TEST(Ps2Write, DetectionFailures)
{
    Ps2Rig refused(kbPlatformDriver);
    refused.platform.driver.refuse = true;
    WriteOverPS2(refused.ctx);
    EXPECT_EQ(refused.sink.messages, std::vector<std::string>{msg::ps2WriteNoDriver});
    EXPECT_TRUE(refused.host.busyNotices.empty());

    Ps2Rig silent(kbPlatformDriver);
    silent.platform.driver.silent = true;
    WriteOverPS2(silent.ctx);
    EXPECT_EQ(silent.sink.messages, std::vector<std::string>{msg::ps2WriteNotDetected});

    Ps2Rig absent(kbPlatformDirect);
    absent.platform.reader.answerLimit = 0;
    WriteOverPS2(absent.ctx);
    EXPECT_EQ(absent.sink.messages, std::vector<std::string>{msg::ps2WriteNotDetected});
    EXPECT_TRUE(absent.host.busyNotices.empty());

    // A platform with neither access method sends nothing and says so.
    Ps2Rig other(3);
    WriteOverPS2(other.ctx);
    EXPECT_EQ(other.sink.messages, std::vector<std::string>{msg::ps2WriteNoDriver});
    EXPECT_EQ(other.memory.imageWrites, 0);

    Ps2Rig panel(kbPlatformDriver);
    panel.host.acceptPanel = false;
    WriteOverPS2(panel.ctx);
    EXPECT_TRUE(panel.sink.messages.empty());
    EXPECT_TRUE(panel.platform.driver.requests.empty());
}

TEST(Ps2Write, FailedBlockEndsTheWriteThenReportsError)
{
    Ps2Rig rig(kbPlatformDriver);
    rig.platform.driver.failWrites[62] = 1;
    const std::vector<std::uint8_t> trailerBefore(rig.memory.Block(63), rig.memory.Block(63) + 32);
    WriteOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(rig.platform.driver.requests.size(), 3u);  // detect, 61, 62; never 63
    EXPECT_TRUE(std::equal(trailerBefore.begin(), trailerBefore.end(), rig.memory.Block(63)));
    EXPECT_TRUE(std::equal(rig.doc.image.begin(), rig.doc.image.begin() + 32, rig.memory.Block(61)));
    EXPECT_EQ(rig.host.busyNotices, writingNotices);
}

TEST(Ps2Read, DirectAccessReadsBothBlocks)
{
    Ps2Rig rig(kbPlatformDirect);
    ConfigImage image = DefaultImage();
    image[imageOffset::outputDelay] = 0x21;
    rig.memory.SetImage(image);
    ReadOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::readingOk});
    EXPECT_EQ(rig.doc.image, image);
    EXPECT_EQ(rig.doc.record.outputDelay, 0x21);
    EXPECT_EQ(rig.host.panelUpdates, 1);
    EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{200, 200}));
    EXPECT_EQ(rig.host.busyNotices, readingNotices);
    EXPECT_EQ(rig.host.redraws, 1);
}

TEST(Ps2Read, Block61OnThirdTryBlock62NeverThenResetImage)
{
    Ps2Rig rig(kbPlatformDriver);
    rig.platform.driver.failReads[61] = 2;
    rig.platform.driver.failReads[62] = -1;
    rig.doc.image[5] = 0x12;
    const TemplateRecord before = rig.doc.record;
    ReadOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{"Data Read Error, Count=62"});
    EXPECT_EQ(rig.sleeper.waits, std::vector<int>(3 + 5, 200));
    EXPECT_EQ(rig.doc.image, DefaultImage());
    EXPECT_EQ(rig.doc.imageTrailer, DefaultTrailer());
    EXPECT_EQ(rig.doc.record, before);
    EXPECT_EQ(rig.host.busyNotices, readingNotices);
    EXPECT_EQ(rig.host.panelUpdates, 0);
}

TEST(Ps2Read, DetectionFailuresUseTheReadTexts)
{
    Ps2Rig refused(kbPlatformDriver);
    refused.platform.driver.refuse = true;
    ReadOverPS2(refused.ctx);
    EXPECT_EQ(refused.sink.messages, std::vector<std::string>{msg::ps2ReadNoDriver});

    Ps2Rig silent(kbPlatformDriver);
    silent.platform.driver.silent = true;
    ReadOverPS2(silent.ctx);
    EXPECT_EQ(silent.sink.messages, std::vector<std::string>{msg::ps2ReadNotDetected});
    EXPECT_TRUE(silent.host.busyNotices.empty());
}

TEST(Ps2Transfers, ReaderFallingSilentMidBlockEndsInMessages)
{
    Ps2Rig write(kbPlatformDirect);
    // Detection by the procedure (11 host bytes answered), then silence in block 61.
    write.platform.reader.answerLimit = 1 + 1 + 3 + 20;
    WriteOverPS2(write.ctx);
    EXPECT_EQ(write.sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(write.host.busyNotices, writingNotices);
    EXPECT_EQ(write.platform.controller.masterMask, 0xB8);

    Ps2Rig read(kbPlatformDirect);
    // Silent from the block's high offset byte on: the time-outs must not
    // pass for a block of zeros.
    read.platform.reader.answerLimit = 1 + 1 + 2;
    ReadOverPS2(read.ctx);
    EXPECT_EQ(read.sink.messages, std::vector<std::string>{"Data Read Error, Count=61"});
    EXPECT_EQ(read.sleeper.waits, std::vector<int>{200}) << "a silent reader is not asked again";
    EXPECT_EQ(read.doc.image, DefaultImage());
}

// The keyboard port as Linux reaches it: our driver layer over the raw serio
// stream, with the simulated reader on a clock of its own. Spent() adds up
// what a command spent in read time-outs and waits.
class StreamPlatform : public IKbPlatform {
public:
    explicit StreamPlatform(std::unique_ptr<IKbDriver> driver) : m_driver(std::move(driver)) {}
    bool QueryPlatformId(int& id) override
    {
        id = kbPlatformDriver;
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override { return std::move(m_driver); }
    IKbPorts* Ports() override { return nullptr; }

private:
    std::unique_ptr<IKbDriver> m_driver;
};

struct SerioRig {
    SerioRig()
    {
        auto owned = std::make_unique<SimKbStream>(reader);
        stream = owned.get();
        platform = std::make_unique<StreamPlatform>(std::make_unique<KbLineDriver>(std::move(owned), &sleeper));
        kb = std::make_unique<CKBIO>(*platform);
        EXPECT_EQ(kb->Open(), CKBIO::OpenResult::Ok);
        ctx.kb = kb.get();
        sleeper.onSleep = [this](int ms) { stream->Advance(ms); };
        doc.record.formatFields[0].text = "S";
        doc.record.formatFields[0].enabled = 1;
        doc.record.outputDelay = 17;
    }
    long long Spent() const { return stream->nowMs; }
    bool MemoryHoldsDocument() const { return memory.Image() == doc.image && memory.Trailer() == doc.imageTrailer; }

    SimReaderMemory memory;
    SimKbReader reader{memory};
    SimKbStream* stream = nullptr;
    RecordingSleeper sleeper;
    std::unique_ptr<StreamPlatform> platform;
    std::unique_ptr<CKBIO> kb;
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    TransferContext ctx{doc, host, sink, sleeper, portKindPS2};
};

// After each block the reader is left 200 ms to store it, so a reader that
// is busy storing (silent, or answering late) meanwhile takes every block.
TEST(Ps2Serio, WriteLeavesTheReaderTimeToStoreEachBlock)
{
    for (bool late : {false, true}) {
        SCOPED_TRACE(late ? "busy reader answers late" : "busy reader is silent");
        SerioRig rig;
        rig.stream->busyMs = 150;
        rig.stream->busyAnswersLate = late;
        WriteOverPS2(rig.ctx);
        EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
        EXPECT_TRUE(rig.MemoryHoldsDocument());
        EXPECT_EQ(rig.reader.blockWrites, 3);
        EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{200, 200, 200}));
        EXPECT_EQ(rig.stream->lostBytes, 0);
    }
}

// Slow but working readers are written and read within the protocol's
// patience: one that starts its identity 100 ms after acknowledging 0xE9,
// and one that ignores the line for 300 ms in the middle of a block (the
// bytes sent meanwhile are lost) and then answers again.
TEST(Ps2Serio, SlowButWorkingReadersAreWrittenAndRead)
{
    struct Case {
        const char* name;
        int identifyDelayMs, stallAfterHostBytes;
    };
    // A write's host bytes: the procedure's identify, then per block an
    // identify, the command and offset (4) and 66 nibble bytes.
    const Case cases[] = {
        {"identity 100 ms late", 100, -1},
        {"300 ms stall in block 61", 0, 1 + 4 + 30},
        {"300 ms stall in block 62", 0, 1 + 70 + 4 + 50},
        {"300 ms stall at block 63's offset", 0, 1 + 70 + 70 + 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SerioRig rig;
        rig.stream->identifyDelayMs = c.identifyDelayMs;
        rig.stream->stallAfterHostBytes = c.stallAfterHostBytes;
        rig.stream->stallMs = 300;
        WriteOverPS2(rig.ctx);
        EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
        EXPECT_TRUE(rig.MemoryHoldsDocument());
        EXPECT_EQ(rig.reader.blockWrites, 3);
        EXPECT_EQ(rig.stream->lostBytes > 0, c.stallAfterHostBytes >= 0);

        rig.doc.image = DefaultImage();
        ReadOverPS2(rig.ctx);
        EXPECT_EQ(rig.sink.messages.back(), msg::readingOk);
        EXPECT_EQ(rig.memory.Image(), rig.doc.image);
    }
}

// What waits on the line before a request is not the reader's answer:
// keystrokes before every request, and a reply that came too late for its
// block write.
TEST(Ps2Serio, StrayBytesAndLateAnswersAreDropped)
{
    SerioRig rig;
    rig.stream->Inject({0x1C, 0xF0, 0x1C});
    rig.sleeper.onSleep = [&](int ms) {
        rig.stream->Advance(ms);
        rig.stream->Inject({0xD6, 0xFA, 0xDA});
    };
    WriteOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages.back(), msg::writingOk);
    EXPECT_TRUE(rig.MemoryHoldsDocument());
    rig.memory.SetImage(DefaultImage());
    ReadOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages.back(), msg::readingOk);
    EXPECT_EQ(rig.doc.image, DefaultImage());

    // A reply that comes once the block is stored, within 250 ms, is waited for.
    SerioRig slow;
    slow.stream->writeReplyDelayMs = 240;
    WriteOverPS2(slow.ctx);
    EXPECT_EQ(slow.sink.messages, std::vector<std::string>{msg::writingOk});

    // Later than that the block counts as failed, and its late reply must
    // not be taken for the answer to the next request.
    SerioRig late;
    late.stream->writeReplyDelayMs = 300;
    WriteOverPS2(late.ctx);
    EXPECT_EQ(late.sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(late.reader.blockWrites, 1);
    late.stream->writeReplyDelayMs = 0;
    late.doc.image = DefaultImage();
    ReadOverPS2(late.ctx);
    EXPECT_EQ(late.sink.messages.back(), msg::readingOk);
    EXPECT_EQ(late.memory.Image(), late.doc.image);
}

// A reader that stops answering at any point ends the command within 5 s
// of time-outs and waits, with one of the commands' messages; a byte left
// unacknowledged ends its block at once.
TEST(Ps2Serio, ReaderFallingSilentAnywhereEndsWithinFiveSeconds)
{
    const std::vector<std::string> writeEnds{msg::writingError, msg::ps2WriteNotDetected};
    const std::vector<std::string> readEnds{"Data Read Error, Count=61", "Data Read Error, Count=62",
                                            msg::ps2ReadNotDetected};
    // A write sends about 210 host bytes, a read takes about 170 bytes.
    for (int limit = 0; limit < 210; limit += 7) {
        SCOPED_TRACE("silent after host byte " + std::to_string(limit));
        SerioRig write;
        write.reader.answerLimit = limit;
        WriteOverPS2(write.ctx);
        ASSERT_EQ(write.sink.messages.size(), 1u);
        EXPECT_THAT(writeEnds, testing::Contains(write.sink.messages.front()));
        EXPECT_LE(write.Spent(), 5000);
    }
    for (int limit = 0; limit < 170; limit += 5) {
        SCOPED_TRACE("silent after reader byte " + std::to_string(limit));
        SerioRig read;
        read.reader.sendLimit = limit;
        const TemplateRecord before = read.doc.record;
        ReadOverPS2(read.ctx);
        ASSERT_EQ(read.sink.messages.size(), 1u);
        EXPECT_THAT(readEnds, testing::Contains(read.sink.messages.front()));
        EXPECT_LE(read.Spent(), 5000);
        EXPECT_EQ(read.doc.record, before) << "a failed read keeps the record";
    }

    SerioRig rig;
    rig.reader.silentInWriteAfter = 10;  // five data bytes into block 61
    WriteOverPS2(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingError});
    EXPECT_EQ(rig.host.busyNotices, writingNotices);
    EXPECT_LE(rig.Spent(), 5000);
    // The eleventh nibble byte went unanswered 99 times; nothing of the
    // block came after it.
    int sent = 0;
    for (const auto& b : rig.reader.line)
        sent += b.fromHost && b.value >= kbByte::nibbleBase && b.value <= kbByte::nibbleBase + 0x0F;
    EXPECT_EQ(sent, 10 + kbProtocol::ackTries);
    // Nothing more in that command: no identify, no next block.
    ASSERT_TRUE(rig.reader.line.back().fromHost);
    EXPECT_EQ(rig.reader.line.back().value & 0xF0, kbByte::nibbleBase);
}

}  // namespace
