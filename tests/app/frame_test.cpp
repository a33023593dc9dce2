// The main window's commands, menus, toolbar, status bar, About box, help and
// recent-file list.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "gui_fixture.h"
#include "app/main_frame.h"
#include "app/set_port_dialog.h"
#include "view/user_settings.h"
#include "device/kb/kbio.h"
#include "device/transfer.h"
#include "sim/reader_memory.h"
#include "view/message_box_sink.h"
#include "view/tovask_view.h"

namespace {

class FrameTest : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        Start();
    }
    QMenu* Menu(int i) { return frame->menuBar()->actions().at(i)->menu(); }
    // The texts of a menu's items, "-" for a separator, hidden items left out.
    QStringList Items(QMenu* menu)
    {
        QStringList out;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                out << (a->isSeparator() ? QString("-") : a->text());
        return out;
    }
    QAction* Find(const QString& text)
    {
        for (QAction* a : frame->findChildren<QAction*>())
            if (a->text() == text)
                return a;
        return nullptr;
    }
};

TEST_F(FrameTest, MenusHoldTheCommandsInOrder)
{
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Access", "&Test", "&View", "&Help"}));
    EXPECT_EQ(Items(Menu(0)), QStringList({"&New", "&Open...", "&Save", "Save &As...", "-", "Recent File", "-", "E&xit"}));
    // The menu shows each key after its item; the item's name stays without it.
    const QList<QAction*> file = Menu(0)->actions();
    EXPECT_EQ(QStringList({file[0]->shortcut().toString(), file[1]->shortcut().toString(), file[2]->shortcut().toString()}),
              QStringList({"Ctrl+N", "Ctrl+O", "Ctrl+S"}));
    EXPECT_EQ(Items(Menu(1)), QStringList({"&Undo", "&Redo"}));
    EXPECT_EQ(Items(Menu(2)), QStringList({"&Write into MR", "&Read from MR", "&Verify MR"}));
    EXPECT_EQ(Items(Menu(3)), QStringList({"&MR Test", "&Keyboard Swipe Test"}));
    EXPECT_EQ(Items(Menu(4)), QStringList({"&Toolbar", "&Status Bar", "Output Preview"}));
    EXPECT_EQ(Items(Menu(5)), QStringList({"&Help Topics", "-", "&About Tovask..."}));
    // The placeholder of an empty recent-file list is greyed.
    EXPECT_FALSE(frame->RecentActions().first()->isEnabled());
    // Nothing is greyed by the link: the transfer commands stay enabled.
    for (QAction* a : Menu(2)->actions())
        EXPECT_TRUE(a->isEnabled());
}

TEST_F(FrameTest, ExactlyTheFileHelpAndEditKeysAreBound)
{
    QStringList keys;
    for (QAction* a : frame->findChildren<QAction*>())
        for (const QKeySequence& k : a->shortcuts())
            keys << k.toString();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"Ctrl+N", "Ctrl+O", "Ctrl+S", "Ctrl+Shift+Z", "Ctrl+Y", "Ctrl+Z", "F1", "Shift+F1"}));
}

TEST_F(FrameTest, ToolbarButtonsPromptsAndTips)
{
    QStringList order;
    for (QAction* a : frame->ToolBar()->actions())
        order << (a->isSeparator() ? QString("-") : a->toolTip());
    EXPECT_EQ(order, QStringList({"New", "Open", "Save", "-", "Read data", "Write data", "-", "Testing", "-", "About",
                                  "Help"}));
    EXPECT_EQ(frame->ToolBar()->iconSize(), QSize(16, 15));
    EXPECT_EQ(frame->ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(frame->ToolBar()->isFloatable());
    for (QAction* a : frame->ToolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->toolTip().toStdString();
        }
    }

    ASSERT_NE(Find("&Write into MR"), nullptr);
    EXPECT_EQ(Find("&Write into MR")->statusTip(), "Write data into programmable magnetic card reader");
    EXPECT_EQ(Find("&Read from MR")->statusTip(), "Read data from programmable magnetic card reader");
    EXPECT_EQ(Find("&MR Test")->statusTip(), "Testing MR data");
    EXPECT_EQ(Find("&New")->statusTip(), "Create a new template");
    EXPECT_EQ(Find("Save &As...")->statusTip(), "Save the active template with a new name");
}

