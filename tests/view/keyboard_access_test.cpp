// The editor without a mouse and through a screen reader's eyes: the tab
// order, the diagram's keys, the accessible tree of the diagram and of the
// panel, and the 2x art on high-density screens.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "app/set_port_dialog.h"
#include "view/format_diagram_keys.h"

namespace {

class KeyboardAccessTest : public FrameFixture {
protected:
    static void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, static_cast<Qt::Key>(key), mods);
    }
    // What a screen reader calls a control: its name, or for a list (named by
    // its value on Linux) the text of the label that names it.
    static QString Named(QWidget* w)
    {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (qobject_cast<QComboBox*>(w)) {
            const auto labels = a->relations(QAccessible::Label);
            return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name).remove(':');
        }
        return a->text(QAccessible::Name);
    }
    static std::string FocusName()
    {
        QWidget* w = QApplication::focusWidget();
        if (!w)
            return "(none)";
        const QString name = Named(w);
        return name.isEmpty() ? std::string(w->metaObject()->className()) : name.toStdString();
    }
    QAccessibleInterface* Box(int k) { return QAccessible::queryAccessibleInterface(view().diagram)->child(k); }
};

// Tab goes round the window as the screen shows it: the top row, the tracks
// row, the serial row with a COM link, the diagram, the preview; never into
// a read-only field. Every control is named, the port dialog's list too.
TEST_F(KeyboardAccessTest, TabOrderFollowsTheScreenAndEveryControlIsNamed)
{
    const std::vector<std::string> top{"Output Delay (mS)", "Skip output of track with error",
                                       "Long beep at good read", "3 beeps at read error",
                                       "Track1 data", "Track2 data", "Track3 data", "OPOS/JPOS"};
    const std::vector<std::string> serial{"Baud rate", "Parity", "Data bits", "Flow control"};
    // A serial reader types no keys: no layout to choose with a COM link.
    for (int portKind : {portKindUSB, 4}) {
        Start(portKind);
        std::vector<std::string> expected = top;
        if (portKind == 4)
            expected.insert(expected.end(), serial.begin(), serial.end());
        expected.push_back("Editable MR Properties");
        if (portKind != 4)
            expected.insert(expected.end(), {"Layout", "Caps Lock"});
        expected.push_back(expected.front());  // and round again
        view().delayEdit->setFocus(Qt::TabFocusReason);
        std::vector<std::string> seen{FocusName()};
        for (size_t i = 1; i < expected.size(); ++i) {
            Key(Qt::Key_Tab);
            seen.push_back(FocusName());
        }
        EXPECT_EQ(seen, expected) << "port kind " << portKind;
        for (QWidget* w : view().findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(!w->isVisible() || !Named(w).isEmpty()) << w->metaObject()->className();
    }
    CSetPort port;
    EXPECT_EQ(Named(port.PortList()), "Port Name");
}

// The diagram's 26 children: name, role, value in the field notation, state.
TEST_F(KeyboardAccessTest, DiagramChildrenNameRoleValueAndState)
{
    Start();
    doc().record.formatFields[8].text = "[CR]";
    doc().record.formatFields[0].text = "#[[";
    doc().record.formatFields[7] = {"Disable", 0};
    doc().record.formatFields[2] = {"Enable", 1};
    QAccessibleInterface* diagram = QAccessible::queryAccessibleInterface(view().diagram);
    ASSERT_NE(diagram, nullptr);
    ASSERT_EQ(diagram->childCount(), 26);
    const struct {
        int k;
        const char *name, *value;
        QAccessible::Role role;
    } rows[] = {
        {0, "Card data prefix", "#[[", QAccessible::Button},    {2, "Track1 start sentinel", "on", QAccessible::CheckBox},
        {3, "Track1 data", "", QAccessible::StaticText},        {7, "Track1 LRC", "off", QAccessible::CheckBox},
        {8, "Track1 suffix", "[CR]", QAccessible::Button},      {21, "Track3 seperator", "on", QAccessible::CheckBox},
        {25, "Card data suffix", "", QAccessible::Button},
    };
    for (const auto& r : rows) {
        QAccessibleInterface* box = diagram->child(r.k);
        EXPECT_EQ(box->text(QAccessible::Name).toStdString() + " = " + box->text(QAccessible::Value).toStdString(),
                  std::string(r.name) + " = " + r.value);
        EXPECT_EQ(box->role(), r.role) << r.name;
        EXPECT_EQ(diagram->indexOfChild(box), r.k);
    }

    // A switched-off track's boxes are disabled and have no action; the focus child is announced.
    view().trackCheck[1]->click();
    for (int k = 0; k < 26; ++k) {
        const bool off = k >= 9 && k <= 16;
        EXPECT_EQ(Box(k)->state().disabled, off) << k;
        if (k != 3 && k != 11 && k != 19) {
            EXPECT_EQ(Box(k)->actionInterface()->actionNames().isEmpty(), off) << k;
        }
    }
    view().diagram->setFocus(Qt::TabFocusReason);
    view().diagram->SetCurrentBox(21);
    EXPECT_EQ(diagram->focusChild(), Box(21));
    EXPECT_TRUE(Box(21)->state().focused);
    EXPECT_FALSE(Box(8)->state().focused);

    // The press action opens the editor, as Enter does.
    Box(8)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(view().fieldEdit->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view().fieldEdit)->text(QAccessible::Name), "Track1 suffix");
}

