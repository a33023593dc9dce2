// The field editor's rules, the changed and hover looks as painted, and the
// panel's handlers, driven through the real widgets.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "gui_fixture.h"
#include "app/main_frame.h"
#include "device/link_set.h"
#include "view/message_box_sink.h"
#include "view/format_diagram_keys.h"
#include "view/tovask_view.h"

namespace {

class EditorTest : public FrameFixture {
protected:
    // Opens the text editor on the box at (x, y), types text and presses OK.
    void ApplyText(int x, int y, const QString& text)
    {
        Click(x, y);
        ASSERT_TRUE(view().fieldEdit->isVisible());
        view().fieldEdit->setText(text);
        QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    }
    // True when the painted view shows this bitmap at box k.
    bool ShowsBitmap(int k, int bitmapId)
    {
        const QImage shot = view().grab().toImage();
        const QImage bmp = CTovaskView::DiagramBitmap(bitmapId).toImage();
        const FieldBox& b = doc().diagram.fieldBoxes[k];
        for (int x = 1; x < bmp.width() - 1; x += 3)
            for (int y : {4, 10, 16})
                if (shot.pixel(b.left + 1 + x, b.top + 1 + y) != bmp.pixel(x, y))
                    return false;
        return true;
    }
};

// Box centres of track 1.
constexpr QPoint t1Prefix(95, 220), t1Terminator(270, 220), t1Separator(330, 220), t1Lrc(405, 220),
    t1Suffix(440, 220), cardPrefix(95, 190), cardSuffix(95, 310);

TEST_F(EditorTest, TextLimitsCountEscapesAsOneByte)
{
    Start();
    struct Case {
        QPoint box;
        int field;
        const char* text;
        const char* refusal;  // nullptr: accepted
    };
    const Case cases[] = {
        {t1Prefix, 1, "[CR][LF]", nullptr},
        {t1Prefix, 1, "[[[[", nullptr},  // two literal brackets
        {t1Prefix, 1, "12345678", nullptr},
        {t1Prefix, 1, "123456789", "track prefix/suffix error!"},
        {t1Suffix, 8, "[cr]", "track prefix/suffix error!"},  // escapes are upper case
        {t1Suffix, 8, "AB[", "track prefix/suffix error!"},
        {t1Suffix, 8, "A[CR", "track prefix/suffix error!"},
        {t1Suffix, 8, "A[XY]", "track prefix/suffix error!"},
        {cardPrefix, 0, "ABCD", nullptr},
        {cardPrefix, 0, "ABCD[CR]", "card prefix/suffix error!"},
        {cardSuffix, 25, "[TB][TB][TB][TB][TB]", "card prefix/suffix error!"},
        {t1Terminator, 4, "[TB]", nullptr},
        {t1Terminator, 4, ";", nullptr},
        {t1Terminator, 4, ";;", "field terminator error!"},
        {t1Terminator, 4, "", nullptr},
    };
    for (const Case& c : cases) {
        sink.messages.clear();
        const std::string before = doc().record.formatFields[c.field].text;
        ApplyText(c.box.x(), c.box.y(), QString::fromLatin1(c.text));
        if (c.refusal) {
            ASSERT_EQ(sink.messages.size(), 1u) << c.text;
            EXPECT_EQ(sink.messages[0], c.refusal) << c.text;
            EXPECT_TRUE(view().fieldEdit->isVisible()) << c.text;
            EXPECT_EQ(view().fieldEdit->text(), QString::fromLatin1(c.text));  // kept for correction
            EXPECT_EQ(doc().record.formatFields[c.field].text, before) << c.text;
            QTest::mouseClick(view().textCancelButton, Qt::LeftButton);
        } else {
            EXPECT_TRUE(sink.messages.empty()) << c.text;
            EXPECT_FALSE(view().fieldEdit->isVisible()) << c.text;
            EXPECT_EQ(doc().record.formatFields[c.field].text, c.text);
        }
    }
}

TEST_F(EditorTest, ChangedMarkOnlyForADifferentValueAndItStays)
{
    Start();
    ApplyText(t1Prefix.x(), t1Prefix.y(), "");  // the value it was opened with
    EXPECT_EQ(doc().fieldChanged[1], 0);
    ApplyText(t1Prefix.x(), t1Prefix.y(), "AB");
    EXPECT_EQ(doc().fieldChanged[1], 1);
    ApplyText(t1Prefix.x(), t1Prefix.y(), "");  // back to the old value: still marked
    EXPECT_EQ(doc().fieldChanged[1], 1);
    EXPECT_EQ(doc().record.formatFields[1].text, "");

    // Checking and unchecking before OK applies an unchanged value.
    Click(t1Lrc.x(), t1Lrc.y());
    ASSERT_TRUE(view().switchCheck->isVisible());
    EXPECT_EQ(view().SwitchCaption(), "Track1 LRC (checked: Enable, unchecked: Disable)");
    EXPECT_EQ(view().EditorCaption(), "");
    QTest::mouseClick(view().switchCheck, Qt::LeftButton);
    QTest::mouseClick(view().switchCheck, Qt::LeftButton);
    QTest::mouseClick(view().switchOkButton, Qt::LeftButton);
    EXPECT_EQ(doc().fieldChanged[7], 0);
    EXPECT_EQ(doc().record.formatFields[7].text, "Disable");
    EXPECT_FALSE(view().switchCheck->isVisible());
    EXPECT_EQ(view().SwitchCaption(), "");
}

TEST_F(EditorTest, OpeningAnotherFieldDropsUnappliedText)
{
    Start();
    Click(t1Prefix.x(), t1Prefix.y());
    EXPECT_EQ(view().EditorHint(), "[CR]=Carriage return, [LF]=Line feed, [TB]=Tab, [[=[");
    view().fieldEdit->setText("XY");
    Click(t1Separator.x(), t1Separator.y());
    EXPECT_TRUE(view().switchCheck->isVisible());
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_FALSE(view().textOkButton->isVisible());
    EXPECT_EQ(view().SelectedField(), 5);
    EXPECT_EQ(view().SwitchCaption(), "Track1 seperator (checked: Enable, unchecked: Disable)");
    EXPECT_EQ(view().EditorCaption(), "");
    EXPECT_EQ(view().EditorHint(), "");
    EXPECT_EQ(doc().record.formatFields[1].text, "");
    EXPECT_TRUE(view().switchCheck->isChecked());  // separators are on in a new template

    // Detached switch editor: OK closes it and stores nothing.
    Click(20, 20);
    EXPECT_EQ(view().SelectedField(), CTovaskView::noField);
    EXPECT_TRUE(view().switchCheck->isVisible());
    QTest::mouseClick(view().switchCheck, Qt::LeftButton);
    QTest::mouseClick(view().switchOkButton, Qt::LeftButton);
    EXPECT_FALSE(view().switchCheck->isVisible());
    EXPECT_EQ(doc().record.formatFields[5].enabled, 1);
    EXPECT_EQ(doc().fieldChanged[5], 0);
}

TEST_F(EditorTest, OkAfterOpenStoresIntoTheOpenedTemplate)
{
    Start();
    QTemporaryDir dir;
    const QString path = dir.filePath("opened.mtl");
    ApplyText(t1Prefix.x(), t1Prefix.y(), "P");
    ASSERT_TRUE(frame->SaveFile(path));
    frame->OnFileNew();
    view().grab();
    Click(t1Prefix.x(), t1Prefix.y());
    view().fieldEdit->setText("Q");
    ASSERT_TRUE(frame->OpenFile(path));
    view().grab();  // decodes the opened file
    EXPECT_EQ(doc().record.formatFields[1].text, "P");
    EXPECT_EQ(doc().fieldChanged[1], 0);
    EXPECT_TRUE(view().fieldEdit->isVisible());
    EXPECT_EQ(view().EditorCaption(), "");
    EXPECT_EQ(view().EditorHint(), "");
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    EXPECT_EQ(doc().record.formatFields[1].text, "Q");
    EXPECT_EQ(doc().fieldChanged[1], 1);  // differs from the text it was opened with
}

TEST_F(EditorTest, ChangedBoxIsBlueUntilTheTrackBoxIsClicked)
{
    Start();
    EXPECT_TRUE(ShowsBitmap(0, 183));
    ApplyText(cardPrefix.x(), cardPrefix.y(), "$");
    Move(10, 10);
    EXPECT_TRUE(ShowsBitmap(0, 198));  // changed
    Move(cardPrefix.x(), cardPrefix.y());
    EXPECT_TRUE(ShowsBitmap(0, 197));  // the pointer-over look wins
    Move(10, 10);
    EXPECT_TRUE(ShowsBitmap(0, 198));

    QTest::mouseClick(view().trackCheck[0], Qt::LeftButton);
    QTest::mouseClick(view().trackCheck[0], Qt::LeftButton);
    EXPECT_EQ(doc().fieldChanged[0], 0);
    EXPECT_TRUE(ShowsBitmap(0, 183));
    EXPECT_EQ(doc().record.formatFields[0].text, "$");  // the value stays, only the mark goes
}

TEST_F(EditorTest, MovingStraightIntoTheNeighbourShowsItsTextAtOnce)
{
    Start();
    Move(t1Separator.x(), t1Separator.y());
    EXPECT_EQ(view().HoverText(), " Seperator: Enable ");
    Move(t1Terminator.x(), t1Terminator.y());
    EXPECT_EQ(view().HoverText(), " Terminator:  ");
    EXPECT_EQ(doc().fieldHovered[5], 0);
    EXPECT_EQ(doc().fieldHovered[4], 1);
    Move(t1Separator.x(), t1Separator.y());
    EXPECT_EQ(view().HoverText(), " Seperator: Enable ");
    EXPECT_EQ(doc().fieldHovered[4], 0);
    // (75, 190) and (117, 190) lie on the card prefix's border, (76, 190) inside.
    Move(117, 190);
    EXPECT_EQ(view().HoverText(), "");
    Move(76, 190);
    EXPECT_EQ(view().HoverText(), " Data prefix:  ");
}

TEST_F(EditorTest, SwitchedOffRowNeitherHoversNorOpens)
{
    Start();
    QTest::mouseClick(view().trackCheck[0], Qt::LeftButton);
    EXPECT_FALSE(view().IsBoxActive(1));
    EXPECT_TRUE(view().IsBoxActive(0));
    Move(t1Prefix.x(), t1Prefix.y());
    EXPECT_EQ(view().HoverText(), "");
    EXPECT_EQ(doc().fieldHovered[1], 0);
    Click(t1Prefix.x(), t1Prefix.y());
    EXPECT_FALSE(view().fieldEdit->isVisible());
    const QImage shot = view().grab().toImage();
    const QImage strip = CTovaskView::DiagramBitmap(disabledRowBitmapId).toImage();
    EXPECT_EQ(shot.pixel(76 + 200, 211 + 10), strip.pixel(200, 10));
}

TEST_F(EditorTest, DelaySpunPastTwoHundredRefusesTheWrite)
{
    Start();
    view().delayEdit->setText("198");
    for (int i = 0; i < 60; ++i)
        QTest::mouseClick(view().spinUp, Qt::LeftButton);
    EXPECT_EQ(view().delayEdit->text(), "255");  // the spin stops at its upper bound
    EXPECT_EQ(doc().record.outputDelay, 255);    // typing and spinning reach the template at once
    view().OnWriteIntoMR();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "Enter an integer between 1 and 200.");
    EXPECT_EQ(QApplication::focusWidget(), view().delayEdit);
    EXPECT_EQ(view().delayEdit->selectedText(), "255");