TEST_F(FrameTest, StatusBarHasTheMessagePaneAndThreeIndicators)
{
    QStringList texts;
    for (QLabel* l : frame->statusBar()->findChildren<QLabel*>())
        texts << l->text();
    EXPECT_TRUE(texts.contains("For Help, press F1"));
    EXPECT_TRUE(texts.contains("CAP"));
    EXPECT_TRUE(texts.contains("NUM"));
    EXPECT_TRUE(texts.contains("SCRL"));
    // The View menu hides and shows the status bar.
    QAction* toggle = Find("&Status Bar");
    ASSERT_NE(toggle, nullptr);
    toggle->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    toggle->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());
}

TEST_F(FrameTest, AboutBoxShowsTheVersion)
{
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Tovask");
    EXPECT_EQ(about.size(), QSize(288, 89));  // 192 x 55 dialog units
    QStringList texts;
    for (QLabel* l : about.findChildren<QLabel*>())
        if (!l->text().isEmpty())
            texts << l->text();
    EXPECT_EQ(texts, QStringList({"Tovask Version 1.0.6.3"}));
    const auto buttons = about.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "OK");
    EXPECT_EQ(buttons[0]->geometry().topLeft(), QPoint(203, 11));
}

TEST_F(FrameTest, HelpTopicsOpensTheShippedGuide)
{
    Find("&Help Topics")->trigger();
    QTextBrowser* browser = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            if (auto* b = w->findChild<QTextBrowser*>())
                browser = b;
    ASSERT_NE(browser, nullptr);
    const QString guide = browser->toPlainText();
    EXPECT_TRUE(guide.contains("Write into MR"));
    // The troubleshooting table explains every message a transfer or the
    // start can end with (by its first line).
    for (const char* text :
         {msg::noComPortOpened, msg::cantOpenComPort, msg::cantOpenThisComPort, msg::writingOk, msg::writingError,
          msg::readingOk, msg::wrongPacket, msg::comReadingError, msg::noUsbReader, msg::usbWritingDone,
          msg::usbWritingError2, msg::usbReadingError, msg::ps2WriteNotDetected, msg::ps2WriteNoDriver,
          msg::ps2ReadNotDetected, kbmsg::cantOpenDriver, kbmsg::wrongSystemInfo, "Data Read Error, Count=",
          "Unexpected file format."}) {
        const QString firstLine = QString(text).section('\n', 0, 0);
        EXPECT_TRUE(guide.contains(firstLine)) << text;
    }
    // The window fits the guide's widest line: no sideways scrolling, once
    // the whole guide is laid out (the browser does it a part at a time).
    QApplication::processEvents();
    browser->document()->idealWidth();
    QApplication::processEvents();
    EXPECT_EQ(browser->horizontalScrollBar()->maximum(), 0);
    browser->window()->close();
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(FrameTest, TitleAndRecentEntriesFollowTheFiles)
{
    EXPECT_EQ(ShownTitle(), "Template - Tovask");
    QTemporaryDir dir;
    const QString deep = dir.filePath("a-rather-long-folder-name/another-long-folder");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString path = deep + "/card.mtl";
    ASSERT_TRUE(frame->SaveFile(path));
    EXPECT_EQ(ShownTitle(), "card.mtl - Tovask");
    QAction* first = frame->RecentActions().first();
    EXPECT_TRUE(first->isEnabled());
    EXPECT_TRUE(first->text().startsWith("&1 "));
    EXPECT_LE(first->text().size() - 3, 30);  // the path shortened to 30 characters
    EXPECT_TRUE(first->text().endsWith("card.mtl"));
    EXPECT_EQ(CMainFrame::ShortenedPath("/tmp/short.mtl"), "/tmp/short.mtl");

    // Opening from the list reopens the file.
    frame->OnFileNew();
    EXPECT_EQ(ShownTitle(), "Template - Tovask");
    first->trigger();
    EXPECT_EQ(ShownTitle(), "card.mtl - Tovask");
    EXPECT_TRUE(sink.messages.empty());

    // An entry whose file has gone is reported by name and leaves the list.
    ASSERT_TRUE(QFile::remove(path));
    frame->RecentActions().first()->trigger();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("card.mtl"), std::string::npos);
    EXPECT_TRUE(frame->RecentFiles().isEmpty());
    EXPECT_EQ(frame->RecentActions().first()->text(), "Recent File");
}

