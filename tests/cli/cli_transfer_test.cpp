#include <gtest/gtest.h>

#include "test_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/cli_run.h"
#include "model/sha256.h"

#include <algorithm>
#include <sstream>
#include <vector>

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
    EXPECT_EQ(Cli("write " + Path("a.mtl") + " --port COM256").code, 2);    // no such port
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
                         "\"version\": \"0100\", \"manufacturer\": \"Tovask\", \"product\": \"Simulated MR\", "
                         "\"openable\": true, \"reader\": true, \"location\": \"1-1\", \"serial\": \"SIM-0001\"}"),
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

// Proof for a write on every link: verify and write --verify sort the outcome
// into exit codes and name the values that differ (the file's first);
// --if-different sends no write command to a reader that already holds the
// file; --json prints one object.
TEST_F(CliTransferTest, VerifyAndIfDifferentOnEveryLink)
{
    ASSERT_EQ(Cli("new " + Path("same.mtl")).code, 0);  // what a new simulated reader holds
    ASSERT_EQ(Cli("new " + Path("other.mtl")).code, 0);
    ASSERT_EQ(Cli("set " + Path("other.mtl") + " \"T2Suffix=[CR]\" outputDelay=9").code, 0);
    const std::string same = Path("same.mtl"), other = Path("other.mtl");
    const std::string otherLines = "The reader holds other values than " + other +
                                   ":\nT2Suffix: \"[CR]\" -> \"\"\noutputDelay: 9 -> 4\n";
    const std::string written = "programmable MR writing OK, Check MR data please !\n";
    const std::string writeCommand = "simulated reader: write command over ";
    struct Case {
        std::string args;  // after "--port PORT --simulate"
        int code;
        std::string out;
        bool writes;  // the trace shows a write command
    };
    for (const std::string port : {"USB", "PS2", "COM3"}) {
        // On USB the write checks its first read itself; the drift strikes the one after.
        const std::string drift = port == "USB" ? " --fault=drift=2" : " --fault=drift";
        const Case cases[] = {
            {"verify " + same, 0, "The reader holds " + same + ".\n", false},
            {"verify " + other, 3, otherLines, false},
            {"write " + other + " --verify", 0, written + "The reader holds " + other + ".\n", true},
            {"write " + same + " --verify" + drift, 3,
             written + "The reader holds other values than " + same + ":\noutputDelay: 4 -> 5\n", true},
            {"write " + same + " --if-different", 0, "The reader already holds " + same + ".\n", false},
            {"write " + other + " --if-different", 0, written, true},
            {"verify " + other + " --json", 3,
             "{\n  \"result\": \"differs\",\n  \"exitCode\": 3,\n  \"message\": \"The reader holds other values than " +
                 InJson(other) + ":\",\n  \"differences\": [\"T2Suffix\", \"outputDelay\"],\n",
             false},
            {"verify " + Path("absent.mtl"), 2, "", false},
        };
        for (const Case& c : cases) {
            const CliRun r = Cli("--verbose " + c.args + " --port " + port + " --simulate");
            const std::string what = port + ": " + c.args;
            EXPECT_EQ(r.code, c.code) << what << "\n" << r.out;
            EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << what;
            EXPECT_EQ(r.err.find(writeCommand) != std::string::npos, c.writes) << what;
        }
    }
    // No reader reached: 4, in words and in JSON.
    CliRun r = Cli("verify " + same + " --port USB --simulate --fault=vanish --json");
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find("\"result\": \"unreachable\",\n  \"exitCode\": 4,\n  \"message\": "
                         "\"There is no programmable MR connected!\""),
              std::string::npos)
        << r.out;
    // A file that cannot be read or saved: 2, and with --json the object too.
    for (const std::string& args : {"verify " + Path("absent.mtl") + " --port USB", "write " + Path("absent.mtl") + " --port PS2",
                                    "read -o " + Path("no/such/dir.mtl") + " --port COM3"}) {
        r = Cli(args + " --simulate --json");
        EXPECT_EQ(r.code, 2) << args;
        const std::string head = "{\n  \"result\": \"error\",\n  \"exitCode\": 2,\n  \"message\": \"" + InJson(Path(""));
        EXPECT_EQ(r.out.substr(0, head.size()), head) << args;
        EXPECT_NE(r.err.find("tovask-cli: " + Path("")), std::string::npos) << args << "\n" << r.err;
    }
    r = Cli("write " + same + " --port COM3 --simulate --fault=cts-low --verify");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "programmable MR writing error!\n");
}

// Reader after reader with simulated plugging: a line per reader, the
// summary, and a JSON log line per reader naming the template by its SHA-256.
TEST_F(CliTransferTest, EachProgramsReaderAfterReaderAndLogsThem)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    const std::string bytes = Read(Path("a.mtl"));
    const std::string digest = Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::vector<std::string> ports = {"USB"};
#ifndef _WIN32
    ports.push_back("/dev/ttyUSB7");  // a USB-serial adapter: its node comes and goes
