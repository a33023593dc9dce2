// The write's rules on a scripted line, the port names and the line settings,
// on every system.
#include <gtest/gtest.h>

#include <vector>

#include "device/com/serial_line.h"
#include "device/transfer.h"

namespace {

// CTS comes up after ctsDownReads questions (never when negative), or the
// question fails; Send fails when told to.
struct ScriptedLine : ISerialLineOps {
    int ctsDownReads = 0;
    bool ctsFails = false;
    bool sendFails = false;
    int ctsReads = 0;
    std::vector<int> sendBounds;
    int sentBytes = 0;
    int discards = 0;

    Cts ReadCts() override
    {
        ++ctsReads;
        if (ctsFails)
            return Cts::Failed;
        return ctsDownReads < 0 || ctsReads <= ctsDownReads ? Cts::Down : Cts::Up;
    }
    bool Send(const std::uint8_t*, int count, int timeoutMs, std::string& why) override
    {
        sendBounds.push_back(timeoutMs);
        if (sendFails) {
            why = "short";
            return false;
        }
        sentBytes += count;
        return true;
    }
    void Discard() override { ++discards; }
};

}  // namespace

TEST(GatedSerialWrite, NoByteLeavesWhileCtsIsLowAndTheBoundHoldsWithoutSpendingIt)
{
    struct Case {
        const char* name;
        int ctsDownReads;
        bool ctsFails, sendFails;
        bool ok;
        int sentBytes, waitedMs, sendBound, discards;
    };
    const Case cases[] = {
        {"cts up", 0, false, false, true, 140, 0, 2000, 0},
        {"cts rises after 300 ms: the rest of the bound is left", 30, false, false, true, 140, 300, 1700, 0},
        {"cts never rises: nothing handed over, 2 s spent", -1, false, false, false, 0, 2000, -1, 0},
        {"modem status fails (unplugged)", 0, true, false, false, 0, 0, -1, 0},
        {"short or failed send is discarded", 0, false, true, false, 0, 0, 2000, 1},
    };
    const std::vector<std::uint8_t> frame(140, 0x31);
    for (const Case& c : cases) {
        ScriptedLine line;
        line.ctsDownReads = c.ctsDownReads;
        line.ctsFails = c.ctsFails;
        line.sendFails = c.sendFails;
        RecordingSleeper sleeper;
        std::string why;
        EXPECT_EQ(GatedSerialWrite(line, sleeper, frame.data(), 140, 2000, why), c.ok) << c.name;
        EXPECT_EQ(line.sentBytes, c.sentBytes) << c.name;
        EXPECT_EQ(sleeper.Total(), c.waitedMs) << c.name;
        EXPECT_EQ(line.sendBounds.empty() ? -1 : line.sendBounds.front(), c.sendBound) << c.name;
        EXPECT_EQ(line.discards, c.discards) << c.name;
        EXPECT_EQ(why.empty(), c.ok) << c.name;
    }
}

TEST(SerialPortNames, WindowsDeviceNamesAndTheUsersPortWords)
{
    const std::pair<const char*, const char*> windowsNames[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM12", "\\\\.\\COM12"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\?\\COM3", "\\\\?\\COM3"},
        {"\\\\server\\x", "\\\\.\\\\\\server\\x"},
    };
    for (const auto& [in, out] : windowsNames)
        EXPECT_EQ(WindowsSerialDeviceName(in), out) << in;

#ifdef _WIN32
    const std::string com9 = "\\\\.\\COM9", com12 = "\\\\.\\COM12", com255 = "\\\\.\\COM255";
    const int devicePrefixKind = portKindCOM1;
#else
    const std::string com9 = "/dev/ttyS8", com12 = "/dev/ttyS11", com255 = "/dev/ttyS254";
    const int devicePrefixKind = -1;
#endif
    struct Case {
        const char* name;
        int kind;
        std::string path;
    };
    const Case cases[] = {
        {"USB", portKindUSB, ""},
        {"ps2", portKindPS2, ""},
        {"COM1", portKindCOM1, ""},
        {"com8", portKindCOM8, ""},
        {"COM9", portKindCOM1, com9},
        {"Com12", portKindCOM1, com12},
        {"COM255", portKindCOM1, com255},
        {"/dev/ttyUSB0", portKindCOM1, "/dev/ttyUSB0"},
        {"\\\\.\\COM12", devicePrefixKind, devicePrefixKind < 0 ? "" : "\\\\.\\COM12"},
        {"COM0", -1, ""},
        {"COM256", -1, ""},
        {"COM012", -1, ""},
        {"COM1x", -1, ""},
        {"COM", -1, ""},
        {"LPT1", -1, ""},
        {"", -1, ""},
    };
    for (const Case& c : cases) {
        const PortChoice choice = ParsePortName(c.name);
        EXPECT_EQ(choice.portKind, c.kind) << c.name;
        EXPECT_EQ(choice.devicePath, c.path) << c.name;
    }
}

// Settings another program left in the driver ("mode COMn", a terminal
// program) must not survive: every member starts set.
TEST(SerialLineSettings, NothingLeftInTheDriverCanMakeThePortDeafOrDumb)
{
    struct FakeDcb {
        unsigned DCBlength = 99, BaudRate = 115200, ByteSize = 7, Parity = 2, StopBits = 2;
        unsigned fBinary : 1 = 0, fParity : 1 = 1, fOutxCtsFlow : 1 = 0, fOutxDsrFlow : 1 = 1;
        unsigned fDtrControl : 2 = 2, fDsrSensitivity : 1 = 1, fOutX : 1 = 1, fInX : 1 = 1, fNull : 1 = 1;
        unsigned fRtsControl : 2 = 2, fAbortOnError : 1 = 1;
        unsigned XonLim = 7;  // not ours: left as read
    } dcb;
    SetReaderLineSettings(dcb);
    EXPECT_EQ(dcb.DCBlength, sizeof dcb);
    const unsigned got[] = {dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits, dcb.fBinary, dcb.fParity,
                            dcb.fOutxCtsFlow, dcb.fOutxDsrFlow, dcb.fDtrControl, dcb.fDsrSensitivity, dcb.fOutX,
                            dcb.fInX, dcb.fNull, dcb.fRtsControl, dcb.fAbortOnError, dcb.XonLim};
    const unsigned want[] = {9600, 8, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 7};
    for (std::size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(got[i], want[i]) << "member " << i;
}
