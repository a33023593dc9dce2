// get, set, from-json and diff as a script uses them, and the file and output
// errors of every verb.
#include <gtest/gtest.h>

#include "cli/cli_run.h"
#include "scratch_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class CliEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = NewScratch("tovask-cli-edit");
    }
    void TearDown() override { RemoveScratch(dir); }
    std::string Path(const std::string& n) const { return (dir / n).string(); }
    static void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A new template with a few bytes that no value owns set.
    std::string Template(const std::string& name)
    {
        EXPECT_EQ(Cli("new " + Q(Path(name))).code, 0);
        std::string img = Read(Path(name));
        img[0x34] = static_cast<char>(0xBE);  // bits 4 to 6 of the track 2 byte belong to nothing
        Write(Path(name), img);
        return img;
    }
    fs::path dir;
};

TEST_F(CliEditTest, SetRefusesEachBadValueAndLeavesTheFile)
{
    const std::string before = Template("t.mtl");
    const auto stamp = fs::last_write_time(Path("t.mtl")) - std::chrono::hours(2);
    fs::last_write_time(Path("t.mtl"), stamp);
    struct Case {
        const char* assignments;
        const char* message;
    };
    const Case cases[] = {
        {"CardPrefix=ABCDE", "CardPrefix: card prefix/suffix error! (5 bytes; the field holds at most 4)"},
        {"CardSuffix=[X", "CardSuffix: card prefix/suffix error! (\"[X\" at character 1 is none of [CR], [LF], [TB], "
                          "[[ or [XX] with two hex digits)"},
        {"T2Prefix=[CR][LF]1234567", "T2Prefix: track prefix/suffix error! (9 bytes; the field holds at most 8)"},
        {"T3Suffix=A[cr]", "T3Suffix: track prefix/suffix error! (\"[cr]\" at character 2 is none of [CR], [LF], [TB], "
                           "[[ or [XX] with two hex digits)"},
        {"T1Terminator=[CR][LF]", "T1Terminator: field terminator error! (2 bytes; the field holds at most 1)"},
        // 0xFF marks a free byte in the image: stored, it would be lost.
        {"T1Suffix=A[FF]", "T1Suffix: track prefix/suffix error! (byte [FF] cannot be stored: the reader takes it for "
                           "a free byte)"},
        {"outputDelay=0", "outputDelay: Enter an integer between 1 and 200."},
        {"outputDelay=201", "outputDelay: Enter an integer between 1 and 200."},
        {"outputDelay=256", "outputDelay: Enter an integer between 0 and 255."},
        {"outputDelay=-5", "outputDelay: Enter an integer between 0 and 255."},
        {"T1Lrc=yes", "T1Lrc: use Enable, Disable, 1 or 0"},
        {"T2Data=x", "T2Data: the card data of a track is not editable"},
        {"trackEnabled=1,1", "trackEnabled: use three values 0 or 1, one per track, as 1,1,0"},
        {"trackEnabled=1,2,1", "trackEnabled: use three values 0 or 1, one per track, as 1,1,0"},
        {"oposMode=2", "oposMode: use 0 or 1"},
        {"baudIndex=4", "baudIndex: use -1 (no selection) or 0 to 3 (0 2400 Hz, 1 4800 Hz, 2 9600 Hz, 3 19200 Hz)"},
        {"parityIndex=-2", "parityIndex: use -1 (no selection) or 0 to 2 (0 None Parity, 1 Even Parity, 2 Odd parity)"},
        {"flowControlIndex=1x", "flowControlIndex: use -1 (no selection) or 0 to 1 (0 Flow Ctrl with CTS/RTS, 1 No Hardware Flow Ctrl)"},
        // All or none: a good value before a refused one is not saved either.
        {"T1Prefix=OK errorMode=1 dataBitsIndex=2", "dataBitsIndex: use -1 (no selection) or 0 to 1 (0 7 Bits, 1 8 Bits)"},
    };
    for (const Case& c : cases) {
        std::string args;
        for (std::size_t pos = 0, end; pos != std::string::npos; pos = end == std::string::npos ? end : end + 1) {
            end = std::string_view(c.assignments).find(' ', pos);
            args += " " + Q(std::string(c.assignments).substr(pos, end - pos));
        }
        const CliRun r = Cli("set " + Q(Path("t.mtl")) + args);
        EXPECT_EQ(r.code, 2) << c.assignments;
        EXPECT_EQ(r.err, std::string("tovask-cli: ") + c.message + "\n");
        EXPECT_EQ(Read(Path("t.mtl")), before) << c.assignments;
        EXPECT_EQ(fs::last_write_time(Path("t.mtl")), stamp) << c.assignments;
    }
    // A name that is none is bad usage.
    EXPECT_EQ(Cli("set " + Q(Path("t.mtl")) + " Bogus=1").code, 2);
    EXPECT_EQ(Cli("set " + Q(Path("t.mtl")) + " T1Prefix").code, 2);
    EXPECT_EQ(Read(Path("t.mtl")), before);
}

