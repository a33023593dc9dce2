// The editor's command line: what starts the editor with which options, and
// what answers and ends the program with which exit code.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "tovask_version.h"

namespace {

struct Case {
    QStringList args;
    int exitCode;          // -1: the editor starts
    const char* out;       // expected start of standard output ("" none)
    const char* err;       // a text standard error contains ("" none)
    bool simulate;
    SimFault fault;
    const char* file;
};

TEST(EditorCommandLine, OptionsExitCodesAndTexts)
{
    const Case cases[] = {
        {{}, -1, "", "", false, SimFault::None, ""},
        {{"shop.mtl"}, -1, "", "", false, SimFault::None, "shop.mtl"},
        {{"--simulate", "--fault=garble", "a.mtl"}, -1, "", "", true, SimFault::Garble, "a.mtl"},
        {{"--fault", "refuse=2", "--simulate"}, -1, "", "", true, SimFault::Refuse, ""},
        // Qt's own options are QApplication's, with or without their value.
        {{"-platform", "offscreen", "-reverse", "-style=fusion", "b.mtl"}, -1, "", "", false, SimFault::None, "b.mtl"},
        {{"--help"}, 0, "Usage: tovask [options] [FILE]\n", "", false, SimFault::None, ""},
        {{"-h", "--simulate"}, 0, "Usage: ", "", false, SimFault::None, ""},
        {{"--version"}, 0, "tovask " TOVASK_VERSION "\n", "", false, SimFault::None, ""},
        {{"-v"}, 0, "tovask " TOVASK_VERSION "\n", "", false, SimFault::None, ""},
        {{"--frobnicate"}, 2, "", "Unknown option 'frobnicate'", false, SimFault::None, ""},
        {{"--simulate=yes"}, 2, "", "Usage: ", false, SimFault::None, ""},
        {{"a.mtl", "b.mtl"}, 2, "", "one file at most", false, SimFault::None, ""},
        {{"--simulate", "--fault=wobble"}, 2, "", "unknown fault 'wobble'", false, SimFault::None, ""},
        {{"--fault"}, 2, "", "Missing value after '--fault'", false, SimFault::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EditorOptions options;
        options.file = "untouched";
        const CommandLineOutcome r = ParseEditorCommandLine(c.args, options);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out.left(qstrlen(c.out)), c.out) << r.out.toStdString();
        EXPECT_EQ(r.out.isEmpty(), *c.out == '\0');
        EXPECT_TRUE(*c.err == 0 || r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_EQ(r.err.isEmpty(), *c.err == '\0');
        if (c.exitCode == -1) {
            EXPECT_EQ(options.simulate, c.simulate);
            EXPECT_EQ(options.fault.fault, c.fault);
            EXPECT_EQ(options.file, c.file);
        } else {
            EXPECT_EQ(options.file, "untouched");  // nothing is half-applied
        }
    }
}

TEST(EditorCommandLine, HelpNamesEveryOptionAndTheFile)
{
    EditorOptions options;
    const QString help = ParseEditorCommandLine({"--help"}, options).out;
    for (const char* word : {"--help", "--version", "--simulate", "--fault <NAME>", "[FILE]", "refuse[=N]", "cts-low"})
        EXPECT_TRUE(help.contains(word)) << word << "\n" << help.toStdString();
}

}  // namespace
