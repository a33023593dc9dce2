// The keyboard-port link against the simulated controller, stream and driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#include <fstream>

#include <sys/socket.h>
#include <unistd.h>

#include "device/kb/kb_serio.h"
#include "tests/scratch_dir.h"
#endif
#include "device/kb/kbio.h"
#include "sim/kb_reader.h"

namespace {

using LineByte = SimKbReader::LineByte;

struct DirectRig {
    DirectRig() { EXPECT_EQ(kb.Open(), CKBIO::OpenResult::Ok); }
    SimReaderMemory memory;
    SimKbPlatform platform{memory, kbPlatformDirect};
    SimKbReader& reader = platform.reader;
    SimKbController& controller = platform.controller;
    CKBIO kb{platform};
};

struct DriverRig {
    DriverRig() { EXPECT_EQ(kb.Open(), CKBIO::OpenResult::Ok); }
    SimReaderMemory memory;
    SimKbPlatform platform{memory, kbPlatformDriver};
    SimKbDriver& driver = platform.driver;
    CKBIO kb{platform};
};

void FillBuffer(CKBIO& kb, std::uint8_t seed)
{
    for (int i = 0; i < kbBlockSize; ++i)
        kb.blockBuffer[i] = static_cast<std::uint8_t>(seed + 29 * i);
}

TEST(KbLinkOpen, PlatformAndDriverOutcomes)
{
    SimReaderMemory memory;
    SimKbPlatform direct(memory, kbPlatformDirect);
    CKBIO a(direct);
    EXPECT_EQ(a.Open(), CKBIO::OpenResult::Ok);
    EXPECT_EQ(a.PlatformId(), kbPlatformDirect);
    EXPECT_EQ(direct.driverOpens, 0);

    SimKbPlatform noVersion(memory, kbPlatformDriver);
    noVersion.versionFails = true;
    CKBIO b(noVersion);
    EXPECT_EQ(b.Open(), CKBIO::OpenResult::NoSystemInfo);
    EXPECT_EQ(noVersion.driverOpens, 0);

    SimKbPlatform noDriver(memory, kbPlatformDriver);
    noDriver.driverMissing = true;
    CKBIO c(noDriver);
    EXPECT_EQ(c.Open(), CKBIO::OpenResult::NoDriver);
    EXPECT_EQ(c.DetectReaderByDriver(), 2);

    RecordingMessageSink sink;
    EXPECT_TRUE(ReportKbOpen(CKBIO::OpenResult::Ok, sink));
    EXPECT_FALSE(ReportKbOpen(CKBIO::OpenResult::NoSystemInfo, sink));
    EXPECT_FALSE(ReportKbOpen(CKBIO::OpenResult::NoDriver, sink));
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Get wrong system information\nExit.Then, try again please",
                                                       "Can't open the KB driver"}));
}

TEST(KbLinkDirect, IdentifyAnswerFifthByteAndUpperNibbles)
{
    struct Case {
        std::uint8_t fifth;
        bool garbage;
        int expected;
    };
    for (const Case& c : {Case{0x00, false, 1}, Case{0x01, false, 0}, Case{0xFA, false, 0}, Case{0xFB, false, 1},
                          Case{0x37, true, 0}}) {
        SCOPED_TRACE(testing::Message() << "fifth byte " << int(c.fifth) << (c.garbage ? " with garbage" : ""));
        DirectRig rig;
        rig.reader.identityFifth = c.fifth;
        rig.reader.garbageUpper = c.garbage;
        EXPECT_EQ(rig.kb.DetectReader(), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(rig.kb.identity, (KbIdentity{0xD6, 0xAA, 0x5A, 0xFF, 0x55, c.fifth}));
        } else {
            // The first identify and one more after each of the nine refused answers.
            int identifies = 0;
            for (const LineByte& b : rig.reader.line)
                identifies += b.fromHost && b.value == kbByte::identify;
            EXPECT_EQ(identifies, 10);
        }
    }
}

TEST(KbLinkDirect, KeyboardThatNeverTakesAByteMeansNoReader)
{
    DirectRig rig;
    rig.controller.inputStuck = true;
    EXPECT_FALSE(rig.kb.WriteData(0xE9));
    EXPECT_EQ(rig.kb.DetectReader(), 1);
    EXPECT_EQ(rig.reader.hostBytes, 0);
    EXPECT_EQ(rig.kb.ReadData(), 0);
}

