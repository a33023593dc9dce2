#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "model/tovask_doc.h"
#include "printers.h"

namespace fs = std::filesystem;

namespace {

class FakeView : public IDocView {
public:
    void HideFieldEditors() override { ++hides; }
    bool UpdateTemplateFromPanel() override
    {
        ++panelTakes;
        return acceptPanel;
    }
    void OnDocumentChanged() override { ++changes; }
    int hides = 0;
    int panelTakes = 0;
    int changes = 0;
    bool acceptPanel = true;
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = NewScratch(std::string("tovask-doc-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        doc.SetView(&view);
    }
    void TearDown() override { RemoveScratch(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::uint8_t> ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // What the view's first paint does.
    void Paint()
    {
        if (doc.needsDecode) {
            doc.needsDecode = 0;
            doc.DecodeImage();
        }
    }

    fs::path dir;
    FakeView view;
    CTovaskDoc doc;
};

TEST_F(DocumentTest, ConstructionHoldsDefaultImageAwaitingDecode)
{
    CTovaskDoc fresh;
    EXPECT_EQ(fresh.needsDecode, 1);
    EXPECT_EQ(fresh.image, DefaultImage());
    EXPECT_EQ(fresh.imageTrailer, DefaultTrailer());
    EXPECT_EQ(fresh.Title(), "Template");
    EXPECT_EQ(fresh.record.formatFields[3].text, "***");
    EXPECT_EQ(fresh.record.formatFields[2].text, "Disable");
    EXPECT_EQ(fresh.record.baudIndex, 6);
    fresh.DecodeImage();
    EXPECT_EQ(fresh.record.formatFields[3].text, "");
    EXPECT_EQ(fresh.record.baudIndex, 2);
}

TEST_F(DocumentTest, DiagramTablesPlaceTheBoxes)
{
    const auto& t = doc.diagram;
    EXPECT_EQ(t.fieldBoxes[0].left, 75);
    EXPECT_EQ(t.fieldBoxes[0].top, 180);
    EXPECT_EQ(t.fieldBoxes[0].width, 42);
    EXPECT_EQ(t.fieldBoxes[25].top, 300);
    EXPECT_EQ(t.fieldBoxes[12].left, 239);
    EXPECT_EQ(t.fieldBoxes[12].top, 240);
    EXPECT_EQ(t.fieldBoxes[24].left + t.fieldBoxes[24].width, 462);
    EXPECT_STREQ(t.hoverLabels[3], "Data: Non-editable");
    EXPECT_STREQ(t.hoverLabels[13], "Seperator: ");
    EXPECT_EQ(t.normalBitmapIds[25], 188);
    EXPECT_EQ(t.changedBitmapIds[20], 216);
    // Boxes of a row abut: each starts where the one before ends.
    for (int k = 2; k <= 8; ++k)
        EXPECT_EQ(t.fieldBoxes[k].left, t.fieldBoxes[k - 1].left + t.fieldBoxes[k - 1].width) << k;
    // Border lines belong to no box.
    EXPECT_FALSE(t.fieldBoxes[1].Contains(116, 220));
    EXPECT_FALSE(t.fieldBoxes[2].Contains(116, 220));
    EXPECT_FALSE(t.fieldBoxes[0].Contains(75, 190));
    EXPECT_FALSE(t.fieldBoxes[0].Contains(117, 190));
    EXPECT_TRUE(t.fieldBoxes[0].Contains(76, 190));
}

TEST_F(DocumentTest, SavingNewTemplateWritesTheDefaultImage)
{
    Paint();
    const auto st = doc.SaveDocument(Path("new.mtl"));
    ASSERT_EQ(st.result, CTovaskDoc::SaveResult::Ok) << st.error;
    const auto bytes = ReadBytes(Path("new.mtl"));
    ASSERT_EQ(bytes.size(), 64u);
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(bytes[i], 0xFF);
    EXPECT_EQ(bytes[62], 0xCE);
    EXPECT_EQ(bytes[63], 0x04);
    EXPECT_EQ(view.panelTakes, 1);
    EXPECT_EQ(doc.Title(), "new.mtl");
}

TEST_F(DocumentTest, OpenTakesTheFirst64BytesAndSaveWrites64)
{
    std::vector<std::uint8_t> content(100);
    for (int i = 0; i < 100; ++i)
        content[i] = static_cast<std::uint8_t>(i + 1);
    WriteBytes(Path("long.mtl"), content);
    doc.fieldChanged[4] = 1;
    const auto st = doc.OpenDocument(Path("long.mtl"));
    ASSERT_EQ(st.result, CTovaskDoc::OpenResult::Ok);
    EXPECT_EQ(doc.needsDecode, 1);
    EXPECT_EQ(doc.fieldChanged[4], 0);
    EXPECT_EQ(doc.image[0], 1);
    EXPECT_EQ(doc.image[63], 64);
    EXPECT_EQ(doc.Title(), "long.mtl");
    EXPECT_EQ(view.changes, 1);
    Paint();
    ASSERT_EQ(doc.SaveDocument(Path("long.mtl")).result, CTovaskDoc::SaveResult::Ok);
    EXPECT_EQ(ReadBytes(Path("long.mtl")).size(), 64u);
}

TEST_F(DocumentTest, ShortFileIsUnexpectedAndContinuesAsNew)
{
    for (int size : {1, 32, 63}) {
        doc.image[0] = 0x11;
        doc.needsDecode = 0;
        const int hidesBefore = view.hides;
        WriteBytes(Path("short.mtl"), std::vector<std::uint8_t>(size, 0x41));
        const auto st = doc.OpenDocument(Path("short.mtl"));
        EXPECT_EQ(st.result, CTovaskDoc::OpenResult::TooShort) << size;
        EXPECT_EQ(st.error, "Unexpected file format.");
        EXPECT_EQ(doc.image, DefaultImage()) << size;
        EXPECT_EQ(doc.needsDecode, 1);
        EXPECT_EQ(doc.Title(), "Template");
        EXPECT_EQ(view.hides, hidesBefore + 1);
    }
}

TEST_F(DocumentTest, EmptyFileTakesOnlyTheName)
{
    Paint();
    doc.image[5] = 0x42;
    doc.fieldChanged[1] = 1;
    WriteBytes(Path("empty.mtl"), {});
    const TemplateRecord before = doc.record;
    const auto st = doc.OpenDocument(Path("empty.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::OpenResult::Empty);
    EXPECT_EQ(doc.image[5], 0x42);
    EXPECT_EQ(doc.needsDecode, 0);
    EXPECT_EQ(doc.record, before);
    EXPECT_EQ(doc.Title(), "empty.mtl");
}

TEST_F(DocumentTest, MissingFileLeavesDocumentAsItWas)
{
    Paint();
    doc.image[5] = 0x42;
    const auto st = doc.OpenDocument(Path("absent.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::OpenResult::CannotOpen);
    EXPECT_FALSE(st.error.empty());
    EXPECT_EQ(doc.image[5], 0x42);
    EXPECT_EQ(doc.Title(), "Template");
    const auto dirSt = doc.OpenDocument(dir.string());
    EXPECT_EQ(dirSt.result, CTovaskDoc::OpenResult::CannotOpen);
}

TEST_F(DocumentTest, RefusedPanelAbandonsTheSave)
{
    WriteBytes(Path("keep.mtl"), std::vector<std::uint8_t>(64, 0x30));
    Paint();
    doc.record.formatFields[1].text = "X";
    view.acceptPanel = false;
    const ConfigImage before = doc.image;
    const auto st = doc.SaveDocument(Path("keep.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::SaveResult::Abandoned);
    EXPECT_EQ(doc.image, before);  // nothing encoded
    EXPECT_EQ(ReadBytes(Path("keep.mtl")), std::vector<std::uint8_t>(64, 0x30));
}

TEST_F(DocumentTest, FailedSaveKeepsThePreviousFile)
{
    WriteBytes(Path("keep.mtl"), std::vector<std::uint8_t>(64, 0x30));
    Paint();
    fs::permissions(Path("keep.mtl"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto st = doc.SaveDocument(Path("keep.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::SaveResult::Failed);
    EXPECT_EQ(st.error, "Permission denied (the file is read-only)");
    EXPECT_EQ(doc.Title(), "Template");
    EXPECT_EQ(ReadBytes(Path("keep.mtl")), std::vector<std::uint8_t>(64, 0x30));
}

TEST_F(DocumentTest, SaveIntoMissingFolderFailsWithoutLeavingFiles)
{
    Paint();
    const auto st = doc.SaveDocument(Path("no/such/folder/x.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::SaveResult::Failed);
    EXPECT_FALSE(st.error.empty());
    EXPECT_EQ(doc.Title(), "Template");
}

TEST_F(DocumentTest, SaveOverADirectoryFailsAndLeavesNoTemporaryFile)
{
    Paint();
    fs::create_directories(Path("taken.mtl"));
    const auto st = doc.SaveDocument(Path("taken.mtl"));
    EXPECT_EQ(st.result, CTovaskDoc::SaveResult::Failed);
    EXPECT_TRUE(fs::is_directory(Path("taken.mtl")));
    int files = 0;
    for (auto& e : fs::directory_iterator(dir))
        files += e.is_regular_file();
    EXPECT_EQ(files, 0);
}

TEST_F(DocumentTest, NewDiscardsEditsAndClosesTheEditor)
{
    Paint();
    doc.record.formatFields[1].text = "ABC";
    doc.fieldChanged[1] = 1;
    doc.image[0] = 0x41;
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(view.hides, 1);
    EXPECT_EQ(doc.image, DefaultImage());
    EXPECT_EQ(doc.fieldChanged[1], 0);
    EXPECT_EQ(doc.needsDecode, 1);
    Paint();
    EXPECT_EQ(doc.record.formatFields[1].text, "");
}

TEST_F(DocumentTest, SavedFilesReopenToTheSameRecordAndBytes)
{
    std::mt19937 rng(99);
    for (int n = 0; n < 50; ++n) {
        ConfigImage img;
        for (auto& b : img)
            b = static_cast<std::uint8_t>(rng());
        WriteBytes(Path("r.mtl"), {img.begin(), img.end()});
        ASSERT_EQ(doc.OpenDocument(Path("r.mtl")).result, CTovaskDoc::OpenResult::Ok);
        Paint();
        ASSERT_EQ(doc.SaveDocument(Path("r.mtl")).result, CTovaskDoc::SaveResult::Ok);
        const auto first = ReadBytes(Path("r.mtl"));
        const TemplateRecord rec = doc.record;
        ASSERT_EQ(doc.OpenDocument(Path("r.mtl")).result, CTovaskDoc::OpenResult::Ok);
        Paint();
        EXPECT_EQ(doc.record, rec);
        ASSERT_EQ(doc.SaveDocument(Path("r.mtl")).result, CTovaskDoc::SaveResult::Ok);
        EXPECT_EQ(ReadBytes(Path("r.mtl")), first);
        // Bits 4 to 6 of the track 2 and 3 bytes travel unchanged.
        EXPECT_EQ(first[0x34] & 0x70, img[0x34] & 0x70);
        EXPECT_EQ(first[0x35] & 0x70, img[0x35] & 0x70);
    }
}

TEST_F(DocumentTest, ResetImageLeavesTheRecord)
{
    Paint();
    doc.record.formatFields[0].text = "AB";
    doc.fieldChanged.fill(1);
    doc.image.fill(0);
    doc.imageTrailer.fill(0);
    doc.ResetImage();
    EXPECT_EQ(doc.image, DefaultImage());
    EXPECT_EQ(doc.imageTrailer, DefaultTrailer());
    for (int f : doc.fieldChanged)
        EXPECT_EQ(f, 0);
    EXPECT_EQ(doc.record.formatFields[0].text, "AB");
}

}  // namespace