    // Text that is no number leaves the template at the last number.
    view().delayEdit->setText("x");
    EXPECT_EQ(doc().record.outputDelay, 255);
    QTest::keyClick(view().delayEdit, Qt::Key_Down);  // arrow keys step from there
    EXPECT_EQ(view().delayEdit->text(), "254");
    view().delayEdit->setText("1");
    QTest::mouseClick(view().spinDown, Qt::LeftButton);
    EXPECT_EQ(view().delayEdit->text(), "1");  // and stops at the lower bound
}

TEST_F(EditorTest, PanelCheckBoxesReachTheTemplate)
{
    Start();
    QTest::mouseClick(view().longBeepCheck, Qt::LeftButton);
    EXPECT_EQ(doc().record.longBeepOnGoodRead, 1);
    QTest::mouseClick(view().threeBeepsCheck, Qt::LeftButton);
    EXPECT_EQ(doc().record.threeBeepsOnError, 1);
    QTest::mouseClick(view().oposCheck, Qt::LeftButton);
    EXPECT_EQ(doc().record.oposMode, 1);
    // A radio choice reaches the template at once, as an edit of its own.
    QTest::mouseClick(view().errorRadio[1], Qt::LeftButton);
    EXPECT_EQ(doc().record.errorMode, 1);
    ASSERT_TRUE(view().UpdateTemplateFromPanel());
    EXPECT_EQ(doc().record.errorMode, 1);
    // USB: the serial lists carry no selection into the template.
    EXPECT_EQ(doc().record.baudIndex, -1);
    EXPECT_FALSE(view().baudCombo->isVisible());
    EXPECT_EQ(view().portNameEdit->text(), "USB");
}