TEST(KbLinkDirect, WriteReplyMustOrToC0)
{
    DirectRig rig;
    FillBuffer(rig.kb, 3);
    EXPECT_TRUE(rig.kb.WriteMemoryBlock(61));
    EXPECT_TRUE(std::equal(rig.kb.blockBuffer.begin(), rig.kb.blockBuffer.begin() + kbBlockSize, rig.memory.Block(61)));

    rig.reader.writeReply = {0xC0, 0x01, 0x00};
    EXPECT_FALSE(rig.kb.WriteMemoryBlock(61));
    rig.reader.writeReply = {0x00, 0x00, 0x00};
    EXPECT_FALSE(rig.kb.WriteMemoryBlock(61));
    rig.reader.writeReply = {0x80, 0x00, 0x40};
    EXPECT_TRUE(rig.kb.WriteMemoryBlock(61));
}

TEST(KbLinkDirect, ReadChecksTheCheckByte)
{
    DirectRig rig;
    for (int i = 0; i < kbBlockSize; ++i)
        rig.memory.Block(62)[i] = static_cast<std::uint8_t>(0xC3 ^ i);
    rig.reader.failReads[62] = 1;
    EXPECT_FALSE(rig.kb.ReadMemoryBlock(62));
    ASSERT_TRUE(rig.kb.ReadMemoryBlock(62));
    EXPECT_TRUE(std::equal(rig.kb.blockBuffer.begin(), rig.kb.blockBuffer.begin() + kbBlockSize, rig.memory.Block(62)));
}

// The host bytes that follow the identify handshake.
std::vector<std::uint8_t> HostBytesAfterIdentify(const SimKbReader& reader)
{
    std::vector<std::uint8_t> out;
    bool started = false;
    for (const LineByte& b : reader.line) {
        if (b.fromHost && b.value == kbByte::identify) {
            started = true;
            continue;
        }
        if (started && b.fromHost)
            out.push_back(b.value);
    }
    return out;
}

TEST(KbLinkDirect, OffsetBytesOfBlock63)
{
    DirectRig rig;
    FillBuffer(rig.kb, 0);
    EXPECT_TRUE(rig.kb.WriteMemoryBlock(63));
    const std::vector<std::uint8_t> host = HostBytesAfterIdentify(rig.reader);
    ASSERT_GE(host.size(), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(host.begin(), host.begin() + 3), (std::vector<std::uint8_t>{0xE7, 0xE0, 0x07}));

    DirectRig read;
    EXPECT_TRUE(read.kb.ReadMemoryBlock(63));
    EXPECT_EQ(HostBytesAfterIdentify(read.reader), (std::vector<std::uint8_t>{0xE6, 0xE0, 0x07}));
}

TEST(KbLinkDirect, BytesOnTheLineForOneWriteOfBlock61)
{
    DirectRig rig;
    FillBuffer(rig.kb, 0x4E);

    // Written out independently: every host byte is answered with 0xFA.
    std::vector<LineByte> expected;
    auto host = [&](std::uint8_t b) {
        expected.push_back({true, b});
        expected.push_back({false, 0xFA});
    };
    auto reader = [&](std::uint8_t b) { expected.push_back({false, b}); };
    host(0xE9);
    reader(0xD6);
    for (std::uint8_t b : {0xAA, 0x5A, 0xFF, 0x55, 0x01}) {
        reader(static_cast<std::uint8_t>(0xD0 | b >> 4));
        reader(static_cast<std::uint8_t>(0xD0 | (b & 0x0F)));
    }
    host(0xE7);
    host(0xA0);
    host(0x07);
    std::uint8_t check = 0;
    for (int i = 0; i < kbBlockSize; ++i) {
        const std::uint8_t b = rig.kb.blockBuffer[i];
        host(static_cast<std::uint8_t>(0xD0 + (b & 0x0F)));
        host(static_cast<std::uint8_t>(0xD0 + (b >> 4)));
        check ^= b;
    }
    host(static_cast<std::uint8_t>(0xD0 + (check & 0x0F)));
    host(static_cast<std::uint8_t>(0xD0 + (check >> 4)));
    reader(0x40);
    reader(0x80);
    reader(0x00);

    EXPECT_TRUE(rig.kb.WriteMemoryBlock(61));
    EXPECT_EQ(rig.reader.line, expected);
    EXPECT_EQ(expected[19], (LineByte{true, 0xDE}));  // low nibble of 0x4E first
    EXPECT_EQ(expected[21], (LineByte{true, 0xD4}));
}

