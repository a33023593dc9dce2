#include <gtest/gtest.h>

#include "test_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

class CliTransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tovask-clix-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& n) const { return (dir / n).string(); }
    std::string Read(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    fs::path dir;
};

// Each run has a reader of its own: what is read is the simulated reader's
// default template, which is also what "new" writes.
TEST_F(CliTransferTest, WriteAndReadAgainstTheSimulatedReaderOnEveryLink)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    for (const std::string port : {"COM3", "com1", "usb", "USB", "PS2"}) {
        CliRun r = Cli("write " + Path("a.mtl") + " --port " + port + " --simulate");
        EXPECT_EQ(r.code, 0) << port << ": " << r.err;
        EXPECT_EQ(r.out, "programmable MR writing OK, Check MR data please !\n") << port;

        fs::remove(Path("b.mtl"));
        r = Cli("read --port " + port + " -o " + Path("b.mtl") + " --simulate");
        EXPECT_EQ(r.code, 0) << port << ": " << r.err;
        EXPECT_EQ(r.out, "programmable MR reading OK!\n") << port;
        EXPECT_EQ(Read(Path("b.mtl")), Read(Path("a.mtl"))) << port;
    }
}

// A port that cannot be opened is a reader not reached: exit code 4.
TEST_F(CliTransferTest, PortThatCannotBeOpenedFails)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    const CliRun r = Cli("write " + Path("a.mtl") + " --port /dev/tovask-no-such-port");
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "Can't open this COM port!!\n");
    const CliRun rd = Cli("read --port /dev/tovask-no-such-port -o " + Path("x.mtl"));
    EXPECT_EQ(rd.code, 4);
    EXPECT_FALSE(fs::exists(Path("x.mtl")));
}

TEST_F(CliTransferTest, BadArguments)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    EXPECT_EQ(Cli("write " + Path("a.mtl")).code, 2);                      // no port
    EXPECT_EQ(Cli("write --port COM1").code, 2);                            // no file
    EXPECT_EQ(Cli("read --port COM1").code, 2);                             // no output
    EXPECT_EQ(Cli("write " + Path("a.mtl") + " --port COM9").code, 2);      // no such port
    EXPECT_EQ(Cli("write " + Path("short.mtl") + " --port COM1 --simulate").code, 2);  // missing file
}

// A misbehaving simulated reader: the one message, exit code 1 (4 when it is gone), no output
// file; faults that cannot happen on the link, or without the simulator, are
// usage errors.
TEST_F(CliTransferTest, FaultSwitchesOfTheSimulatedReader)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    CliRun r = Cli("read --port USB -o " + Path("b.mtl") + " --simulate --fault=vanish");
    EXPECT_EQ(r.code, 4);  // no reader reached
    EXPECT_EQ(r.out, "There is no programmable MR connected!\n");
    EXPECT_FALSE(fs::exists(Path("b.mtl")));

    r = Cli("write " + Path("a.mtl") + " --port COM2 --simulate --fault=cts-low");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "programmable MR writing error!\n");

    r = Cli("read --port PS2 -o " + Path("b.mtl") + " --simulate --fault=stop");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Data Read Error, Count=62\n");

    EXPECT_EQ(Cli("write " + Path("a.mtl") + " --port USB --simulate --fault=cts-low").code, 2);
    EXPECT_EQ(Cli("write " + Path("a.mtl") + " --port USB --fault=vanish").code, 2);
    EXPECT_EQ(Cli("write " + Path("a.mtl") + " --port USB --simulate --fault=melt").code, 2);
}

// Finding a USB reader by the identifiers the user names: the listing, the
// search, the udev rule and what --verbose shows.
TEST_F(CliTransferTest, UsbReaderByItsIdentifiers)
{
    CliRun r = Cli("devices --json --simulate");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("{\"path\": \"sim:usb-reader\", \"vendorId\": \"1209\", \"productId\": \"0001\", "
                         "\"version\": 256, \"manufacturer\": \"Tovask\", \"product\": \"Simulated MR\", "
                         "\"openable\": true, \"reader\": true}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\"path\": \"sim:keyboard\""), r.out.rfind("\"path\": \"sim:keyboard\""));  // listed once
    EXPECT_NE(r.out.find("\"openable\": false"), std::string::npos);
    r = Cli("devices --json --simulate --vid 0c2e --pid 0720");
    EXPECT_EQ(r.out.find("\"reader\": true"), std::string::npos) << r.out;

    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    r = Cli("write " + Path("a.mtl") + " --port USB --simulate --vid 0c2e --pid 0720");
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "There is no programmable MR connected!\n");
    r = Cli("--verbose write " + Path("a.mtl") + " --port USB --simulate --vid=1209 --pid=0x0001");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("CheckHIDParam: Device Name=Simulated MR\nCheckHIDParam: VendorID = 01209\n"), std::string::npos)
        << r.err;

    // A malformed identifier is an error naming where it came from.
    r = Cli("read --port USB -o " + Path("b.mtl") + " --simulate --vid 12345");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--vid: \"12345\" is not a USB identifier"), std::string::npos) << r.err;
    SetEnv("TOVASK_USB_PID", "07x0");
    r = Cli("devices --simulate");
    UnsetEnv("TOVASK_USB_PID");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("TOVASK_USB_PID: \"07x0\""), std::string::npos) << r.err;
    r = Cli("udev-rule --vid 0c2e --pid 720");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("ATTRS{idVendor}==\"0c2e\", ATTRS{idProduct}==\"0720\""), std::string::npos) << r.out;
}

}  // namespace