TEST_F(EditorTest, ComPortShowsTheSerialRowAndItsLabel)
{
    Start(4);  // COM3
    EXPECT_EQ(view().portNameEdit->text(), "COM3");
    EXPECT_TRUE(view().baudCombo->isVisible());
    EXPECT_EQ(view().parityCombo->currentText(), "None Parity");
    EXPECT_EQ(view().dataBitsCombo->currentText(), "8 Bits");
    EXPECT_EQ(view().flowCombo->currentText(), "No Hardware Flow Ctrl");
    EXPECT_EQ(view().stopBitsEdit->text(), "1 stop bit");

    // A baud index outside the list shows no selection and becomes -1.
    ConfigImage image = DefaultImage();
    image[0x3E] = 0xC8 | 0x02;  // baud bits 2: index 6
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.mtl");
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), image.size());
    ASSERT_TRUE(frame->OpenFile(path));
    view().grab();
    EXPECT_EQ(doc().record.baudIndex, 6);
    EXPECT_EQ(view().baudCombo->currentIndex(), -1);
    ASSERT_TRUE(view().UpdateTemplateFromPanel());
    EXPECT_EQ(doc().record.baudIndex, -1);

    // Changing only the baud rate and saving stores it.
    view().baudCombo->setCurrentIndex(1);
    ASSERT_TRUE(frame->SaveFile(path));
    std::ifstream in(path.toStdString(), std::ios::binary);
    ConfigImage saved{};
    in.read(reinterpret_cast<char*>(saved.data()), saved.size());
    EXPECT_EQ(saved[0x3E] & 0x07, 5);  // 4800
}

