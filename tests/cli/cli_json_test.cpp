#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

// Every verb with --json, each way it can end: a usage error, a file that
// cannot be read or saved, and success. Standard output is exactly one JSON
// document, and the exit code is the one table's (0 ok, 2 usage or file
// error, 3 differs, 4 no reader, 5 characters change).
TEST(CliJsonTest, EveryVerbPrintsOneDocumentOnEveryPath)
{
    const fs::path dir = fs::temp_directory_path() / ("tovask-clij-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto P = [&dir](const std::string& name) { return Q((dir / name).string()); };
    ASSERT_EQ(Cli("new " + P("a.mtl")).code, 0);
    ASSERT_EQ(Cli("new " + P("b.mtl")).code, 0);
    ASSERT_EQ(Cli("set " + P("b.mtl") + " T2Lrc=Enable").code, 0);
    ASSERT_EQ(Cli("dump --json " + P("a.mtl") + " > " + P("a.json")).code, 0);
    const std::string a = P("a.mtl"), absent = P("absent.mtl"), noDir = P("no/such/dir.mtl");
    const std::string usb = " --port USB --simulate";
    const struct {
        std::string args;
        int code;
    } cases[] = {
        {"frobnicate", 2},
        {"help write", 0},
        {"help frobnicate", 2},
        {"new", 2},
        {"new " + noDir, 2},
        {"new " + P("c.mtl"), 0},
        {"dump --bogus " + a, 2},
        {"dump " + absent, 2},
        {"dump " + a, 0},
        {"get " + a + " NoSuchName", 2},
        {"get " + absent + " T2Suffix", 2},
        {"get " + a + " T2Suffix", 0},
        {"set " + a + " T2Lrc", 2},
        {"set " + a + " outputDelay=0", 2},
        {"set " + absent + " T2Lrc=Enable", 2},
        {"set " + P("c.mtl") + " T2Lrc=Enable", 0},
        {"from-json " + P("a.json"), 2},
        {"from-json " + P("absent.json") + " " + P("d.mtl"), 2},
        {"from-json " + P("a.json") + " " + P("d.mtl"), 0},
        {"diff " + a, 2},
        {"diff " + a + " " + absent, 2},
        {"diff " + a + " " + a, 0},
        {"diff " + a + " " + P("b.mtl"), 3},
        {"preview " + a + " --damaged 7", 2},
        {"preview " + absent, 2},
        {"preview " + a, 0},
        {"check-layout " + a, 2},
        {"check-layout " + absent + " --layout us", 2},
        {"check-layout " + a + " --layout us", 0},
        {"write " + a, 2},
        {"write " + a + usb + " --fault=no-such-fault", 2},
        {"write " + a + " --port COM3 --device 1-1", 2},
        {"write " + absent + usb, 2},
        {"write " + a + usb, 0},
        {"write " + a + usb + " --fault=vanish", 4},
        {"read --port LPT1 -o " + P("e.mtl"), 2},
        {"read" + usb + " -o -", 2},
        {"read" + usb + " -o " + noDir, 2},
        {"read" + usb + " -o " + P("e.mtl"), 0},
        {"verify " + a + " --port USB --readers 2", 2},
        {"verify " + absent + usb, 2},
        {"verify " + a + usb, 0},
        {"verify " + P("b.mtl") + usb, 3},
        {"devices --vid zz", 2},
        {"devices --simulate", 0},
        {"udev-rule --group 'no group'", 2},
        {"udev-rule", 0},
        {"swipe-test --layout nowhere < /dev/null", 2},
        {"swipe-test --template " + absent + " < /dev/null", 2},
        {"swipe-test --layout us < /dev/null", 1},
        {"doctor --port LPT1", 2},
        {"doctor --simulate", 0},
        {"doctor --simulate --vid 0c2e --pid 0720", 4},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args + " --json");
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out << r.err;
        nlohmann::json doc;
        try {
            doc = nlohmann::json::parse(r.out);
        } catch (const nlohmann::json::exception& e) {
            ADD_FAILURE() << c.args << ": not one JSON document (" << e.what() << "):\n" << r.out;
            continue;
        }
        if (doc.is_object() && doc.contains("exitCode")) {
            EXPECT_EQ(doc["exitCode"], c.code) << c.args << "\n" << r.out;
        }
        // An error says what went wrong, as standard error does.
        if (c.code == 2) {
            EXPECT_FALSE(doc.value("message", "").empty()) << c.args << "\n" << r.out;
        }
    }
    // Lists are arrays: the readers refused for want of --device too.
    const CliRun several = Cli("verify " + a + usb + " --readers 2 --json");
    EXPECT_EQ(several.code, 4);
    EXPECT_EQ(nlohmann::json::parse(several.out)["readers"],
              nlohmann::json::parse(R"([{"path": "sim:usb-reader", "location": "1-1"},
                                        {"path": "sim:usb-reader-2", "location": "1-2"}])"));
    fs::remove_all(dir);
}

}  // namespace
