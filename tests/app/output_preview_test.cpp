// What the reader sends, seen in the editor: MR Test's swipe on the simulated
// reader after a write, and the Output Preview panel under the form.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QUndoStack>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "../gui_fixture.h"
#include "sim/serial_reader.h"
#include "view/output_preview.h"
#include "view/test_mr_dialog.h"

namespace {

class OutputPreviewTest : public FrameFixture {
protected:
    OutputPreviewPanel* Panel() { return frame->findChild<OutputPreviewPanel*>(); }
    QDockWidget* Dock() { return frame->findChild<QDockWidget*>("OutputPreviewDock"); }
    void ApplyText(int k, const QString& text)
    {
        view().OpenFieldEditor(k);
        view().fieldEdit->setText(text);
        view().ApplyTextEdit();
        view().grab();  // the repaint the edit asks for
    }
};

TEST_F(OutputPreviewTest, MrTestSwipeShowsTheTemplateWrittenIntoTheSimulatedReader)
{
    Start(portKindCOM1 + 2);
    doc().record.formatFields[0].text = "#";  // CardPrefix
    doc().record.formatFields[8].text = "[CR]";  // T1Suffix
    view().OnWriteIntoMR();
    ASSERT_EQ(sink.messages, (std::vector<std::string>{"programmable MR writing OK, Check MR data please !"}));

    // The reader's clock jumps past the whole paced output once the card is swiped.
    long long now = 0;
    simulated->Serial()->SetClock([&now] { return now; });
    const QString expected = "#%B4000123456789010^SAMPLE/CARD^29121010000000000000?<D>;4000123456789010="
                             "29121010000000000000?";
    QString shown;
    QTimer::singleShot(0, [&] {
        CTestMR* dlg = view().TestDialog();
        QPushButton* swipe = nullptr;
        for (QPushButton* b : dlg->findChildren<QPushButton*>())
            if (b->text() == "Swipe card")
                swipe = b;
        ASSERT_TRUE(swipe && swipe->isVisible());
        swipe->click();
        now = 1000000;
        for (int i = 0; i < 300 && dlg->Display()->toPlainText() != expected; ++i)
            QTest::qWait(10);
        shown = dlg->Display()->toPlainText();
        dlg->QuitButton()->click();
    });
    view().OnMRTest();
    EXPECT_EQ(shown, expected);
}

TEST_F(OutputPreviewTest, FollowsEveryEditAndRemembersItsLayoutAndState)
{
    Start();
    ASSERT_TRUE(Panel() && Dock());
    EXPECT_TRUE(Dock()->isVisible());
    QAction* toggle = Dock()->toggleViewAction();
    EXPECT_TRUE(frame->menuBar()->actions()[4]->menu()->actions().contains(toggle));  // View, after File, Edit, Access, Test
    EXPECT_EQ(toggle->text(), "Output Preview");

    const QString track1 = "%B4000123456789010^SAMPLE/CARD^29121010000000000000?";
    const QString track2 = ";4000123456789010=29121010000000000000?";
    EXPECT_EQ(Panel()->SentText(), track1 + track2);
    ApplyText(8, "[CR]");  // T1Suffix
    EXPECT_EQ(Panel()->SentText(), track1 + "[CR]" + track2);
    view().trackCheck[0]->click();
    EXPECT_EQ(Panel()->SentText(), track2);
    view().longBeepCheck->click();
    EXPECT_TRUE(Panel()->InfoText().contains("Beeps: one long beep"));
    view().delayEdit->setText("20");
    EXPECT_TRUE(Panel()->InfoText().contains("One byte every 20 ms: 39 bytes in 780 ms"));

    ASSERT_TRUE(Panel()->SetLayout("fr"));
    // ";4000123" on the US keys an AZERTY host reads as m'ààà&é"
    EXPECT_TRUE(Panel()->TypedText().startsWith(QString::fromUtf8("m'\xC3\xA0\xC3\xA0\xC3\xA0&\xC3\xA9\"")));
    EXPECT_GT(Panel()->ChangedCount(), 0);
    EXPECT_FALSE(Panel()->SetLayout("no-such-layout"));
    EXPECT_EQ(Panel()->LayoutName(), "fr");
    EXPECT_TRUE(Panel()->InfoText().contains("unknown keyboard layout \"no-such-layout\""));
    ASSERT_TRUE(Panel()->SetLayout("us"));
    EXPECT_EQ(Panel()->ChangedCount(), 0);
    // The host's Caps Lock (off here, where the platform does not tell it) turns track 1's letters.
    view().trackCheck[0]->click();
    EXPECT_FALSE(Panel()->CapsLockSwitch()->isChecked());
    Panel()->CapsLockSwitch()->click();
    EXPECT_TRUE(Panel()->TypedText().startsWith("%b4000123456789010^sample/card^"));
    EXPECT_EQ(Panel()->ChangedCount(), 11);
    Panel()->CapsLockSwitch()->click();
    EXPECT_EQ(Panel()->ChangedCount(), 0);
    Panel()->SetLayout("de");

    // Hidden by the user: the next window starts with it hidden, on the layout chosen last.
    toggle->trigger();
    EXPECT_FALSE(Dock()->isVisible());
    Start();
    EXPECT_FALSE(Dock()->isVisible());
    EXPECT_EQ(Panel()->LayoutName(), "de");
    Dock()->toggleViewAction()->trigger();
    Start();
    EXPECT_TRUE(Dock()->isVisible());
}

// The preview shows the template as it is from the first moment on: what it
// shows at start is what it shows after an edit and its undo.
TEST_F(OutputPreviewTest, ShowsTheSameAtStartAsAfterAnEditAndItsUndo)
{
    // Before the first paint, as the window opens.
    frame = std::make_unique<CMainFrame>();
    frame->StartView(portKindUSB);
    const QString atStart = Panel()->ShownSentText();
    EXPECT_EQ(atStart, Panel()->SentText());
    for (const char* c : {"%", "^", "?", ";", "="})
        EXPECT_TRUE(atStart.contains(c)) << c;
    frame->show();
    view().grab();
    ApplyText(0, "#");  // CardPrefix
    EXPECT_EQ(Panel()->ShownSentText(), "#" + atStart);
    view().UndoStack()->undo();
    EXPECT_EQ(Panel()->ShownSentText(), atStart);
}

// USB and PS2 readers type keys that the host's layout turns into
// characters; a serial reader's bytes reach the host as they are.
TEST_F(OutputPreviewTest, OnlyKeyboardLinksGoThroughTheLayout)
{
    for (const int portKind : {portKindUSB, portKindPS2, portKindCOM1 + 2}) {
        SCOPED_TRACE(PortKindName(portKind));
        Start(portKind);
        ASSERT_TRUE(Panel()->SetLayout("fr"));
        const bool keys = portKind == portKindUSB || portKind == portKindPS2;
        EXPECT_EQ(Panel()->ShowsKeys(), keys);
        EXPECT_EQ(Panel()->LayoutChooser()->isVisibleTo(Panel()), keys);
        EXPECT_EQ(Panel()->ShownReceivedText().isEmpty(), !keys);
        EXPECT_EQ(Panel()->ChangedCount() > 0, keys);
        EXPECT_EQ(Panel()->ShownSentText(), Panel()->SentText());
        Panel()->SetLayout("us");
    }
}

// Bytes in the notation the field editor takes, the others in hex with a
// legend; long lines wrap inside the panel, clear of their labels.
TEST_F(OutputPreviewTest, ShowsBytesInTheFieldNotationAndWrapsLongLines)
{
    Start();
    ASSERT_TRUE(Panel()->SetLayout("de"));
    const struct {
        const char* prefix;  // the card prefix's bytes
        const char* shown;
        const char* legend;
    } cases[] = {
        {"\x02", "[02]", "[02]=Start of text"},
        {"\x1b\xe9\x1b", "[1B][E9][1B]", "[1B]=Escape, [E9]=byte E9 hex"},
        {"\r\t[", "[CR][TB][[", ""},
    };
    for (const auto& c : cases) {
        doc().record.formatFields[0].text = EscapeText(c.prefix);
        view().UpdatePanelFromTemplate();
        EXPECT_TRUE(Panel()->ShownSentText().startsWith(c.shown)) << c.shown;
        EXPECT_EQ(Panel()->LegendText(), c.legend);
    }
    EXPECT_TRUE(Panel()->ShownReceivedText().startsWith("[CR][TB]"));
    QApplication::processEvents();
    for (QLabel* label : Panel()->findChildren<QLabel*>()) {
        if (QWidget* field = label->buddy(); field && label->isVisible()) {
            EXPECT_FALSE(label->geometry().intersects(field->geometry())) << label->text().toStdString();
            EXPECT_LE(field->geometry().right(), Panel()->rect().right());
            EXPECT_GE(field->height(), field->heightForWidth(field->width()));
        }
    }
    Panel()->SetLayout("us");
}

}  // namespace