#endif
    for (const std::string& port : ports) {
        fs::remove(Path("run.log"));
        const CliRun r = Cli("write " + Path("a.mtl") + " --port " + port + " --each --count 3 --simulate --log " +
                             Path("run.log"));
        EXPECT_EQ(r.code, 0) << port << r.err;
        for (const char* line : {"reader 1 ", "reader 2 ", "reader 3 ", "Remove the reader.\nConnect the next reader.\n"})
            EXPECT_NE(r.out.find(line), std::string::npos) << port << ": " << line << "\n" << r.out;
        EXPECT_EQ(r.out.find("reader 4 "), std::string::npos) << port;
        EXPECT_TRUE(r.out.ends_with(": written and verified\n3 written and verified, 0 failed\n")) << port << r.out;
        std::istringstream log(Read(Path("run.log")));
        int lines = 0;
        for (std::string line; std::getline(log, line); ++lines) {
            EXPECT_NE(line.find("\"n\":" + std::to_string(lines + 1) + ","), std::string::npos) << line;
            EXPECT_NE(line.find("\"template\":\"" + digest + "\",\"result\":\"ok\""), std::string::npos) << line;
            // Each reader at its place, told apart by its serial number: the
            // simulated hands plug each new reader in where the last one was.
            if (port == "USB") {
                EXPECT_NE(line.find("\"location\":\"1-1\",\"serial\":\"SIM-0"), std::string::npos) << line;
            }
        }
        EXPECT_EQ(lines, 3) << port;
    }
#ifndef _WIN32
    // Names reach the log as the system spells them: a UTF-8 file name as it
    // is, a byte of a port that is no UTF-8 escaped.
    fs::copy_file(Path("a.mtl"), Path("caf\xC3\xA9.mtl"));
    fs::remove(Path("run.log"));
    const CliRun named = Cli("write " + Q(Path("caf\xC3\xA9.mtl")) +
                             " --port \"$(printf '/dev/ttyUSB\\377')\" --each --count 1 --simulate --log " + Path("run.log"));
    EXPECT_EQ(named.code, 0) << named.err;
    const std::string namedLog = Read(Path("run.log"));
    EXPECT_NE(namedLog.find("\"port\":\"/dev/ttyUSB\\\\xff\""), std::string::npos) << namedLog;
    EXPECT_NE(namedLog.find("\"file\":\"" + InJson(Path("caf")) + "\\u00e9.mtl\""), std::string::npos) << namedLog;
#endif
}

// Two identical USB readers: a transfer without --device is refused with
// both listed; --device by path or location takes that one; --each programs
// the readers already connected one after another and warns of the serial
// number they share.
TEST_F(CliTransferTest, SeveralUsbReadersAndTheOneChosen)
{
    ASSERT_EQ(Cli("new " + Path("a.mtl")).code, 0);
    const std::string a = Path("a.mtl"), two = " --port USB --simulate --readers 2";
    const std::string refused = "More than one reader answers; choose one with --device PATH or --device LOCATION:\n"
                                "  sim:usb-reader  (location 1-1)\n  sim:usb-reader-2  (location 1-2)\n";
    const struct {
        std::string args;
        int code;
        std::string out;  // its beginning
    } cases[] = {
        {"write " + a + two, 4, refused},
        {"verify " + a + two, 4, refused},
        {"read -o " + Path("b.mtl") + two + " --json", 4,
         "{\n  \"result\": \"unreachable\",\n  \"exitCode\": 4,\n  \"message\": \"More than one reader answers"},
        {"write " + a + two + " --device sim:usb-reader-2 --json", 0,
         "{\n  \"result\": \"ok\",\n  \"exitCode\": 0,\n  \"message\": \"programmable MR writing OK, Check MR data "
         "please !\",\n  \"differences\": [],\n  \"path\": \"sim:usb-reader-2\"\n}\n"},
        {"verify " + a + two + " --device 1-1 --json", 0,
         "{\n  \"result\": \"ok\",\n  \"exitCode\": 0,\n  \"message\": \"The reader holds " + InJson(a) +
             ".\",\n  \"differences\": [],\n  \"path\": \"sim:usb-reader\"\n}\n"},
        {"write " + a + two + " --device 1-7", 4, "There is no programmable MR connected!\n"},
        {"write " + a + " --port COM3 --simulate --device 1-1", 2, ""},
        {"write " + a + two + " --each --count 2", 0,
         "reader 1 sim:usb-reader: written and verified\nreader 2 sim:usb-reader-2: written and verified\n"
         "Warning: reader 2 has the serial number SIM-0001 of reader 1.\n2 written and verified, 0 failed\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out << r.err;
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << c.args;
    }
}

// doctor on the simulated reader: all well, no reader with the identifiers
// named, the JSON form, and a port that is none.
TEST_F(CliTransferTest, DoctorOnTheSimulatedReader)
{
    const struct {
        std::string args;
        int code;
        std::string out;
    } cases[] = {
        {"doctor --simulate", 0,
         "ok    USB reader present: 1209:0001 is sim:usb-reader (location 1-1)\n"
         "ok    USB reader opens: sim:usb-reader opens\n"},
        {"doctor --simulate --vid 0c2e --pid 0720", 4,
         "fail  USB reader present: no HID interface is 0c2e:0720. Connect the reader, or name its identifiers with "
         "--vid and --pid (tovask-cli devices lists them).\n"},
        {"doctor --port PS2 --simulate --json", 0,
         "[\n  {\"check\": \"keyboard port opens\", \"status\": \"ok\", \"detail\": \"the keyboard port's access "
         "opens\", \"fix\": \"\"}\n]\n"},
        {"doctor --port LPT1", 2, ""},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
#ifndef _WIN32
    const CliRun r = Cli("doctor --port COM3 --simulate");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("ok    serial port opens: "), std::string::npos) << r.out;
#endif
}

}  // namespace