TEST(KbLinkDirect, MasksRestoredAsTheyWere)
{
    DirectRig rig;
    rig.controller.masterMask = 0xA4;
    rig.controller.slaveMask = 0x03;
    rig.kb.MaskInterrupts();
    EXPECT_EQ(rig.controller.masterMask, 0xA4 | 0x1A);
    EXPECT_EQ(rig.controller.slaveMask, 0x03 | 0x10);
    EXPECT_EQ(rig.kb.DetectReader(), 0);
    rig.kb.UnmaskInterrupts();
    EXPECT_EQ(rig.controller.masterMask, 0xA4);
    EXPECT_EQ(rig.controller.slaveMask, 0x03);
    EXPECT_EQ(rig.controller.unmaskedSends, 0);
}

TEST(KbLinkDirect, ReaderFallingSilentMidBlockFailsInBoundedTime)
{
    DirectRig rig;
    rig.reader.answerLimit = 1 + 3 + 10;  // identify, command and offset, five data bytes
    FillBuffer(rig.kb, 9);
    EXPECT_FALSE(rig.kb.WriteMemoryBlock(61));
    EXPECT_EQ(rig.reader.blockWrites, 0);
    // No byte more than the retries allow: 99 sends for each unanswered byte.
    EXPECT_LE(rig.reader.hostBytes, 14 + 99 * (66 - 10));
    EXPECT_FALSE(rig.kb.ReadMemoryBlock(61));

    // Identified, then silent: 78 time-outs would make a block of zeros
    // whose check holds.
    DirectRig quiet;
    quiet.reader.answerLimit = 1;
    quiet.memory.Block(61)[0] = 0x00;
    EXPECT_EQ(quiet.kb.DetectReader(), 0);
    quiet.reader.answerLimit = 2;
    EXPECT_FALSE(quiet.kb.ReadMemoryBlock(61));
}

TEST(KbLinkDriver, DetectionResults)
{
    DriverRig rig;
    EXPECT_EQ(rig.kb.DetectReaderByDriver(), 0);
    EXPECT_EQ(rig.kb.identity, (KbIdentity{0xD6, 0xAA, 0x5A, 0xFF, 0x55, 0x01}));
    rig.driver.silent = true;
    EXPECT_EQ(rig.kb.DetectReaderByDriver(), 1);  // zero bytes: no reader, not a refusal
    rig.driver.refuse = true;
    EXPECT_EQ(rig.kb.DetectReaderByDriver(), 2);
}

TEST(KbLinkDriver, BlockRequestsCarryNumberOperationAndData)
{
    DriverRig rig;
    FillBuffer(rig.kb, 0x11);
    ASSERT_TRUE(rig.kb.WriteMemoryBlockByDriver(63));
    EXPECT_TRUE(std::equal(rig.kb.blockBuffer.begin(), rig.kb.blockBuffer.begin() + kbBlockSize, rig.memory.Block(63)));
    rig.kb.blockBuffer.fill(0);
    ASSERT_TRUE(rig.kb.ReadMemoryBlockByDriver(63));
    EXPECT_TRUE(std::equal(rig.kb.blockBuffer.begin(), rig.kb.blockBuffer.begin() + kbBlockSize, rig.memory.Block(63)));
    EXPECT_EQ(rig.driver.requests, (std::vector<SimKbDriver::Request>{{3, 63}, {1, 63}}));

    rig.driver.failReads[61] = 1;
    EXPECT_FALSE(rig.kb.ReadMemoryBlockByDriver(61));
    EXPECT_TRUE(rig.kb.ReadMemoryBlockByDriver(61));
}

TEST(KbLinkDriver, DirectOperationsNeverTouchPortsUnderDriverAccess)
{
    DriverRig rig;
    rig.kb.MaskInterrupts();
    EXPECT_EQ(rig.kb.DetectReader(), 1);
    rig.kb.UnmaskInterrupts();
    EXPECT_EQ(rig.platform.controller.statusReads, 0);
    EXPECT_EQ(rig.platform.reader.hostBytes, 0);
}

