// Test > Keyboard Swipe Test, fed real key events as a keyboard reader types them.
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "../gui_fixture.h"
#include "app/keyboard_swipe_dialog.h"
#include "model/config_image.h"
#include "model/reader_output.h"

namespace {

class KeyboardSwipeTest : public FrameFixture {};

// Key events as a host delivers a keyboard reader's keys: ASCII by its key, any other
// character as the text of a key the test's keyboard has no name for.
void TypeText(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

TEST_F(KeyboardSwipeTest, MarksWhatArrivedAgainstTheLayout)
{
    Start();
    QAction* command = nullptr;
    for (QAction* a : frame->menuBar()->actions()[3]->menu()->actions())
        if (a->text() == "&Keyboard Swipe Test")
            command = a;
    ASSERT_TRUE(command);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = frame->findChild<CKeyboardSwipeDlg*>();
        shown = dlg && dlg->isVisible();
        if (dlg)
            dlg->reject();
    });
    command->trigger();
    EXPECT_TRUE(shown);

    TemplateRecord record;
    DecodeImage(DefaultImage(), record);
    CKeyboardSwipeDlg dlg(record, "fr", false);
    std::string error;
    const std::string expected =
        TypeBytes(*OpenHostLayout("fr", error), ReaderOutputFor(record, SampleSwipe()).bytes).text;
    TypeText(dlg.SwipeBox(), QString::fromStdString(expected));
    EXPECT_EQ(dlg.ArrivedText().toStdString(), expected);
    EXPECT_TRUE(dlg.ExpectedText().startsWith(QString::fromStdString(expected) + " (layout fr, "));
    EXPECT_TRUE(dlg.DifferencesText().contains(QString::fromUtf8("'\xC3\xA9' where the reader sent '2': layout fr\n")));
    EXPECT_TRUE(dlg.PaceText().contains("(output delay 4 ms)"));

    // A host on US typed the first characters, Tab and Enter among them; Caps Lock on turns a letter.
    dlg.Clear();
    TypeText(dlg.SwipeBox(), "%B4");
    QTest::keyClick(dlg.SwipeBox(), Qt::Key_Tab);
    QTest::keyClick(dlg.SwipeBox(), Qt::Key_Return);
    EXPECT_EQ(dlg.ArrivedText(), "%B4\t\r");
    EXPECT_TRUE(dlg.DifferencesText().startsWith("'%' where the reader sent '%': layout fr gives '5'\n"));
    ASSERT_TRUE(dlg.SetLayout("us"));
    dlg.Clear();
    dlg.CapsLockSwitch()->setChecked(true);
    TypeText(dlg.SwipeBox(), "%B4");
    EXPECT_TRUE(dlg.DifferencesText().startsWith("'B' where the reader sent 'B': Caps Lock off\n"));
}

}  // namespace