// Where the arrow keys go, with track 2 switched off.
TEST_F(KeyboardAccessTest, ArrowKeysSkipSwitchedOffTracks)
{
    Start();
    view().trackCheck[1]->click();
    const struct {
        int from, key, to;
    } rows[] = {
        {0, Qt::Key_Left, 0},      {0, Qt::Key_Right, 1},   {8, Qt::Key_Right, 17}, {17, Qt::Key_Left, 8},
        {24, Qt::Key_Right, 25},   {25, Qt::Key_Right, 25}, {5, Qt::Key_Down, 21},  {21, Qt::Key_Up, 5},
        {3, Qt::Key_Up, 0},        {0, Qt::Key_Down, 1},    {24, Qt::Key_Down, 25}, {25, Qt::Key_Up, 17},
        {8, Qt::Key_Home, 0},      {8, Qt::Key_End, 25},
    };
    for (const auto& r : rows)
        EXPECT_EQ(view().diagram->BoxAfterKey(r.from, r.key), r.to) << r.from << " key " << std::hex << r.key;
    // A box whose track goes off hands the focus box on.
    view().trackCheck[1]->click();
    view().diagram->SetCurrentBox(12);
    view().trackCheck[1]->click();
    EXPECT_EQ(view().diagram->CurrentBox(), 17);
}

// A track's suffix edited with the keyboard alone, then undone.
TEST_F(KeyboardAccessTest, KeyboardOnlyEditOfATrackSuffix)
{
    Start();
    view().delayEdit->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 12 && QApplication::focusWidget() != view().diagram; ++i)
        Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), view().diagram);
    EXPECT_EQ(view().diagram->CurrentBox(), 0);
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Right);
    ASSERT_EQ(view().diagram->CurrentBox(), 8);
    Key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), view().fieldEdit);
    EXPECT_EQ(view().EditorCaption(), "Track1 suffix: (maximum 8 characters)");
    QTest::keyClicks(view().fieldEdit, "X[CR]");
    Key(Qt::Key_Return);
    EXPECT_EQ(doc().record.formatFields[8].text, "X[CR]");
    EXPECT_EQ(QApplication::focusWidget(), view().diagram);
    EXPECT_EQ(view().diagram->CurrentBox(), 8);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc().record.formatFields[8].text, "");

    // Space and F2 open a switch, Escape comes back to its box; a data box opens nothing.
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    for (int key : {Qt::Key_Space, Qt::Key_F2}) {
        Key(key);
        ASSERT_EQ(QApplication::focusWidget(), view().switchCheck);
        Key(Qt::Key_Escape);
        EXPECT_EQ(QApplication::focusWidget(), view().diagram);
        Key(Qt::Key_Left);
    }
    EXPECT_EQ(view().diagram->CurrentBox(), 4);
    view().diagram->SetCurrentBox(3);
    Key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), view().diagram);
    EXPECT_TRUE(sink.messages.empty());
}

// The boxes and the toolbar faces are the art for the screen's pixel ratio,
// pixel for pixel at 1 and 2 (run at QT_SCALE_FACTOR=2 too).
TEST_F(KeyboardAccessTest, HighDensityArtIsDrawnPixelForPixel)
{
    Start();
    const qreal ratio = view().devicePixelRatioF();
    if (ratio != 1 && ratio != 2)
        GTEST_SKIP() << "scaled art at ratio " << ratio;
    const QImage shot = view().grab().toImage();
    for (int k : {0, 8, 25}) {
        const QImage art = CTovaskView::DiagramBitmap(doc().diagram.normalBitmapIds[k], ratio).toImage();
        ASSERT_EQ(art.width(), int(doc().diagram.fieldBoxes[k].width - (k % 25 == 0 ? 1 : 0)) * ratio) << k;
        const QPoint at = QPoint(doc().diagram.fieldBoxes[k].left + 1, doc().diagram.fieldBoxes[k].top + 1) * ratio;
        EXPECT_EQ(shot.copy(QRect(at, art.size())).convertToFormat(QImage::Format_RGB32),
                  art.convertToFormat(QImage::Format_RGB32)) << k;
    }
    for (QAction* a : frame->ToolBar()->actions()) {
        if (a->isSeparator())
            continue;
        const QImage face = a->icon().pixmap(QSize(16, 15), 2).toImage();
        EXPECT_EQ(face.size(), QSize(32, 30)) << a->toolTip().toStdString();
    }
}

}  // namespace