// Our driver layer over a byte stream: the same protocol as direct access.
struct StreamRig {
    StreamRig()
    {
        auto owned = std::make_unique<SimKbStream>(reader);
        stream = owned.get();
        driver = std::make_unique<KbLineDriver>(std::move(owned), &sleeper);
    }
    std::uint32_t Request(std::uint8_t operation, std::uint8_t block, bool& ok)
    {
        in[kbDriver::operationByte] = operation;
        in[kbDriver::blockNumberByte] = block;
        std::uint32_t returned = 99;
        ok = driver->Control(kbDriver::controlCode, in, sizeof in, out, sizeof out, returned);
        return returned;
    }
    SimReaderMemory memory;
    SimKbReader reader{memory};
    SimKbStream* stream = nullptr;
    RecordingSleeper sleeper;
    std::unique_ptr<KbLineDriver> driver;
    std::uint8_t in[48] = {};
    std::uint8_t out[48] = {};
};

TEST(KbLineDriver, ServesTheThreeOperations)
{
    StreamRig rig;
    bool ok = false;
    EXPECT_EQ(rig.Request(kbDriver::opIdentify, 0, ok), 48u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::vector<std::uint8_t>(rig.out, rig.out + 6), (std::vector<std::uint8_t>{0xD6, 0xAA, 0x5A, 0xFF, 0x55, 0x01}));

    for (int i = 0; i < 32; ++i)
        rig.in[i] = static_cast<std::uint8_t>(200 - i);
    EXPECT_EQ(rig.Request(kbDriver::opWrite, 62, ok), 48u);
    EXPECT_TRUE(std::equal(rig.in, rig.in + 32, rig.memory.Block(62)));
    EXPECT_EQ(rig.sleeper.waits, std::vector<int>{KbLineDriver::blockStoreWaitMs});

    EXPECT_EQ(rig.Request(kbDriver::opRead, 62, ok), 48u);
    EXPECT_TRUE(std::equal(rig.out, rig.out + 32, rig.memory.Block(62)));

    rig.reader.failReads[62] = 1;
    EXPECT_EQ(rig.Request(kbDriver::opRead, 62, ok), 0u);
    EXPECT_TRUE(ok);
}

TEST(KbLineDriver, SilentReaderAndBrokenStream)
{
    StreamRig rig;
    rig.reader.answerLimit = 0;
    bool ok = false;
    EXPECT_EQ(rig.Request(kbDriver::opIdentify, 0, ok), 0u);
    EXPECT_TRUE(ok);

    StreamRig broken;
    broken.stream->breakAfterWrites = 40;
    EXPECT_EQ(broken.Request(kbDriver::opWrite, 61, ok), 0u);
    EXPECT_FALSE(ok);

    std::uint32_t returned = 0;
    EXPECT_FALSE(rig.driver->Control(0x200, rig.in, 48, rig.out, 48, returned));
    EXPECT_FALSE(rig.driver->Control(kbDriver::controlCode, rig.in, 40, rig.out, 48, returned));
}