TEST_F(CliEditTest, SetChangesValuesInPlaceAndGetPrintsThem)
{
    const std::string before = Template("t.mtl");
    const CliRun set = Cli("set " + Q(Path("t.mtl")) + " " + Q("T1Prefix=[CR][LF]") + " " + Q("T2Terminator=[TB]") +
                           " " + Q("CardSuffix=[[x]") + " T3Lrc=Enable T1Separator=0 trackEnabled=0,1,0 errorMode=1 " +
                           Q("outputDelay= 200") + " baudIndex=-1 parityIndex=2 oposMode=1");
    ASSERT_EQ(set.code, 0) << set.err;
    const std::string after = Read(Path("t.mtl"));
    ASSERT_EQ(after.size(), 64u);
    EXPECT_EQ(after.substr(0, 8), std::string("\x0D\x0A") + std::string(6, '\xFF'));
    EXPECT_EQ(after[0x31], '\x09');
    EXPECT_EQ(after[0x34] & 0x70, before[0x34] & 0x70);  // bits that no value owns stay
    EXPECT_EQ(after[0x3E] & 0x07, before[0x3E] & 0x07);  // no baud selection keeps the baud bits
    EXPECT_EQ(static_cast<unsigned char>(after[0x3F]), 200);
    const std::pair<const char*, const char*> expected[] = {
        {"T1Prefix", "[CR][LF]"}, {"T2Terminator", "[TB]"}, {"CardSuffix", "[[x]"}, {"T3Lrc", "Enable"},
        {"T1Separator", "Disable"}, {"T1Suffix", ""}, {"T2Data", ""}, {"trackEnabled", "0,1,0"},
        {"errorMode", "1"}, {"outputDelay", "200"}, {"baudIndex", "2"}, {"parityIndex", "2"}, {"oposMode", "1"},
    };
    for (const auto& [name, value] : expected) {
        const CliRun r = Cli("get " + Q(Path("t.mtl")) + " " + name);
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_EQ(r.out, std::string(value) + "\n") << name;
    }
    EXPECT_EQ(Cli("get " + Q(Path("t.mtl")) + " Bogus").code, 2);
}

// Every printed form shows a text's bytes one way (escape notation, [XX] for
// any other byte outside printable ASCII) and set takes it back: a control
// byte never looks like the characters "<02>", and no raw control byte reaches
// the terminal.
TEST_F(CliEditTest, TextsPrintInOneFormThatSetTakesBack)
{
    ASSERT_EQ(Cli("new " + Q(Path("t.mtl"))).code, 0);
    const std::pair<const char*, const char*> values[] = {
        {"CardPrefix", "<02>"}, {"CardSuffix", "[02]"}, {"T1Prefix", "caf[e9][CR]"}, {"T2Suffix", "[[02][1B]"},
        {"T3Terminator", "[7F]"},
    };
    std::string args;
    for (const auto& [name, value] : values)
        args += " " + Q(std::string(name) + "=" + value);
    ASSERT_EQ(Cli("set " + Q(Path("t.mtl")) + args).code, 0);
    const std::string bytes = Read(Path("t.mtl"));
    EXPECT_EQ(bytes.substr(0, 5), "caf\xE9\x0D");
    EXPECT_EQ(bytes.substr(0x36, 4), "<02>");
    EXPECT_EQ(bytes.substr(0x3A, 1), "\x02");
    const std::string shown[] = {"<02>", "[02]", "caf[E9][CR]", "[[02][1B]", "[7F]"};
    std::string sets;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const CliRun r = Cli("get " + Q(Path("t.mtl")) + " " + values[i].first);
        EXPECT_EQ(r.out, shown[i] + std::string("\n")) << values[i].first;
        sets += " " + Q(std::string(values[i].first) + "=" + shown[i]);
    }
    // What get printed, set again, gives the same bytes.
    ASSERT_EQ(Cli("new " + Q(Path("u.mtl"))).code, 0);
    ASSERT_EQ(Cli("set " + Q(Path("u.mtl")) + sets).code, 0);
    EXPECT_EQ(Read(Path("u.mtl")), bytes);

    ASSERT_EQ(Cli("new " + Q(Path("n.mtl"))).code, 0);
    const std::pair<std::string, std::string> printed[] = {
        {"diff " + Q(Path("n.mtl")) + " " + Q(Path("t.mtl")), "CardPrefix: \"\" -> \"<02>\"\nT1Prefix: \"\" -> \"caf[E9][CR]\"\n"},
        {"dump " + Q(Path("t.mtl")), " 16 T2Suffix         \"[[02][1B]\"\n"},
        {"dump --json " + Q(Path("t.mtl")), "\"text\": \"caf[E9][CR]\""},
        {"preview " + Q(Path("t.mtl")), "Sent:     <02>caf[E9][CR]%B"},
    };
    for (const auto& [args, part] : printed) {
        const std::string out = Cli(args).out;
        EXPECT_NE(out.find(part), std::string::npos) << args << "\n" << out;
        EXPECT_EQ(out.find_first_of(std::string("\x00\x01\x02\x0D\x1B\x7F\xE9", 7)), std::string::npos) << args;
    }
    // dump --json and from-json give the file back.
    ASSERT_EQ(Cli("dump --json " + Q(Path("t.mtl")) + " | " + TOVASK_CLI_PATH + " from-json - " + Q(Path("j.mtl"))).code, 0);
    EXPECT_EQ(Read(Path("j.mtl")), bytes);
}

