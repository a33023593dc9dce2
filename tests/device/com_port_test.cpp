// CComPort over a real pseudo-terminal served by the simulated reader, and
// over a scripted backend where the line must misbehave.
#include <array>
#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "test_env.h"

#include "tests/device/com_test_support.h"

namespace {

// What COMn stands for when nobody names another device.
std::string Usual(int n)
{
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(n);
#else
    return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

TEST(ComDevicePath, OverrideThenEnvironmentThenSettingThenDefault)
{
    UnsetEnv("TOVASK_COM5");
    ClearComDeviceOverrides();

    EXPECT_EQ(ComDevicePath(5), Usual(5));
    EXPECT_EQ(ComDevicePath(1), Usual(1));

    SetComDeviceSetting(5, "/dev/ttyUSB7");
    EXPECT_EQ(ComDevicePath(5), "/dev/ttyUSB7");
    EXPECT_EQ(ComDevicePath(4), Usual(4));

    SetEnv("TOVASK_COM5", "/dev/ttyACM1");
    EXPECT_EQ(ComDevicePath(5), "/dev/ttyACM1");

    SetComDeviceOverride(5, "/tmp/sim-line");
    EXPECT_EQ(ComDevicePath(5), "/tmp/sim-line");
    SetComDeviceOverride(5, "");
    EXPECT_EQ(ComDevicePath(5), "/dev/ttyACM1");

    SetAllComDeviceOverrides("/tmp/all");
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(ComDevicePath(n), "/tmp/all");
    ClearComDeviceOverrides();
    UnsetEnv("TOVASK_COM5");
    SetComDeviceSetting(5, "");
    EXPECT_EQ(ComDevicePath(5), Usual(5));
}

TEST(ComPortOpen, NumbersOutsideOneToEightOpenCom1)
{
    auto line = std::make_shared<FakeLine>();
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    SetComDeviceOverride(1, "/dev/line-one");
    SetComDeviceOverride(8, "/dev/line-eight");

    for (int n : {0, 9, -1, 100}) {
        ASSERT_TRUE(com.OpenPort(n)) << n;
        EXPECT_EQ(com.PortName(), "COM1") << n;
        EXPECT_EQ(com.DevicePath(), "/dev/line-one") << n;
        com.ClosePort();
    }
    ASSERT_TRUE(com.OpenPort(8));
    EXPECT_EQ(com.PortName(), "COM8");
    EXPECT_EQ(com.DevicePath(), "/dev/line-eight");
    com.ClosePort();
    ClearComDeviceOverrides();
}

TEST(ComPortOpen, OpensThePtyAndFailsOnAMissingDevice)
{
    SerialRig rig;
    ASSERT_TRUE(rig.sim.IsOpen()) << rig.sim.ErrorText();
    EXPECT_TRUE(rig.com.OpenPort(SerialRig::comNumber)) << rig.com.ErrorText();
    EXPECT_TRUE(rig.com.IsOpen());
    rig.com.ClosePort();
    EXPECT_FALSE(rig.com.IsOpen());

    CComPort system;
    SetComDeviceOverride(2, "/dev/no-such-serial-line");
    EXPECT_FALSE(system.OpenPort(2));
    EXPECT_FALSE(system.IsOpen());
    EXPECT_NE(system.ErrorText().find("no-such-serial-line"), std::string::npos) << system.ErrorText();
}

TEST(ComPortOpen, APortHeldInThisProcessCannotBeOpenedAgain)
{
    SerialRig rig;
    CComPort other(rig.Backend());
    ASSERT_TRUE(other.OpenPort(SerialRig::comNumber));
    EXPECT_FALSE(rig.com.OpenPort(SerialRig::comNumber));
    other.ClosePort();
    EXPECT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    rig.com.ClosePort();
}

#ifndef _WIN32
// We run as root in CI, where TIOCEXCL alone would not keep a second process out.
TEST(ComPortOpen, APortHeldByAnotherProcessCannotBeOpened)
{
    SerialRig rig;
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CComPort holder(rig.Backend());
        const char opened = holder.OpenPort(SerialRig::comNumber) ? 'y' : 'n';
        [[maybe_unused]] ssize_t w = ::write(toParent[1], &opened, 1);
        char go;
        [[maybe_unused]] ssize_t r = ::read(toChild[0], &go, 1);
        ::_exit(0);  // dies holding the port: the lock must not outlive it
    }
    char opened = 0;
    ASSERT_EQ(::read(toParent[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y');
    EXPECT_FALSE(rig.com.OpenPort(SerialRig::comNumber));

    const char go = 1;
    ASSERT_EQ(::write(toChild[1], &go, 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        ::close(fd);

    EXPECT_TRUE(rig.com.OpenPort(SerialRig::comNumber)) << rig.com.ErrorText();
    rig.com.ClosePort();
}

#endif

TEST(ComPortFrames, SendImageOfAllFFIsTheDocumentedFrame)
{
    SerialRig rig;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    rig.com.transmitBuffer.fill(0xFF);
    ASSERT_TRUE(rig.com.SendImage(rig.sleeper));
    rig.sim.Pump();
    rig.com.ClosePort();

    std::vector<std::uint8_t> expected = CommandFrame(0xE7);
    expected.insert(expected.end(), 128, 0x3F);
    expected.insert(expected.end(), {0x30, 0x30});
    expected.insert(expected.end(), 10, 0x00);
    ASSERT_EQ(expected.size(), 145u);
    EXPECT_EQ(rig.sim.Received(), expected);
    EXPECT_EQ(rig.sleeper.waits, std::vector<int>{10});
    EXPECT_EQ(rig.sim.ImagesTaken(), 1);
}

TEST(ComPortFrames, AFailedCommandFrameSendsNoDataFrame)
{
    auto line = std::make_shared<FakeLine>();
    line->failWritesFrom = 0;
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    RecordingSleeper sleeper;
    ASSERT_TRUE(com.OpenPort(1));
    EXPECT_FALSE(com.SendImage(sleeper));
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(line->writes[0], CommandFrame(0xE7));
    EXPECT_TRUE(sleeper.waits.empty());
}

TEST(ComPortFrames, EveryWriteIsBoundedInTime)
{
    auto line = std::make_shared<FakeLine>();
    CComPort com(std::make_unique<FakeSerialBackend>(line));
    ASSERT_TRUE(com.OpenPort(1));
    RecordingSleeper sleeper;
    ASSERT_TRUE(com.SendImage(sleeper));
    ASSERT_TRUE(com.SendEnd());
    ASSERT_EQ(line->writeTimeouts.size(), 3u);
    for (int t : line->writeTimeouts) {
        EXPECT_GE(t, 1000);
        EXPECT_LE(t, 3000);
    }
}

// A line whose CTS stays low takes nothing: the write must give up, not hang.
TEST(ComPortWrite, AWriteTheLineWillNotTakeFailsWithinItsBound)
{
    SerialRig rig;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    rig.com.SetWriteTimeout(100);
    rig.sim.SetHoldCts(true);
    std::vector<std::uint8_t> bytes(145, 0x3F);
    EXPECT_FALSE(rig.com.WriteBytes(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_FALSE(rig.com.ErrorText().empty());

    // Nothing of the failed write goes out later; the next write works.
    rig.sim.SetHoldCts(false);
    const auto end = CommandFrame(0xE8);
    EXPECT_TRUE(rig.com.WriteBytes(end.data(), static_cast<int>(end.size())));
    rig.com.ClosePort();
    rig.sim.Pump();
    EXPECT_EQ(rig.sim.Received(), end);
}

TEST(ComPortRead, ReadsNeverWaitAndTakeAtMost180Bytes)
{
    SerialRig rig;
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    std::array<std::uint8_t, CComPort::readBlockSize + 8> buffer{};
    buffer.fill(0xAB);
    std::uint8_t byte = 0x55;
    EXPECT_EQ(rig.com.ReadBlock(buffer.data()), 0);
    EXPECT_FALSE(rig.com.ReadByte(byte));
    EXPECT_EQ(byte, 0x55);

    std::vector<std::uint8_t> burst(300);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<std::uint8_t>(i);
    rig.sim.Swipe(burst);

    ASSERT_EQ(rig.com.ReadBlock(buffer.data()), 180);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 180, burst.begin()));
    EXPECT_EQ(buffer[180], 0xAB);  // nothing past the block
    ASSERT_TRUE(rig.com.ReadByte(byte));
    EXPECT_EQ(byte, 180);
    ASSERT_EQ(rig.com.ReadBlock(buffer.data()), 119);
    EXPECT_EQ(buffer[0], 181);
    EXPECT_EQ(rig.com.ReadBlock(buffer.data()), 0);
    rig.com.ClosePort();
}

TEST(ComPortRead, BytesThatArrivedWhileThePortWasClosedAreNotDelivered)
{
    SerialRig rig;
    rig.sim.Swipe({'s', 't', 'a', 'l', 'e'});
    ASSERT_TRUE(rig.com.OpenPort(SerialRig::comNumber));
    std::uint8_t byte = 0;
    EXPECT_FALSE(rig.com.ReadByte(byte));
    rig.sim.Swipe({'n'});
    ASSERT_TRUE(rig.com.ReadByte(byte));
    EXPECT_EQ(byte, 'n');
    rig.com.ClosePort();
}

}  // namespace
