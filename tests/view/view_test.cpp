// Drives the real editor window with synthetic mouse and key events.
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

#include "gui_fixture.h"
#include "app/main_frame.h"
#include "view/message_box_sink.h"
#include "view/tovask_view.h"

namespace {

class ViewTest : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        Start();
    }
};

TEST_F(ViewTest, HoverTextsFollowTheStrictHitTest)
{
    Move(80, 190);  // card prefix, empty
    EXPECT_EQ(view().HoverText(), " Data prefix:  ");
    EXPECT_EQ(doc().fieldHovered[0], 1);
    Move(150, 220);  // track 1 data
    EXPECT_EQ(view().HoverText(), " Data: Non-editable ");
    EXPECT_EQ(doc().fieldHovered[0], 0);
    Move(120, 220);  // track 1 start sentinel
    EXPECT_EQ(view().HoverText(), " Start sentinel: " + doc().record.formatFields[2].text + " ");
    Move(116, 220);  // border line between prefix and start sentinel
    EXPECT_EQ(view().HoverText(), "");
    Move(75, 190);
    EXPECT_EQ(doc().fieldHovered[0], 0);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ViewTest, TextEditorEnforcesByteLimitsAndMarksChanges)
{
    Click(90, 190);  // card prefix
    ASSERT_TRUE(view().fieldEdit->isVisible());
    EXPECT_EQ(view().SelectedField(), 0);
    EXPECT_EQ(view().EditorCaption(), "Card data prefix: (maximum 4 characters)");
    view().fieldEdit->setText("ABCD[CR]");
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "card prefix/suffix error!");
    EXPECT_TRUE(view().fieldEdit->isVisible());
    view().fieldEdit->setText("AB[CR]");
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_EQ(doc().record.formatFields[0].text, "AB[CR]");
    EXPECT_EQ(doc().fieldChanged[0], 1);

    Click(250, 220);  // track 1 terminator
    view().fieldEdit->setText("ab");
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    EXPECT_EQ(sink.messages.back(), "field terminator error!");
}

TEST_F(ViewTest, ClickOutsideDetachesAndOkStoresNothing)
{
    Click(90, 220);  // track 1 prefix
    view().fieldEdit->setText("XY");
    Click(150, 220);  // data box: opens nothing
    EXPECT_EQ(view().SelectedField(), CTovaskView::noField);
    EXPECT_TRUE(view().fieldEdit->isVisible());
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_EQ(doc().record.formatFields[1].text, "");
    EXPECT_EQ(doc().fieldChanged[1], 0);
}

TEST_F(ViewTest, SwitchEditorStoresStateAndText)
{
    Click(400, 220);  // track 1 LRC
    ASSERT_TRUE(view().switchCheck->isVisible());
    const int before = doc().record.formatFields[7].enabled;
    view().switchCheck->setChecked(!before);
    QTest::mouseClick(view().switchOkButton, Qt::LeftButton);
    EXPECT_EQ(doc().record.formatFields[7].enabled, before ? 0 : 1);
    EXPECT_EQ(doc().record.formatFields[7].text, before ? "Disable" : "Enable");
    EXPECT_EQ(doc().fieldChanged[7], 1);
}

TEST_F(ViewTest, TrackCheckBoxClearsMarksAndGreysTheRow)
{
    doc().fieldChanged.fill(1);
    QTest::mouseClick(view().trackCheck[1], Qt::LeftButton);  // track 2 off
    EXPECT_EQ(doc().record.trackEnabled[1], 0);
    for (int k = 9; k <= 16; ++k)
        EXPECT_EQ(doc().fieldChanged[k], 0) << k;
    EXPECT_EQ(doc().fieldChanged[8], 1);
    EXPECT_EQ(doc().fieldChanged[25], 1);
    Move(150, 250);
    EXPECT_EQ(view().HoverText(), "");
    EXPECT_EQ(doc().fieldHovered[11], 0);
    Move(90, 310);
    EXPECT_EQ(view().HoverText(), " Data suffix: " + doc().record.formatFields[25].text + " ");

    Move(10, 10);
    const QImage shot = view().grab().toImage();
    const QImage strip = CTovaskView::DiagramBitmap(disabledRowBitmapId).toImage();
    ASSERT_FALSE(strip.isNull());
    for (int x = 0; x < strip.width(); x += 17)
        EXPECT_EQ(shot.pixel(76 + x, 241 + 10), strip.pixel(x, 10)) << x;
}

