// preview and check-layout, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(CliPreview, PrintsWhatTheReaderSendsAndWhatTheHostReceives)
{
    const fs::path dir = NewScratch("tovask-cli-preview");
    const std::string file = Q((dir / "shop.mtl").string());
    ASSERT_EQ(Cli("new " + file).code, 0);
    ASSERT_EQ(Cli("set " + file + " " + Q("T2Suffix=[CR]") + " T2Lrc=Enable trackEnabled=0,1,0").code, 0);
    const std::string card = Q((dir / "card.mtl").string());
    ASSERT_EQ(Cli("new " + card).code, 0);
    ASSERT_EQ(Cli("set " + card + " " + Q("T1Suffix=[LF]") + " " + Q("CardPrefix=#") + " trackEnabled=1,0,0").code, 0);

    const std::vector<CliCase> cases = {
        {"preview " + file, 0,
         {"Sent:     ;4000123456789010=29121010000000000000?5[CR]\n",
          "MR Test:  ;4000123456789010=29121010000000000000?5<D>\n", "Beeps:    none\n",
          "one byte every 4 ms: 41 bytes in 164 ms"}},
        {"preview " + file + " --layout us", 0, {"Every character arrives as sent."}},
        {"preview " + file + " --layout de", 5,
         {"Layout de (", ") receives: \xC3\xB6" "4000123456789010" "9121", "byte 0: ';' -> '\xC3\xB6'",
          "byte 17: '=' -> dead key (dead_acute)", "byte 18: '2' -> nothing (after dead_acute)",
          "byte 38: '?' -> '_'"}},
        {"preview " + card + " --layout us --caps-lock", 5,
         {"Layout us (", ", Caps Lock on) receives: #%b4000123456789010^sample/card^",
          "byte 2: 'B' -> 'b'", "'[LF]' -> Ctrl+J: a shortcut in many programs"}},
        {"preview " + card + " --tracks " + Q("A;;") + " --json", 0, {"\"text\": \"#%A?[LF]\""}},
        {"preview " + card + " --tracks " + Q("A;;") + " --layout us --json", 5,
         {"{\"offset\": 4, \"char\": \"<A>\", \"becomes\": \"\\n\", \"dead\": false, \"key\": \"Ctrl+J\"}"}},
        {"preview " + file + " --tracks " + Q(";12=3") + " --damaged 2", 0, {"Sent:     \n"}},
        {"preview " + file + " --tracks " + Q("AB;12") + " --layout fr --json", 5,
         {"\"format\": \"tovask-preview-1\"", "\"bytes\": \"3b31323f370d\"", "\"text\": \";12?7[CR]\"",
          "\"typed\": \"m&\\u00e9\\u00a7\\u00e8\\r\"",
          "{\"offset\": 0, \"char\": \";\", \"becomes\": \"m\", \"dead\": false}"}},
        {"preview " + file + " --tracks " + Q("a;;") , 2, {"'a' is not a track 1 character"}},
        {"preview " + file + " --damaged 3", 2, {"track 3 is not on the card"}},
        {"preview " + file + " --layout nowhere", 2, {"unknown keyboard layout \"nowhere\""}},
        {"check-layout " + file + " --layout us", 0, {"us (", "): every character arrives as sent"}},
        {"check-layout " + card + " --layout us,de", 5,
         {"  T1Suffix: '[LF]' -> Ctrl+J: a shortcut in many programs\n",
          "  with Caps Lock on, also:\n    track 1 data: 'A' -> 'a' (on the sample card), ",
          "  CardPrefix: '#' -> '\xC2\xA7'\n    send '\\' instead of '#' to receive it on de\n"}},
        {"check-layout " + file + " --layout us,tr", 5,
         {"T2StartSentinel: ';' -> '\xC5\x9F'", "T2Separator: '=' -> '-'", "T2StopSentinel: '?' -> ':'",
          "track 2 LRC: "}},
        {"check-layout " + file, 2, {"--layout"}},
        // No rule asks desktops for a fixed layout: none of Debian 12's applies one.
        {"udev-rule --fixed-layout us", 2, {"--fixed-layout"}},
    };
    ExpectCliCases(cases);
    RemoveScratch(dir);
}

}  // namespace
