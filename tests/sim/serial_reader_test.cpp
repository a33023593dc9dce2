// The simulated reader's serial face, driven from a plain file descriptor on
// the slave side of its pseudo-terminal, as a program would see the line.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "sim/serial_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Command(std::uint8_t code) { return {0xAA, 0x55, 0xFF, 0x00, code}; }

Bytes Frame(const ConfigImage& image, int checkFlip = 0)
{
    Bytes out;
    std::uint8_t check = 0;
    for (std::uint8_t b : image) {
        out.push_back(static_cast<std::uint8_t>(0x30 | (b & 0x0F)));
        out.push_back(static_cast<std::uint8_t>(0x30 | (b >> 4)));
        check ^= b;
    }
    check ^= static_cast<std::uint8_t>(checkFlip);
    out.push_back(static_cast<std::uint8_t>(0x30 | (check & 0x0F)));
    out.push_back(static_cast<std::uint8_t>(0x30 | (check >> 4)));
    out.insert(out.end(), 10, 0x00);
    return out;
}

ConfigImage Pattern(std::uint8_t seed)
{
    ConfigImage image{};
    for (int i = 0; i < imageSize; ++i)
        image[i] = static_cast<std::uint8_t>(seed * 13 + i * 7);
    return image;
}

class SimSerial : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.IsOpen()) << sim.ErrorText();
        line = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(line, 0);
    }
    void TearDown() override
    {
        if (line >= 0)
            ::close(line);
    }

    void Send(const Bytes& bytes) { ASSERT_EQ(::write(line, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // What the reader has sent so far.
    Bytes Take()
    {
        Bytes out;
        std::uint8_t buffer[256];
        ssize_t n;
        while ((n = ::read(line, buffer, sizeof buffer)) > 0)
            out.insert(out.end(), buffer, buffer + n);
        return out;
    }

    // Waits for the reader's thread to send at least count bytes (or 10 s).
    Bytes TakeAtLeast(std::size_t count)
    {
        Bytes out;
        for (int i = 0; i < 100 && out.size() < count; ++i) {
            pollfd p{line, POLLIN, 0};
            ::poll(&p, 1, 100);
            const Bytes more = Take();
            out.insert(out.end(), more.begin(), more.end());
        }
        return out;
    }

    SimReaderMemory memory;
    SimSerialReader sim{memory};
    int line = -1;
};

TEST_F(SimSerial, TakesTheImageFromAGoodDataFrame)
{
    Send(Command(0xE7));
    Send(Frame(Pattern(1)));
    Send(Command(0xE8));
    sim.Pump();
    EXPECT_EQ(memory.Image(), Pattern(1));
    EXPECT_EQ(memory.imageWrites, 1);
    EXPECT_EQ(sim.ImagesTaken(), 1);
    EXPECT_EQ(sim.EndCommands(), 1);
    EXPECT_EQ(memory.Trailer(), DefaultTrailer());
    EXPECT_TRUE(Take().empty());  // a write is never answered
}

TEST_F(SimSerial, AFrameArrivingInPiecesIsTakenWhole)
{
    Bytes all = Command(0xE7);
    const Bytes frame = Frame(Pattern(2));
    all.insert(all.end(), frame.begin(), frame.end());
    for (std::size_t at = 0; at < all.size(); at += 7) {
        Send(Bytes(all.begin() + at, all.begin() + std::min(all.size(), at + 7)));
        sim.Pump();
    }
    EXPECT_EQ(memory.Image(), Pattern(2));
}

TEST_F(SimSerial, IgnoresAFrameWhoseCheckByteIsWrong)
{
    const ConfigImage before = memory.Image();
    Send(Command(0xE7));
    Send(Frame(Pattern(3), 0x10));
    sim.Pump();
    EXPECT_EQ(memory.Image(), before);
    EXPECT_EQ(memory.imageWrites, 0);
    EXPECT_EQ(sim.FramesRejected(), 1);
}

TEST_F(SimSerial, ABrokenFrameIsDroppedAndTheNextCommandStillCounts)
{
    Bytes broken = Command(0xE7);
    broken.insert(broken.end(), 40, 0x31);  // cut short by the next command
    Send(broken);
    Send(Command(0xE7));
    Send(Frame(Pattern(4)));
    sim.Pump();
    EXPECT_EQ(sim.FramesRejected(), 1);
    EXPECT_EQ(memory.Image(), Pattern(4));
}

TEST_F(SimSerial, AnswersAReadRequestWithItsImage)
{
    memory.SetImage(Pattern(5));
    Send(Command(0xE6));
    sim.Pump();
    const Bytes reply = Take();
    ASSERT_EQ(reply.size(), 132u);
    EXPECT_EQ(reply.front(), 0xEF);
    EXPECT_EQ(reply.back(), 0xEE);
    std::uint8_t check = 0;
    for (int k = 0; k < 65; ++k) {
        const std::uint8_t lo = reply[1 + 2 * k];
        const std::uint8_t hi = reply[2 + 2 * k];
        ASSERT_TRUE(lo >= 0x30 && lo <= 0x3F && hi >= 0x30 && hi <= 0x3F) << k;
        const auto b = static_cast<std::uint8_t>((lo & 0x0F) | ((hi & 0x0F) << 4));
        if (k < 64) {
            EXPECT_EQ(b, Pattern(5)[k]) << k;
        }
        check ^= b;
    }
    EXPECT_EQ(check, 0);
    EXPECT_EQ(reply, SimSerialReader::BuildReply(Pattern(5)));
    EXPECT_EQ(sim.ReadRequests(), 1);
}

TEST_F(SimSerial, FaultsSilenceDelayOrGarbleTheAnswer)
{
    sim.SetFaults({.silent = true});
    Send(Command(0xE6));
    sim.Pump();
    EXPECT_TRUE(Take().empty());

    sim.SetFaults({.garbleIndex = 3});
    Send(Command(0xE6));
    sim.Pump();
    Bytes expected = SimSerialReader::BuildReply(memory.Image());
    expected[3] ^= 0x01;
    EXPECT_EQ(Take(), expected);

    sim.SetFaults({.lateMs = 60000});
    Send(Command(0xE6));
    sim.Pump();
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(sim.ReadRequests(), 3);
}

TEST_F(SimSerial, TheBackgroundThreadAnswersAndStops)
{
    memory.SetImage(Pattern(6));
    sim.Start();
    EXPECT_TRUE(sim.Running());
    Send(Command(0xE6));
    EXPECT_EQ(TakeAtLeast(132), SimSerialReader::BuildReply(Pattern(6)));

    Send(Command(0xE7));
    Send(Frame(Pattern(7)));
    sim.Stop();
    EXPECT_FALSE(sim.Running());
    sim.Pump();  // whatever the thread left is still handled
    EXPECT_EQ(memory.Image(), Pattern(7));
}

// A template written over the line shapes the next swipe, which goes out one
// byte per output delay by the reader's clock.
TEST_F(SimSerial, ASwipeSendsTheWrittenTemplatesOutputAtItsPace)
{
    long long now = 1000;
    sim.SetClock([&now] { return now; });
    TemplateRecord record;
    DecodeImage(DefaultImage(), record);
    record.formatFields[9].text = "P[CR]";  // T2Prefix
    record.trackEnabled = {0, 1, 0};
    record.outputDelay = 20;
    ConfigImage image = DefaultImage();
    EncodeImage(record, image);
    Send(Command(0xE7));
    Send(Frame(image));
    sim.Pump();
    ASSERT_EQ(memory.Image(), image);

    const std::string expected = "P\r;4000123456789010=29121010000000000000?";
    sim.SwipeSample();
    Bytes got = Take();
    EXPECT_EQ(got, Bytes{'P'});
    now += 19;
    sim.Pump();
    EXPECT_TRUE(Take().empty());
    now += 1;
    sim.Pump();
    EXPECT_EQ(Take(), Bytes{'\r'});
    now += 20 * 100;
    sim.Pump();
    const Bytes rest = Take();
    got.push_back('\r');
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(std::string(got.begin(), got.end()), expected);
}

}  // namespace

#else

TEST(SimSerial, OnAPseudoTerminal)
{
    GTEST_SKIP() << "the reader's line here is a pseudo-terminal, which Windows has not; "
                    "its in-process line is tested by InProcessSerialLine";
}

#endif