TEST_F(ViewTest, EveryBoxBitmapLandsAtItsRectangle)
{
    Move(10, 10);
    const QImage shot = view().grab().toImage();
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldBox& b = doc().diagram.fieldBoxes[k];
        const QImage bmp = CTovaskView::DiagramBitmap(doc().diagram.normalBitmapIds[k]).toImage();
        ASSERT_FALSE(bmp.isNull()) << k;
        for (int x : {1, bmp.width() / 2, bmp.width() - 2})
            for (int y : {3, 10, 18})
                EXPECT_EQ(shot.pixel(b.left + 1 + x, b.top + 1 + y), bmp.pixel(x, y)) << k;
    }
}

TEST_F(ViewTest, DelayValidationAbandonsSaveAndRepeatsOnMove)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.mtl");
    view().delayEdit->setText("0");
    EXPECT_FALSE(frame->SaveFile(path));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "Enter an integer between 1 and 200.");
    EXPECT_FALSE(QFile::exists(path));
    view().delayEdit->setText("abc");
    Move(90, 190);
    EXPECT_EQ(sink.messages.back(), "Enter an integer between 0 and 255.");
    EXPECT_EQ(view().HoverText(), "");
    view().delayEdit->setText("50");
    EXPECT_TRUE(frame->SaveFile(path));
    EXPECT_EQ(QFileInfo(path).size(), 64);
}

TEST_F(ViewTest, PanelValuesSurviveSaveAndOpen)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("round.mtl");
    view().delayEdit->setText("77");
    view().errorRadio[1]->setChecked(true);
    view().longBeepCheck->setChecked(true);
    view().oposCheck->setChecked(true);
    view().trackCheck[2]->setChecked(false);
    ASSERT_TRUE(frame->SaveFile(path));
    frame->OnFileNew();
    view().grab();
    EXPECT_EQ(view().delayEdit->text(), "4");
    ASSERT_TRUE(frame->OpenFile(path));
    view().grab();
    EXPECT_EQ(view().delayEdit->text(), "77");
    EXPECT_TRUE(view().errorRadio[1]->isChecked());
    EXPECT_TRUE(view().longBeepCheck->isChecked());
    EXPECT_TRUE(view().oposCheck->isChecked());
    EXPECT_FALSE(view().trackCheck[2]->isChecked());
    EXPECT_EQ(ShownTitle(), "round.mtl - Tovask");
}

TEST_F(ViewTest, NewHidesEditorAndOpenKeepsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("k.mtl");
    ASSERT_TRUE(frame->SaveFile(path));
    Click(90, 220);
    ASSERT_TRUE(frame->OpenFile(path));
    EXPECT_TRUE(view().fieldEdit->isVisible());
    EXPECT_EQ(view().EditorCaption(), "");
    frame->OnFileNew();
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_EQ(ShownTitle(), "Template - Tovask");
}

TEST_F(ViewTest, ShortFileAndMissingFileAreReported)
{
    QTemporaryDir dir;
    const QString shortPath = dir.filePath("short.mtl");
    std::ofstream(shortPath.toStdString()) << "abc";
    EXPECT_FALSE(frame->OpenFile(shortPath));
    EXPECT_EQ(sink.messages.back(), "Unexpected file format.");
    EXPECT_FALSE(frame->OpenFile(dir.filePath("missing.mtl")));
    EXPECT_NE(sink.messages.back().find("missing.mtl"), std::string::npos);
}

TEST_F(ViewTest, RecentFileListKeepsFourNewestFirst)
{
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths << dir.filePath(QString("f%1.mtl").arg(i));
        ASSERT_TRUE(frame->SaveFile(paths.back()));
    }
    const QStringList recent = frame->RecentFiles();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_EQ(recent.first(), QFileInfo(paths[4]).absoluteFilePath());
    EXPECT_FALSE(recent.contains(QFileInfo(paths[0]).absoluteFilePath()));
    CMainFrame second;
    EXPECT_EQ(second.RecentFiles(), recent);
    EXPECT_LE(CMainFrame::ShortenedPath(QString(60, 'a') + "/name.mtl").size(), 30);
}

}  // namespace
