// swipe-test fed as a user's terminal or the reader's input device feeds it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <linux/input.h>
#endif

#include "cli/cli_run.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(CliSwipeTest, SetsWhatArrivedAgainstWhatTheLayoutGives)
{
    const fs::path dir = NewScratch("tovask-cli-swipe");
    const auto file = [&dir](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return Q((dir / name).string());
    };
#ifndef _WIN32
    // The reader's key events for ";12?": ; 1 2 and Shift+/ (the right Shift).
    std::string events;
    for (const auto& [code, value] : std::vector<std::pair<int, int>>{
             {42, 1}, {42, 0}, {39, 1}, {39, 0}, {2, 1}, {2, 0}, {3, 1}, {3, 0}, {54, 1}, {53, 1}, {53, 0}, {54, 0}}) {
        input_event e{};
        e.type = EV_KEY;
        e.code = static_cast<unsigned short>(code);
        e.value = value;
        e.input_event_usec = static_cast<long>(events.size() / sizeof e) * 4000;
        events.append(reinterpret_cast<const char*>(&e), sizeof e);
    }
    const std::string recorded = file("events", events);
#endif
    const std::string track = " --tracks " + Q(";12");
    const std::vector<CliCase> cases = {
        {"swipe-test --layout fr" + track + " < " + file("fr", "m&\xC3\xA9\xC2\xA7"), 0,
         {"Arrived:  m&\xC3\xA9\xC2\xA7\n", "Expected: m&\xC3\xA9\xC2\xA7 (layout fr, ",
          "  '\xC3\xA9' where the reader sent '2': layout fr\n", "Every key is what layout fr gives.\n"}},
        // The host typed US while fr was expected; Caps Lock on a letter.
        {"swipe-test --layout fr" + track + " < " + file("us", ";12?"), 3,
         {"  ';' where the reader sent ';': layout fr gives 'm'\n", "Not every key is what layout fr gives."}},
        {"swipe-test --layout us --tracks " + Q("AB;") + " < " + file("caps", "%ab?"), 3,
         {"  'a' where the reader sent 'A': Caps Lock on\n"}},
        {"swipe-test --json --layout us --tracks " + Q("AB;") + " < " + file("caps", "%ab?"), 3,
         {"\"arrived\": \"%ab?\"", "\"differences\": [\"'a' where the reader sent 'A': Caps Lock on\""}},
        {"swipe-test --layout us < " + file("empty", ""), 1, {"Nothing arrived.\n"}},
        {"swipe-test --layout nowhere < " + file("none", ""), 2, {"unknown keyboard layout \"nowhere\""}},
#ifndef _WIN32
        {"swipe-test --layout fr" + track + " --device " + recorded, 0,
         {"Keys:     ;12?\n", "Pace:     4 keys, gaps 8 to 12 ms (output delay 4 ms)\n",
          "Layout fr (libxkbcommon) makes of these keys: m&\xC3\xA9\xC2\xA7\n", "  key 0: ';' -> 'm'\n"}},
        {"swipe-test --device " + Q((dir / "missing").string()), 2, {"cannot read ", "No such file or directory"}},
#endif
    };
    ExpectCliCases(cases);
    RemoveScratch(dir);
}

}  // namespace