TEST_F(CliEditTest, DiffListsChangedValuesAndUnownedBytes)
{
    Template("a.mtl");
    fs::copy_file(Path("a.mtl"), Path("b.mtl"));
    CliRun r = Cli("diff " + Q(Path("a.mtl")) + " " + Q(Path("b.mtl")));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");

    ASSERT_EQ(Cli("set " + Q(Path("b.mtl")) + " " + Q("T1Prefix=A[CR]") + " T1Lrc=1 outputDelay=9").code, 0);
    std::string b = Read(Path("b.mtl"));
    b[0x34] = static_cast<char>(b[0x34] ^ 0x22);  // a start sentinel and a bit that no value owns
    Write(Path("b.mtl"), b);
    r = Cli("diff " + Q(Path("a.mtl")) + " " + Q(Path("b.mtl")));
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out,
              "T1Prefix: \"\" -> \"A[CR]\"\n"
              "T1Lrc: Disable -> Enable\n"
              "T2StartSentinel: Enable -> Disable\n"
              "outputDelay: 4 -> 9\n"
              "image: 0x34: be -> 9c\n");

    // Bytes that decode to the same values still make the files differ.
    std::string c = Read(Path("a.mtl"));
    c[0x3F] = 0;  // an output delay of 0 reads as 4
    Write(Path("c.mtl"), c);
    r = Cli("diff " + Q(Path("a.mtl")) + " " + Q(Path("c.mtl")));
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, "image: 0x3f: 04 -> 00\n");

    EXPECT_EQ(Cli("diff " + Q(Path("a.mtl")) + " " + Q(Path("absent.mtl"))).code, 2);
    EXPECT_EQ(Cli("diff " + Q(Path("a.mtl"))).code, 2);
}

TEST_F(CliEditTest, FromJsonBuildsOnTheGivenImageOrTheDefault)
{
    const std::string img = Template("a.mtl");
    // Keys left out keep the base's values; without "image" the base is a new template.
    Write(Path("some.json"),
          R"({"format": "tovask-template-1", "outputDelay": 7,
              "formatFields": [{"name": "T1Prefix", "text": "\u00e9\r"}, {"index": 7, "enabled": 1}]})");
    CliRun r = Cli("from-json " + Q(Path("some.json")) + " " + Q(Path("out.mtl")));
    ASSERT_EQ(r.code, 0) << r.err;
    std::string expected(62, '\xFF');
    expected += "\xCE\x07";
    expected.replace(0, 2, "\xE9\x0D");
    expected[0x33] = static_cast<char>(0xFF & ~0x80);  // T1Lrc enabled: the LRC bit is active-low
    EXPECT_EQ(Read(Path("out.mtl")), expected);

    // With the image, its bytes are the base: the unowned bits survive.
    r = Cli("dump --json " + Q(Path("a.mtl")) + " | " + TOVASK_CLI_PATH + " from-json - " + Q(Path("b.mtl")));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read(Path("b.mtl")), img);
}