// A window smaller than the form scrolls: every box and the field editor can
// be brought into view, and pointer events routed through the window still
// reach the box under the pointer.
TEST_F(FrameTest, SmallWindowScrollsAndThePointerStillHitsTheRightBox)
{
    frame->resize(400, 300);
    QApplication::processEvents();
    QScrollArea* area = frame->FormArea();
    ASSERT_LT(area->viewport()->width(), view().width());
    ASSERT_LT(area->viewport()->height(), view().height());
    auto reachable = [&](const QRect& r) {
        area->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 1, r.height() / 2 + 1);
        QApplication::processEvents();
        return area->viewport()->rect().contains(QRect(view().mapTo(area->viewport(), r.topLeft()), r.size()));
    };
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldBox& b = doc().diagram.fieldBoxes[k];
        EXPECT_TRUE(reachable(QRect(b.left, b.top, b.width, b.height))) << k;
    }

    // Track 3's suffix, scrolled into the lower right corner.
    const FieldBox& b = doc().diagram.fieldBoxes[24];
    ASSERT_TRUE(reachable(QRect(b.left, b.top, b.width, b.height)));
    ASSERT_NE(area->horizontalScrollBar()->value(), 0);
    const QPoint inWindow = view().mapTo(frame.get(), QPoint(b.left + b.width / 2, b.top + b.height / 2));
    QTest::mouseMove(frame->windowHandle(), inWindow);
    EXPECT_EQ(doc().fieldHovered[24], 1);
    EXPECT_EQ(view().HoverText(), " Suffix:  ");
    QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, Qt::NoModifier, inWindow);
    EXPECT_EQ(view().SelectedField(), 24);
    for (QWidget* w : {static_cast<QWidget*>(view().fieldEdit), static_cast<QWidget*>(view().textOkButton),
                       static_cast<QWidget*>(view().textCancelButton)})
        EXPECT_TRUE(reachable(w->geometry()));
}

TEST_F(FrameTest, EveryInitialUpdateShrinksTheWindowToTheFormButNeverGrowsIt)
{
    // The form alone: with the Output Preview under it the window is taller
    // than the test screen (800 x 600) and the form scrolls.
    UserSettings().setValue("OutputPreview/Visible", false);
    Start();
    QApplication::processEvents();
    const QSize fitted = frame->size();
    EXPECT_EQ(frame->FormArea()->viewport()->size(), view().size());  // the whole form, no scroll bars
    frame->resize(fitted + QSize(200, 150));
    QApplication::processEvents();
    frame->OnFileNew();
    EXPECT_EQ(frame->size(), fitted);

    QTemporaryDir dir;
    const QString path = dir.filePath("fit.mtl");
    ASSERT_TRUE(frame->SaveFile(path));
    frame->resize(fitted.width() + 100, 300);
    QApplication::processEvents();
    ASSERT_TRUE(frame->OpenFile(path));
    EXPECT_EQ(frame->size(), QSize(fitted.width() + frame->FormArea()->verticalScrollBar()->width(), 300));

    frame->resize(50, 50);
    EXPECT_GE(frame->width(), CMainFrame::minimumWidth);
    EXPECT_GE(frame->height(), CMainFrame::minimumHeight);
}

