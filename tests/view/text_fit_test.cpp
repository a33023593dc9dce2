// Every text of the form and of the dialogs fits the rectangle the layout
// gives it, measured with the font its control draws in; and the painted
// captions end before whatever follows them.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_fixture.h"
#include "app/main_frame.h"
#include "app/set_port_dialog.h"
#include "view/test_mr_dialog.h"
#include "view/tovask_view.h"

namespace {

std::string Name(QWidget* w, const QString& text)
{
    return std::string(w->metaObject()->className()) + " \"" + text.toStdString() + "\"";
}

// Each text that does not fit, with what it needs and what it has.
void CheckText(QWidget* w, const QString& text, QRect room, std::vector<std::string>& misfits)
{
    const QFontMetrics fm(w->font());
    const int need = fm.horizontalAdvance(text);
    if (need > room.width() || fm.height() > room.height())
        misfits.push_back(Name(w, text) + " needs " + std::to_string(need) + "x" + std::to_string(fm.height()) +
                          ", has " + std::to_string(room.width()) + "x" + std::to_string(room.height()));
}

// Walks every label, button, edit box, list and bare box under root, shown
// or hidden, and collects the texts that would be cut.
std::vector<std::string> Misfits(QWidget* root)
{
    std::vector<std::string> misfits;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        QStyle* style = w->style();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            CheckText(label, label->text(), label->contentsRect(), misfits);
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            QStyleOptionButton opt;
            opt.initFrom(button);
            opt.text = button->text();
            CheckText(button, button->text(), style->subElementRect(QStyle::SE_PushButtonContents, &opt, button),
                      misfits);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && !edit->text().isEmpty()) {
            QStyleOptionFrame opt;
            opt.initFrom(edit);
            opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
            // The edit box keeps 2 pixels free on either side of its text.
            const QRect r = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit).adjusted(2, 0, -2, 0);
            CheckText(edit, edit->text(), r, misfits);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStyleOptionComboBox opt;
            opt.initFrom(combo);
            const QRect field =
                style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo).adjusted(1, 0, -1, 0);
            for (int i = 0; i < combo->count(); ++i)
                CheckText(combo, combo->itemText(i), field, misfits);
            // The dropped-down list shows every item whole, in the same font,
            // with the 4 pixels the list keeps free on either side of a text.
            combo->showPopup();
            QAbstractItemView* list = combo->view();
            if (list->font() != combo->font())
                misfits.push_back(Name(combo, "list font"));
            for (int i = 0; i < combo->count(); ++i)
                CheckText(list, combo->itemText(i), list->viewport()->rect().adjusted(4, 0, -4, 0), misfits);
            combo->hidePopup();
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            const bool radio = qobject_cast<QRadioButton*>(w) != nullptr;
            const QSize box(style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth),
                            style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight));
            if (box.width() > w->width() || box.height() > w->height())
                misfits.push_back(Name(w, "box"));
        }
    }
    return misfits;
}

class TextFitTest : public FrameFixture {};

TEST_F(TextFitTest, FormControlsWithTheSerialRowAndBothBusyNotices)
{
    Start(4);  // COM3: every control of the form is shown
    ASSERT_TRUE(view().stopBitsEdit->isVisible());
    view().OpenFieldEditor(1);
    EXPECT_EQ(Misfits(&view()), std::vector<std::string>{});
    for (const char* text : {"Writng data, don't use mouse and/or keyboard!", "Reading data, don't use mouse and/or keyboard!"}) {
        view().SetBusyNotice(text);
        EXPECT_EQ(Misfits(&view()), std::vector<std::string>{}) << text;
    }
    view().SetBusyNotice("");
}

TEST_F(TextFitTest, PortSelectionCardTestAndAboutBoxes)
{
    CSetPort port;
    CTestMR test;
    test.SetSwipe([] {});
    CAboutDlg about;
    for (QWidget* dialog : std::initializer_list<QWidget*>{&port, &test, &about})
        EXPECT_EQ(Misfits(dialog), std::vector<std::string>{}) << dialog->windowTitle().toStdString();
}

// The label painting pass: each caption stays on the form, off every shown
// control and every other caption, and is narrowed by a tenth at most.
TEST_F(TextFitTest, PaintedCaptionsEndBeforeWhatFollowsThem)
{
    Start(4);
    auto check = [this](const char* state) {
        const auto captions = view().PaintedCaptions();
        for (size_t i = 0; i < captions.size(); ++i) {
            const auto& c = captions[i];
            EXPECT_TRUE(view().rect().contains(c.rect)) << c.text << " " << state;
            EXPECT_LT(c.rect.right(), c.limit) << c.text << " runs into what follows it " << state;
            EXPECT_GE(c.stretch, 90) << c.text;
            for (QWidget* w : view().findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                // The diagram's keyboard stop is see-through: its boxes are painted by the view.
                if (w->isVisible() && !w->testAttribute(Qt::WA_TransparentForMouseEvents)) {
                    EXPECT_FALSE(c.rect.intersects(w->geometry()))
                        << c.text << " runs under " << w->metaObject()->className() << " " << state;
                }
            }
            for (size_t j = i + 1; j < captions.size(); ++j)
                EXPECT_FALSE(c.rect.intersects(captions[j].rect)) << c.text << " / " << captions[j].text;
        }
    };
    check("closed");
    Click(95, 190);  // card prefix: the longest text caption, with the hint
    ASSERT_EQ(view().EditorCaption(), "Card data prefix: (maximum 4 characters)");
    check("text editor");
    Click(125, 220);  // track 1 start sentinel: the longest switch caption
    ASSERT_FALSE(view().SwitchCaption().empty());
    check("switch editor");
}

}  // namespace
