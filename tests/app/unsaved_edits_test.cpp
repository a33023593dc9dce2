// Every way out of a template with unsaved edits asks whether to save them,
// and each answer does what it says; an unedited template asks nothing.
#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gui_fixture.h"
#include "model/config_image.h"

namespace fs = std::filesystem;

namespace {

using Choice = IMessageSink::SaveChoice;

enum class Way { New, Open, Recent, Exit, CloseBox };
const char* const kWayNames[] = {"New", "Open", "recent file", "Exit", "close box"};

struct Case {
    const char* what;
    bool edited;
    Choice answer;
    bool titled;       // the template came from a file (mine.mtl) before the edit
    bool readOnly;     // that file cannot be written
    QString saveAsName;  // the name given to Save As; empty: cancelled
    bool leaves;       // the way out is taken and the edit goes (saved or not)
};

const Case kCases[] = {
    {"unedited", false, Choice::Cancel, false, false, "", true},
    {"cancel", true, Choice::Cancel, true, false, "", false},
    {"discard", true, Choice::Discard, true, false, "", true},
    {"save into its file", true, Choice::Save, true, false, "", true},
    {"save an untitled template as", true, Choice::Save, false, false, "saved", true},
    {"save as cancelled", true, Choice::Save, false, false, "", false},
    {"save into a read-only file", true, Choice::Save, true, true, "", false},
};

class UnsavedEditsTest : public FrameFixture {
protected:
    // Track 1's prefix of the template in a file, or "" when there is none.
    static std::string PrefixInFile(const QString& path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        ConfigImage image{};
        if (!in.read(reinterpret_cast<char*>(image.data()), image.size()))
            return "";
        TemplateRecord record;
        DecodeImage(image, record);
        return record.formatFields[1].text;
    }
    void EditTrack1Prefix(const QString& text)
    {
        view().OpenFieldEditor(1);
        view().fieldEdit->setText(text);
        QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    }
    QAction* Action(const QString& text)
    {
        for (QAction* a : frame->findChildren<QAction*>())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    // Open's file dialog names other.
    void TakeWay(Way way, const QString& other)
    {
        switch (way) {
        case Way::New:
            Action("&New")->trigger();
            break;
        case Way::Open:
            Action("&Open...")->trigger();
            break;
        case Way::Recent:
            frame->RecentActions().at(frame->RecentFiles().indexOf(QFileInfo(other).absoluteFilePath()))->trigger();
            break;
        case Way::Exit:
            Action("E&xit")->trigger();
            break;
        case Way::CloseBox:  // what the window system sends for the close box and Alt+F4
            frame->windowHandle()->close();
            break;
        }
    }
    // True when the way out was taken: the window closed, or another template is shown.
    bool Left(Way way)
    {
        if (way == Way::Exit || way == Way::CloseBox)
            return !frame->isVisible();
        view().grab();  // a new template reaches the record at the next paint
        if (way == Way::New)
            return doc().Title() == "Template" && doc().record.formatFields[1].text.empty() && !doc().IsModified();
        return doc().Title() == "other.mtl";
    }
};

TEST_F(UnsavedEditsTest, EveryWayOutAsksAndEachAnswerDoesWhatItSays)
{
    for (Way way : {Way::New, Way::Open, Way::Recent, Way::Exit, Way::CloseBox}) {
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(kWayNames[static_cast<int>(way)]) + ", " + c.what);
            Start();
            sink.messages.clear();
            QTemporaryDir dir;
            const QString other = dir.filePath("other.mtl"), mine = dir.filePath("mine.mtl");
            ASSERT_TRUE(frame->SaveFile(other));  // also the recent file
            if (c.titled) {
                ASSERT_TRUE(frame->SaveFile(mine));
                if (c.readOnly)
                    fs::permissions(mine.toStdString(), fs::perms::owner_read | fs::perms::group_read);
            } else {
                frame->OnFileNew();
                view().grab();
            }
            const std::string title = doc().Title();
            ASSERT_TRUE(sink.messages.empty());
            if (c.edited)
                EditTrack1Prefix("AB");
            EXPECT_EQ(frame->isWindowModified(), c.edited);
            int dialogs = 0;
            frame->SetPathAsker([&](bool save, const QString& name) {
                ++dialogs;
                if (!save)
                    return other;
                EXPECT_EQ(name.toStdString(), title);  // Save As suggests the title
                return c.saveAsName.isEmpty() ? QString() : dir.filePath(c.saveAsName);
            });
            sink.saveChoice = c.answer;
            TakeWay(way, other);

            std::vector<std::string> expected;
            if (c.edited)
                expected.push_back("Save changes to " + title + "?");
            if (c.readOnly)
                expected.push_back("Cannot save " + mine.toStdString() +
                                   ":\nPermission denied (the file is read-only)");
            EXPECT_EQ(sink.messages, expected);
            // Save As for an untitled template; Open's dialog only once the edit may go.
            EXPECT_EQ(dialogs, (c.answer == Choice::Save && !c.titled) + (way == Way::Open && c.leaves));
            EXPECT_EQ(Left(way), c.leaves);
            if (!c.leaves) {
                // Nothing was discarded: the edit, its mark and the window stay.
                EXPECT_TRUE(frame->isVisible());
                EXPECT_EQ(doc().Title(), title);
                EXPECT_EQ(doc().record.formatFields[1].text, "AB");
                EXPECT_EQ(doc().fieldChanged[1], 1);
                EXPECT_EQ(ShownTitle().toStdString(), title + "* - Tovask");
            }
            // What reached the files: only a save writes, and it writes the edit.
            const bool saved = c.answer == Choice::Save && c.leaves;
            if (c.titled && !c.readOnly) {
                EXPECT_EQ(PrefixInFile(mine), saved ? "AB" : "");
            }
            EXPECT_EQ(PrefixInFile(dir.filePath("saved.mtl")), saved && !c.titled ? "AB" : "");
            EXPECT_EQ(PrefixInFile(other), "");
            if (c.readOnly)
                fs::permissions(mine.toStdString(), fs::perms::owner_all);
        }
    }
}

}  // namespace