TEST(RecentFileNames, MiddleFoldersGiveWayToTheFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/short.mtl", "/tmp/short.mtl"},
        {"/home/user/projects/templates/shop/card.mtl", "/home/.../shop/card.mtl"},
        {"/home/user/a/b/c/d/e/f/g/h/i/card.mtl", "/home/.../d/e/f/g/h/i/card.mtl"},
        {"C:/Users/me/Documents/Templates/a.mtl", "C:/Users/.../Templates/a.mtl"},
        {"/media/an-unusually-long-volume-name/x/card.mtl", "/media/.../x/card.mtl"},
        {"/home/user/dir/a-template-with-a-long-name.mtl", "a-template-with-a-long-name.mtl"},
        {"/home/user/projects/abcdefghijklmnopq.mtl", ".../abcdefghijklmnopq.mtl"},
    };
    for (const auto& [path, shown] : cases) {
        const QString s = CMainFrame::ShortenedPath(path);
        EXPECT_EQ(s.toStdString(), shown) << path;
        EXPECT_TRUE(s.size() <= 30 || s == QFileInfo(path).fileName()) << path;
    }
}

// What's This explains every control of the panel and the field editor,
// and over the diagram the box under the pointer.
TEST_F(FrameTest, WhatsThisForEveryControlAndEveryBox)
{
    view().OpenFieldEditor(1);
    for (QWidget* w : view().findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(w->whatsThis().isEmpty()) << w->metaObject()->className();
    QStringList texts;
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldBox& b = doc().diagram.fieldBoxes[k];
        texts << view().WhatsThisAt(QPoint(b.left + b.width / 2, b.top + b.height / 2));
    }
    EXPECT_EQ(texts.removeDuplicates(), 0);  // each box its own text
    EXPECT_TRUE(texts[0].startsWith("Card data prefix"));
    EXPECT_TRUE(texts[11].startsWith("Track 2 data"));
    EXPECT_EQ(view().WhatsThisAt(QPoint(10, 170)), view().whatsThis());
}

TEST_F(FrameTest, ReadOnlyFieldsLookReadOnlyAndThePortDialogFitsItsTitle)
{
    for (QLineEdit* e : {view().portNameEdit, view().stopBitsEdit}) {
        EXPECT_TRUE(e->isReadOnly());
        EXPECT_EQ(e->palette().color(QPalette::Base), e->palette().color(QPalette::Window));
    }
    EXPECT_NE(view().delayEdit->palette().color(QPalette::Base), view().delayEdit->palette().color(QPalette::Window));

    CSetPort port;
    QFont bold = QApplication::font();
    bold.setBold(true);
    EXPECT_GE(port.width(), QFontMetrics(bold).horizontalAdvance(port.windowTitle()) + 100);
    for (QPushButton* b : port.findChildren<QPushButton*>())
        EXPECT_EQ(port.width() - b->geometry().right(), 11) << b->text().toStdString();  // 7 units from the edge
}

// Verify MR reads the reader and shows one message; the window keeps its template.
TEST_F(FrameTest, VerifyMRComparesTheReaderWithTheWindow)
{
    Open(portKindUSB, Links::Simulated);
    const ConfigImage mine = doc().image;
    Find("&Verify MR")->trigger();
    ConfigImage other = mine;
    other[imageOffset::outputDelay] = 9;
    simulated->Memory().SetImage(other);
    Find("&Verify MR")->trigger();
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0], msg::verifySame);
    EXPECT_EQ(sink.messages[1], std::string(msg::verifyDiffers) + "\nOutput Delay (mS): 4 -> 9");
    EXPECT_EQ(doc().image, mine);
    EXPECT_EQ(simulated->Memory().imageWrites, 0);
}

}  // namespace
