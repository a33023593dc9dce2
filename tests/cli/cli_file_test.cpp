#include <gtest/gtest.h>

#include "cli/cli_run.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class CliFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tovask-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& n) const { return (dir / n).string(); }
    void Write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    fs::path dir;
};

TEST_F(CliFileTest, NewWritesTheDefaultImage)
{
    const CliRun r = Cli("new " + Path("x.mtl"));
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream in(Path("x.mtl"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes.substr(0, 62), std::string(62, '\xFF'));
    EXPECT_EQ(bytes[62], '\xCE');
    EXPECT_EQ(bytes[63], '\x04');
}

TEST_F(CliFileTest, DumpJsonCarriesFieldsOptionsAndImage)
{
    std::string img(64, '\xFF');
    img[0] = '\x0D';
    img[1] = 'A';
    img[0x33] = '\x0F';
    img[0x3E] = '\x37';
    img[0x3F] = '\x00';
    Write(Path("t.mtl"), img + "trailing bytes are ignored");
    const CliRun r = Cli("dump --json " + Path("t.mtl"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(R"({"index": 1, "name": "T1Prefix", "kind": "text", "text": "[CR]A", "enabled": 0})"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(R"({"index": 7, "name": "T1Lrc", "kind": "switch", "text": "Enable", "enabled": 1})"),
              std::string::npos);
    EXPECT_NE(r.out.find(R"({"index": 3, "name": "T1Data", "kind": "data")"), std::string::npos);
    EXPECT_NE(r.out.find(R"({"index": 4, "name": "T1Terminator", "kind": "terminator")"), std::string::npos);
    EXPECT_NE(r.out.find(R"("trackEnabled": [1, 1, 1])"), std::string::npos);
    EXPECT_NE(r.out.find(R"("errorMode": 1)"), std::string::npos);
    EXPECT_NE(r.out.find(R"("baudIndex": 3)"), std::string::npos);
    EXPECT_NE(r.out.find(R"("parityIndex": 2)"), std::string::npos);
    EXPECT_NE(r.out.find(R"("outputDelay": 4)"), std::string::npos);
    EXPECT_NE(r.out.find(R"("oposMode": 1)"), std::string::npos);
    EXPECT_NE(r.out.find(R"("stopBitsText": "1 stop bit")"), std::string::npos);
    EXPECT_NE(r.out.find(R"("image": "0d41ffff)"), std::string::npos);
    EXPECT_NE(r.out.find("ff0f"), std::string::npos);
}

TEST_F(CliFileTest, DumpTextNamesFieldsAndListTexts)
{
    ASSERT_EQ(Cli("new " + Path("n.mtl")).code, 0);
    const CliRun r = Cli("dump " + Path("n.mtl"));
    ASSERT_EQ(r.code, 0);
    for (const char* s : {"CardPrefix", "T3Suffix", "CardSuffix", "9600 Hz", "None Parity", "8 Bits",
                          "No Hardware Flow Ctrl", "1 stop bit"})
        EXPECT_NE(r.out.find(s), std::string::npos) << s;
}

TEST_F(CliFileTest, FileRules)
{
    Write(Path("short.mtl"), std::string(63, 'A'));
    CliRun r = Cli("dump " + Path("short.mtl"));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "tovask-cli: " + Path("short.mtl") + ": Unexpected file format.\n");

    Write(Path("one.mtl"), "A");
    EXPECT_EQ(Cli("dump " + Path("one.mtl")).code, 2);

    r = Cli("dump " + Path("absent.mtl"));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("absent.mtl"), std::string::npos);

    Write(Path("empty.mtl"), "");
    r = Cli("dump " + Path("empty.mtl"));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("empty.mtl"), std::string::npos);

    r = Cli("new " + Path("no/such/dir/x.mtl"));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("x.mtl"), std::string::npos);
}

TEST_F(CliFileTest, APathFromTheRootIsAFileNotAnOption)
{
    // A folder on the drive of the current folder, named from its root:
    // "/work/build/..." on Windows too, where "/work" is not an option.
    const fs::path here = fs::current_path() / ("tovask-rooted-" + std::to_string(::getpid()));
    fs::create_directories(here);
    const std::string rooted = "/" + (here / "rooted.mtl").relative_path().generic_string();
    const CliRun made = Cli("new " + rooted);
    const CliRun dumped = Cli("dump --json " + rooted);
    const bool exists = fs::exists(here / "rooted.mtl");
    fs::remove_all(here);
    EXPECT_EQ(made.code, 0) << made.err;
    EXPECT_EQ(dumped.code, 0) << dumped.err;
    EXPECT_TRUE(exists) << rooted;
}

TEST_F(CliFileTest, UsageAndHelp)
{
    EXPECT_EQ(Cli("").code, 2);
    EXPECT_EQ(Cli("frobnicate").code, 2);
    EXPECT_EQ(Cli("dump").code, 2);
    EXPECT_EQ(Cli("dump --bogus x").code, 2);
    EXPECT_EQ(Cli("new").code, 2);
    for (const char* verb : {"", "new ", "dump ", "write ", "read ", "get ", "set ", "from-json ", "diff "}) {
        const CliRun r = Cli(std::string(verb) + "--help");
        EXPECT_EQ(r.code, 0) << verb;
        EXPECT_NE(r.out.find("Usage: tovask-cli"), std::string::npos) << verb;
    }
}

}  // namespace