TEST_F(EditorTest, ComProtocolLabelIsPaintedOnlyForComPorts)
{
    auto inkAt = [this] {
        const QImage shot = view().grab().toImage();
        int dark = 0;
        for (int x = 25; x < 100; ++x)
            for (int y = 70; y < 84; ++y)
                if (qGray(shot.pixel(x, y)) < 128)
                    ++dark;
        return dark;
    };
    Start(portKindUSB);
    EXPECT_EQ(inkAt(), 0);
    frame.reset();
    Start(2);  // COM1
    EXPECT_GT(inkAt(), 20);
}

TEST_F(EditorTest, OpenTakesTheFirst64BytesAndAnEmptyFileKeepsTheTemplate)
{
    Start();
    QTemporaryDir dir;
    ConfigImage image = DefaultImage();
    image[0x00] = 'A';
    std::string bytes(reinterpret_cast<const char*>(image.data()), image.size());
    bytes += std::string(36, 'x');
    const QString longPath = dir.filePath("long.mtl");
    std::ofstream(longPath.toStdString(), std::ios::binary) << bytes;
    ASSERT_TRUE(frame->OpenFile(longPath));
    view().grab();
    EXPECT_EQ(doc().record.formatFields[1].text, "A");
    ASSERT_TRUE(frame->SaveFile(longPath));
    EXPECT_EQ(QFileInfo(longPath).size(), 64);

    const QString emptyPath = dir.filePath("empty.mtl");
    std::ofstream(emptyPath.toStdString(), std::ios::binary).flush();
    ASSERT_TRUE(frame->OpenFile(emptyPath));
    view().grab();
    EXPECT_EQ(doc().record.formatFields[1].text, "A");
    EXPECT_EQ(ShownTitle(), "empty.mtl - Tovask");
    EXPECT_TRUE(sink.messages.empty());
}

