// Undo and Redo over a run of different edits give back the template, its
// image, the changed marks, the panel and the hover text exactly, step by
// step, and the modified mark is clear exactly at the saved state.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>

#include "gui_fixture.h"

namespace {

class EditHistoryTest : public FrameFixture {
protected:
    QUndoStack& History() { return *view().UndoStack(); }
    QAction* EditItem(int i) { return frame->menuBar()->actions().at(1)->menu()->actions().at(i); }
};

TEST_F(EditHistoryTest, UndoAndRedoRetraceAMixedRunOfEdits)
{
    Start(portKindCOM1);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.mtl");
    Move(95, 220);  // the pointer rests on track 1's prefix
    EXPECT_EQ(view().HoverText(), " Prefix:  ");

    struct Step {
        const char* name;  // as the Edit menu shows it
        std::function<void()> act;
        bool saveAfter = false;
    };
    const Step steps[] = {
        {"Track1 prefix", [&] {
             view().OpenFieldEditor(1);
             view().fieldEdit->setText("A[CR]");
             QTest::keyClick(view().fieldEdit, Qt::Key_Return);
         }},
        {"Track1 LRC", [&] {
             view().OpenFieldEditor(7);
             QTest::mouseClick(view().switchCheck, Qt::LeftButton);
             QTest::mouseClick(view().switchOkButton, Qt::LeftButton);
         }},
        {"OPOS/JPOS", [&] { QTest::mouseClick(view().oposCheck, Qt::LeftButton); }},
        {"Baud rate", [&] { QTest::keyClick(view().baudCombo, Qt::Key_Up); }, true},
        // Two clicks of the spin are one step.
        {"Output Delay", [&] {
             QTest::mouseClick(view().spinUp, Qt::LeftButton);
             QTest::mouseClick(view().spinUp, Qt::LeftButton);
         }},
        {"Track2 data", [&] { QTest::mouseClick(view().trackCheck[1], Qt::LeftButton); }},
        // The simulated reader holds the template as it was saved.
        {"Read from MR", [&] { view().OnReadFromMR(); }},
    };
    const int saved = 4;  // the state after the fourth step

    std::vector<TemplateState> states{doc().State()};
    std::vector<std::string> hovers{view().HoverText()};
    for (const Step& s : steps) {
        s.act();
        if (s.saveAfter) {
            ASSERT_TRUE(frame->SaveFile(path));
            view().OnWriteIntoMR();
        }
        states.push_back(doc().State());
        hovers.push_back(view().HoverText());
        EXPECT_EQ(EditItem(0)->text().toStdString(), std::string("&Undo ") + s.name);
    }
    ASSERT_EQ(History().count(), static_cast<int>(std::size(steps)));
    EXPECT_EQ(hovers[1], " Prefix: A[CR] ");  // shown at once, the pointer unmoved
    EXPECT_EQ(states[1].fieldChanged[1], 1);
    EXPECT_EQ(states[2].fieldChanged[7], 1);
    EXPECT_EQ(states[6].fieldChanged[1], 1);  // track 2's box clears only track 2's marks
    EXPECT_EQ(states[7].record.outputDelay, 4);  // read back from the reader
    EXPECT_EQ(states[7].record.trackEnabled[1], 1);
    for (size_t i = 1; i < states.size(); ++i)
        EXPECT_NE(states[i], states[i - 1]) << "step " << i << " changed nothing";

    // The state at index i: template, image, marks, panel, hover text and title mark.
    auto expectAt = [&](int i) {
        SCOPED_TRACE("state " + std::to_string(i));
        EXPECT_TRUE(doc().State() == states[i]);
        EXPECT_EQ(view().HoverText(), hovers[i]);
        EXPECT_EQ(view().oposCheck->isChecked(), states[i].record.oposMode == 1);
        EXPECT_EQ(view().trackCheck[1]->isChecked(), states[i].record.trackEnabled[1] == 1);
        EXPECT_EQ(view().delayEdit->text().toInt(), states[i].record.outputDelay);
        EXPECT_EQ(view().baudCombo->currentIndex(), states[i].record.baudIndex);
        EXPECT_EQ(doc().IsModified(), i != saved);
        EXPECT_EQ(ShownTitle().toStdString(), std::string("run.mtl") + (i != saved ? "*" : "") + " - Tovask");
        EXPECT_EQ(EditItem(0)->isEnabled(), i > 0);
        EXPECT_EQ(EditItem(1)->isEnabled(), i < static_cast<int>(std::size(steps)));
    };
    for (int i = static_cast<int>(std::size(steps)) - 1; i >= 0; --i) {
        QTest::keyClick(frame.get(), Qt::Key_Z, Qt::ControlModifier);
        expectAt(i);
        if (i > 0) {
            EXPECT_EQ(EditItem(0)->text().toStdString(), std::string("&Undo ") + steps[i - 1].name);
        }
        EXPECT_EQ(EditItem(1)->text().toStdString(), std::string("&Redo ") + steps[i].name);
    }
    for (int i = 1; i <= static_cast<int>(std::size(steps)); ++i) {
        // Both keys of Redo, in turn.
        if (i % 2)
            QTest::keyClick(frame.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            QTest::keyClick(frame.get(), Qt::Key_Y, Qt::ControlModifier);
        expectAt(i);
    }
    EXPECT_EQ(sink.messages, std::vector<std::string>({"programmable MR writing OK, Check MR data please !",
                                                        "programmable MR reading OK!"}));

    // Back at the saved state nothing asks; New and Open start a fresh history.
    for (int i = static_cast<int>(std::size(steps)); i > saved; --i)
        History().undo();
    frame->OnFileNew();
    EXPECT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(History().count(), 0);
    EXPECT_FALSE(EditItem(0)->isEnabled());
    EXPECT_EQ(EditItem(0)->text(), "&Undo");
}

// The keys of Undo and Redo reach the template's history from every
// control, the text boxes included; an edit still open is taken first and
// undone as one step.
TEST_F(EditHistoryTest, UndoKeysWorkWhereverTheFocusIs)
{
    Start();
    view().OpenFieldEditor(8);  // Track1 suffix
    QTest::keyClicks(view().fieldEdit, "[CR]");
    QTest::keyClick(view().fieldEdit, Qt::Key_Return);
    QTest::keyClicks(view().delayEdit, "5");  // 45: a step of its own
    view().OpenFieldEditor(0);
    QTest::keyClicks(view().fieldEdit, "#");  // not yet stored
    const struct {
        QWidget* focus;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* suffix;
        int delay;
    } presses[] = {
        {view().fieldEdit, Qt::Key_Z, Qt::ControlModifier, "[CR]", 45},  // "#" stored, then undone
        {view().delayEdit, Qt::Key_Z, Qt::ControlModifier, "[CR]", 4},
        {view().delayEdit, Qt::Key_Z, Qt::ControlModifier, "", 4},
        {view().delayEdit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "[CR]", 4},
        {view().delayEdit, Qt::Key_Y, Qt::ControlModifier, "[CR]", 45},
    };
    for (const auto& p : presses) {
        p.focus->setFocus();
        QTest::keyClick(p.focus, p.key, p.mods);
        EXPECT_EQ(doc().record.formatFields[0].text, "");
        EXPECT_EQ(doc().record.formatFields[8].text, p.suffix);
        EXPECT_EQ(doc().record.outputDelay, p.delay);
        EXPECT_EQ(view().delayEdit->text().toInt(), p.delay);
    }
    EXPECT_EQ(History().redoText(), "Card data prefix");
}

}  // namespace
