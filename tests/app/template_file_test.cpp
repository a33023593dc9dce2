// The editor's saves next to the command-line tool's, and what the editor
// shows when a save fails.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cli/cli_run.h"
#include "gui_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string HexOf(const std::string& bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes)
        out += std::string{digits[b >> 4], digits[b & 15]};
    return out;
}

class TemplateFileTest : public FrameFixture {};

TEST_F(TemplateFileTest, FromJsonOfADumpIsWhatTheEditorSavesWithAComPort)
{
    Start(portKindCOM1);
    QTemporaryDir dir;
    const std::string in = dir.filePath("in.mtl").toStdString();
    const std::string editor = dir.filePath("editor.mtl").toStdString();
    const std::string tool = dir.filePath("tool.mtl").toStdString();
    const std::string json = dir.filePath("dump.json").toStdString();
    // Random images, half of their bytes from those that test the notation,
    // the JSON escapes and the free byte.
    const unsigned char special[] = {0x00, 0x09, 0x0A, 0x0D, 0x22, 0x5B, 0x5C, 0x5D, 0x7F, 0x80, 0xE9, 0xFF};
    std::mt19937 rng(14);
    for (int n = 0; n < 100; ++n) {
        std::string image(64, '\0');
        for (char& b : image)
            b = static_cast<char>(rng() % 2 ? special[rng() % sizeof special] : rng());
        std::ofstream(in, std::ios::binary) << image;
        ASSERT_TRUE(frame->OpenFile(QString::fromStdString(in)));
        view().grab();  // the paint decodes the image into the record and the panel
        ASSERT_TRUE(frame->SaveFile(QString::fromStdString(editor)));
        // Two runs, no pipeline: Wine's cmd.exe now and then fails to start
        // the second program of one.
        const CliRun dump = Cli("dump --json " + Q(in));
        ASSERT_EQ(dump.code, 0) << dump.err;
        std::ofstream(json, std::ios::binary) << dump.out;
        const CliRun r = Cli("from-json " + Q(json) + " " + Q(tool));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(HexOf(ReadAll(tool)), HexOf(ReadAll(editor))) << "image " << HexOf(image);
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(TemplateFileTest, FailedSaveShowsTheFileAndTheCause)
{
    Start();
    QTemporaryDir dir;
    const QString path = dir.filePath("ro.mtl");
    ASSERT_TRUE(frame->SaveFile(path));
    fs::permissions(path.toStdString(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(frame->SaveFile(path));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "Cannot save " + path.toStdString() + ":\nPermission denied (the file is read-only)");
}

}  // namespace