// Presses a key where the keyboard focus is, as a user would.
void Key(int key)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, static_cast<Qt::Key>(key));
}

TEST_F(EditorTest, KeysAfterTheEditorClosesLeaveThePanelAlone)
{
    Start(4);  // COM3: every panel value is shown
    auto panel = [this] {
        QStringList values{view().delayEdit->text(), view().portNameEdit->text(), view().stopBitsEdit->text()};
        for (QComboBox* c : {view().baudCombo, view().parityCombo, view().dataBitsCombo, view().flowCombo})
            values << c->currentText();
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 view().trackCheck[0], view().trackCheck[1], view().trackCheck[2], view().errorRadio[0],
                 view().errorRadio[1], view().longBeepCheck, view().threeBeepsCheck, view().oposCheck})
            values << (b->isChecked() ? "1" : "0");
        return values;
    };
    const QStringList before = panel();
    auto strayKeys = [&](const char* after) {
        EXPECT_EQ(QApplication::focusWidget(), view().diagram) << after;
        for (int key : {int('7'), int(Qt::Key_Backspace), int(Qt::Key_Up)})
            Key(key);
        Move(t1Prefix.x(), t1Prefix.y());
        EXPECT_EQ(panel(), before) << after;
        EXPECT_EQ(doc().record.outputDelay, 4) << after;
        EXPECT_TRUE(sink.messages.empty()) << after;
    };

    Click(t1Prefix.x(), t1Prefix.y());
    QTest::keyClicks(QApplication::focusWidget(), "AB");
    Key(Qt::Key_Return);  // Enter applies
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_EQ(doc().record.formatFields[1].text, "AB");
    strayKeys("Enter in the text editor");

    Click(t1Suffix.x(), t1Suffix.y());
    QTest::keyClicks(QApplication::focusWidget(), "X");
    Key(Qt::Key_Escape);  // Escape cancels
    EXPECT_FALSE(view().fieldEdit->isVisible());
    EXPECT_EQ(doc().record.formatFields[8].text, "");
    strayKeys("Escape in the text editor");

    Click(t1Prefix.x(), t1Prefix.y());
    QTest::mouseClick(view().textOkButton, Qt::LeftButton);
    strayKeys("OK clicked");

    Click(t1Lrc.x(), t1Lrc.y());
    EXPECT_EQ(QApplication::focusWidget(), view().switchCheck);
    Key(Qt::Key_Space);
    Key(Qt::Key_Enter);  // the keypad's Enter applies too
    EXPECT_FALSE(view().switchCheck->isVisible());
    EXPECT_EQ(doc().record.formatFields[7].enabled, 1);
    strayKeys("Enter in the switch editor");

    Click(t1Separator.x(), t1Separator.y());
    Key(Qt::Key_Space);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(view().switchCheck->isVisible());
    EXPECT_EQ(doc().record.formatFields[5].enabled, 1);
    EXPECT_EQ(doc().fieldChanged[5], 0);
    strayKeys("Escape in the switch editor");
}

TEST_F(EditorTest, TabShowsTheFocusOnBareBoxes)
{
    Start();
    view().delayEdit->setFocus();
    QWidget* previous = view().delayEdit;
    for (QWidget* box : {static_cast<QWidget*>(view().errorRadio[0]), static_cast<QWidget*>(view().trackCheck[0])}) {
        const QImage unfocused = box->grab().toImage();
        while (QApplication::focusWidget() != box && QApplication::focusWidget() != nullptr) {
            previous = QApplication::focusWidget();
            Key(Qt::Key_Tab);
            if (QApplication::focusWidget() == previous)
                break;
        }
        ASSERT_EQ(QApplication::focusWidget(), box);
        EXPECT_NE(box->grab().toImage(), unfocused) << box->metaObject()->className();
    }
}