TEST_F(CliEditTest, FromJsonRefusesWhatItCannotTrust)
{
    const std::string head = R"({"format": "tovask-template-1", )";
    const std::pair<std::string, std::string> cases[] = {
        {R"({"format": "tovask-template-2"})",
         R"(format: "tovask-template-2" is not known; this tovask-cli reads "tovask-template-1")"},
        {R"({"outputDelay": 4})", R"(format: missing; expected "format": "tovask-template-1")"},
        {head + R"("outputDelay": 4,})", "line 1, column 50: expected a key in double quotes"},
        {head + "\n\"oposMode\": 1", "line 2, column 14: unexpected end, expected ','"},
        {head + R"("colour": 1})", "colour: unknown key"},
        {head + R"("outputDelay": 0})", "outputDelay: Enter an integer between 1 and 200."},
        {head + R"("outputDelay": "4"})", "outputDelay: expected a number"},
        {head + R"("baudIndex": 8})", "baudIndex: use -1 (no selection) or 0 to 3 (0 2400 Hz, 1 4800 Hz, 2 9600 Hz, 3 19200 Hz)"},
        {head + R"("stopBitsText": "2 stop bits"})", R"(stopBitsText: is always "1 stop bit")"},
        {head + R"("image": "00ff"})", "image: expected a string of 128 hex digits (the 64 bytes)"},
        {head + R"("formatFields": [{"name": "T1Prefix", "text": "\u20ac"}]})",
         "T1Prefix: text holds a character beyond U+00FF, which is no single byte"},
        {head + R"("formatFields": [{"name": "T1Prefix", "text": "123456789"}]})",
         "T1Prefix: track prefix/suffix error! (9 bytes; the field holds at most 8)"},
        {head + R"("formatFields": [{"name": "T1Prefix", "text": "\u00ff"}]})",
         "T1Prefix: track prefix/suffix error! (byte [FF] cannot be stored: the reader takes it for a free byte)"},
        {head + R"("formatFields": [{"name": "T1Lrc", "text": "Enable", "enabled": 0}]})", "T1Lrc: text and enabled disagree"},
        {head + R"("formatFields": [{"name": "T1Lrc", "index": 6}]})", "formatFields[0]: index does not match the name"},
        {head + R"("formatFields": [{"name": "T1Lrc"}, {"index": 7}]})", "T1Lrc: given twice"},
        {std::string(100, '[') + std::string(100, ']'), "line 1, column 66: nested too deeply"},
    };
    for (const auto& [json, message] : cases) {
        Write(Path("bad.json"), json);
        const CliRun r = Cli("from-json - " + Q(Path("out.mtl")) + " < " + Q(Path("bad.json")));
        EXPECT_EQ(r.code, 2) << json;
        EXPECT_EQ(r.err, "tovask-cli: standard input: " + message + "\n") << json;
        EXPECT_FALSE(fs::exists(Path("out.mtl"))) << json;
    }
}

TEST_F(CliEditTest, ErrorsNameTheFileAndTheCause)
{
    Template("t.mtl");
    Write(Path("short.mtl"), "abc");
    fs::create_directory(Path("folder.mtl"));
    Template("ro.mtl");
    fs::permissions(Path("ro.mtl"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::pair<std::string, std::string> cases[] = {
        {"get " + Q(Path("short.mtl")) + " T1Prefix", Path("short.mtl") + ": Unexpected file format."},
        {"set " + Q(Path("absent.mtl")) + " T1Prefix=A", Path("absent.mtl") + ": No such file or directory"},
        {"dump " + Q(Path("folder.mtl")), Path("folder.mtl") + ": Is a directory"},
        {"set " + Q(Path("ro.mtl")) + " T1Prefix=A", Path("ro.mtl") + ": Permission denied (the file is read-only)"},
        {"from-json " + Q(Path("absent.json")) + " " + Q(Path("x.mtl")), Path("absent.json") + ": No such file or directory"},
#ifndef _WIN32
        {"from-json /dev/zero " + Q(Path("x.mtl")), "/dev/zero: too large for a template's JSON form (over 1 MiB)"},
        // A failed write to standard output is an error too.
        {"dump " + Q(Path("t.mtl")) + " >/dev/full", "standard output: No space left on device"},
        {"dump --json " + Q(Path("t.mtl")) + " >/dev/full", "standard output: No space left on device"},
        {"get " + Q(Path("t.mtl")) + " T1Prefix >/dev/full", "standard output: No space left on device"},
#endif
    };
    // A file error is 2, output that cannot be written 1, for every verb.
    for (const auto& [args, message] : cases) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, message.starts_with("standard output: ") ? 1 : 2) << args;
        EXPECT_EQ(r.err, "tovask-cli: " + message + "\n") << args;
    }
#ifndef _WIN32
    const CliRun r = Cli("diff " + Q(Path("t.mtl")) + " " + Q(Path("short.mtl")) + " >/dev/full");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "tovask-cli: " + Path("short.mtl") + ": Unexpected file format.\n");
    ASSERT_EQ(Cli("new " + Q(Path("new.mtl"))).code, 0);
    EXPECT_EQ(Cli("diff " + Q(Path("t.mtl")) + " " + Q(Path("new.mtl")) + " >/dev/full").code, 1);
#endif
}

}  // namespace