// A byte no device took ends the request at once as one without a reader;
// a stream that broke is opened again at the next request.
TEST(KbLineDriver, RefusedByteMeansNoReaderAndABrokenStreamIsReopened)
{
    struct RefusingStream : SimKbStream {
        using SimKbStream::SimKbStream;
        bool Write(std::uint8_t) override
        {
            ++writes;
            return false;
        }
        bool WriteRefused() const override { return true; }
        int writes = 0;
    };
    SimReaderMemory memory;
    SimKbReader reader{memory};
    auto refusing = std::make_unique<RefusingStream>(reader);
    RefusingStream* stream = refusing.get();
    RecordingSleeper sleeper;
    int reopens = 0;
    KbLineDriver driver(std::move(refusing), &sleeper, [&]() -> std::unique_ptr<IKbByteStream> {
        ++reopens;
        return std::make_unique<SimKbStream>(reader);
    });
    std::uint8_t in[48] = {}, out[48] = {};
    std::uint32_t returned = 99;
    in[kbDriver::operationByte] = kbDriver::opWrite;
    in[kbDriver::blockNumberByte] = 61;
    EXPECT_TRUE(driver.Control(kbDriver::controlCode, in, 48, out, 48, returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_TRUE(driver.ReaderLost());
    EXPECT_EQ(stream->writes, 1) << "one refused byte is enough";
    EXPECT_TRUE(sleeper.waits.empty()) << "no block was stored";
    EXPECT_EQ(reopens, 0);

    // The device went away: that call fails as a broken driver, the next
    // one works on the device opened again.
    StreamRig rig;
    auto breaking = std::make_unique<SimKbStream>(rig.reader);
    breaking->breakAfterWrites = 0;
    rig.driver = std::make_unique<KbLineDriver>(std::move(breaking), &rig.sleeper, [&]() -> std::unique_ptr<IKbByteStream> {
        ++reopens;
        return std::make_unique<SimKbStream>(rig.reader);
    });
    bool ok = true;
    EXPECT_EQ(rig.Request(kbDriver::opIdentify, 0, ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(rig.Request(kbDriver::opIdentify, 0, ok), 48u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reopens, 1);
}

#ifndef _WIN32
// serio_rawN counts up at every bind: the node bound to the keyboard port
// comes from sysfs, else the lowest-numbered node, else serio_raw0.
TEST(KbSerioStream, FindsTheNodeBoundToTheKeyboardPortAndLocksIt)
{
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::vector<const char*> sysfs, dev;
        const char* want;
    };
    const Case cases[] = {
        {"rebound: sysfs names it", {"serio_raw3"}, {"serio_raw0", "serio_raw3"}, "serio_raw3"},
        {"no sysfs: lowest number, not the first name", {}, {"serio_raw10", "serio_raw2", "serio_rawx"}, "serio_raw2"},
        {"several in sysfs: lowest", {"serio_raw12", "serio_raw4"}, {}, "serio_raw4"},
        {"nothing at all", {}, {"ttyS0"}, "serio_raw0"},
    };
    for (const Case& c : cases) {
        const fs::path root = fs::temp_directory_path() / ("tovask-serio-" + std::to_string(::getpid()));
        const fs::path misc = root / "sys/bus/serio/devices/serio0/misc";
        fs::create_directories(misc);
        fs::create_directories(root / "dev");
        for (const char* n : c.sysfs)
            fs::create_directories(misc / n);
        for (const char* n : c.dev)
            std::ofstream(root / "dev" / n).put('x');
        EXPECT_EQ(FindSerioRawDevice((root / "sys").string(), (root / "dev").string()),
                  (root / "dev" / c.want).string())
            << c.name;
        if (c.dev.empty()) {
            RemoveScratch(root);
            continue;
        }
        // A second opener of the same device is kept out.
        const std::string first = (root / "dev" / c.dev.front()).string();
        auto held = SerioStream::Open(first);
        ASSERT_NE(held, nullptr) << c.name;
        std::string error;
        EXPECT_EQ(SerioStream::Open(first, &error), nullptr) << c.name;
        EXPECT_EQ(error, "in use by another program") << c.name;
        held.reset();
        EXPECT_NE(SerioStream::Open(first), nullptr) << c.name;
        RemoveScratch(root);
    }
}

TEST(KbSerioStream, BytesBothWaysTimeoutAndHangUp)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    SerioStream stream(fds[0], 0, 0);
    ASSERT_TRUE(stream.Write(0xE9));
    std::uint8_t got = 0;
    ASSERT_EQ(read(fds[1], &got, 1), 1);
    EXPECT_EQ(got, 0xE9);

    std::uint8_t value = 0;
    EXPECT_EQ(stream.Read(value), 0);
    const std::uint8_t answer = 0xFA;
    ASSERT_EQ(write(fds[1], &answer, 1), 1);
    EXPECT_EQ(stream.Read(value), 1);
    EXPECT_EQ(value, 0xFA);

    close(fds[1]);
    EXPECT_EQ(stream.Read(value), -1);
}

TEST(KbSerioStream, DevicePathFromEnvironment)
{
    unsetenv("TOVASK_KBPORT");
    EXPECT_EQ(KbPortDevicePath(), "/dev/serio_raw0");
    setenv("TOVASK_KBPORT", "/dev/serio_raw3", 1);
    EXPECT_EQ(KbPortDevicePath(), "/dev/serio_raw3");
    unsetenv("TOVASK_KBPORT");
    EXPECT_EQ(SerioStream::Open("/nonexistent/serio_raw9"), nullptr);
}

#else
TEST(KbSerioStream, OnTheRawSerioDevice)
{
    GTEST_SKIP() << "the raw serio device is Linux's; Windows reaches the keyboard port through its driver";
}
#endif

}  // namespace