// A painted caption is its box's label: a click on it runs what a click on
// the box runs.
TEST_F(EditorTest, ClickingACaptionWorksItsBox)
{
    Start();
    int labelled = 0;
    for (const CTovaskView::PaintedCaption& c : view().PaintedCaptions()) {
        if (!c.box)
            continue;
        ++labelled;
        const bool radio = qobject_cast<QRadioButton*>(c.box) != nullptr;
        const bool before = c.box->isChecked();
        Click(c.rect.center().x(), c.rect.center().y());
        EXPECT_EQ(c.box->isChecked(), radio || !before) << c.text;
        EXPECT_EQ(QApplication::focusWidget(), c.box) << c.text;
    }
    EXPECT_EQ(labelled, 8);  // two radio buttons, three tracks, two beeps, OPOS/JPOS
    // The boxes' own handlers ran: the template followed at once.
    EXPECT_EQ(doc().record.trackEnabled, (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(doc().record.errorMode, 1);
    EXPECT_EQ(doc().record.longBeepOnGoodRead, 1);
    EXPECT_EQ(doc().record.threeBeepsOnError, 1);
    EXPECT_EQ(doc().record.oposMode, 1);
    EXPECT_TRUE(sink.messages.empty());
}

// Collects the areas the view is asked to repaint.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

TEST_F(EditorTest, LeavingABoxRepaintsAllOfItsLongHoverText)
{
    Start();
    ApplyText(t1Prefix.x(), t1Prefix.y(), "[CR][LF][TB][[[CR][LF][TB][[");  // eight bytes, 28 characters
    Move(t1Prefix.x(), t1Prefix.y());
    ASSERT_EQ(view().HoverText(), " Prefix: [CR][LF][TB][[[CR][LF][TB][[ ");
    const QRect shown = view().HoverTextRect();
    ASSERT_GT(shown.right(), t1Prefix.x() + 150);  // wider than the area around the pointer
    QApplication::processEvents();
    PaintRecorder recorder;
    view().installEventFilter(&recorder);
    Move(t1Prefix.x(), 236);  // between the rows: over no box
    QApplication::processEvents();
    view().removeEventFilter(&recorder);
    EXPECT_EQ(view().HoverText(), "");
    EXPECT_TRUE(recorder.painted.contains(shown));
}

// The text goes on the row of the box, right of the pointer or, where it
// would leave the view, left of it: the rows above and below stay in sight.
TEST_F(EditorTest, HoverTextKeepsToItsRowAndInsideTheView)
{
    Start();
    ApplyText(t1Suffix.x(), t1Suffix.y(), "[CR][LF][TB][[[CR][LF][TB][[");  // too long for the right
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldBox& b = doc().diagram.fieldBoxes[k];
        const QPoint at(b.left + b.width / 2, b.top + b.height / 2);
        Move(at.x(), at.y());
        const QRect shown = view().HoverTextRect();
        SCOPED_TRACE(k);
        EXPECT_TRUE(QRect(1, b.top + 1, view().width() - 2, b.height - 1).contains(shown));
        EXPECT_FALSE(shown.contains(at));  // the pointer's tip is not covered
    }
}

// Leaving the view, for the preview below it or another window, ends the
// hover at once: no text, no box in its pointer-over look.
TEST_F(EditorTest, HoverEndsWhenThePointerLeavesTheView)
{
    Start();
    Move(t1Separator.x(), t1Separator.y());
    ASSERT_EQ(doc().fieldHovered[5], 1);
    ASSERT_TRUE(ShowsBitmap(5, doc().diagram.hoverBitmapIds[5]));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view(), &leave);
    EXPECT_EQ(view().HoverText(), "");
    EXPECT_EQ(doc().fieldHovered, decltype(doc().fieldHovered){});
    EXPECT_TRUE(ShowsBitmap(5, doc().diagram.normalBitmapIds[5]));
}

}  // namespace
