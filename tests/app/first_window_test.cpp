// The first window on a 1280 x 800 screen: the whole form and the Output
// Preview in sight without scroll bars, every field editor scrolled into
// view, the place of the last close kept on a screen, and the panel's
// captions in the controls' own family.
#include <QCheckBox>
#include <QDockWidget>
#include <QLayout>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "../gui_fixture.h"
#include "model/diagram_tables.h"
#include "view/form_metrics.h"
#include "view/output_preview.h"

namespace {

class FirstWindowTest : public FrameFixture {
protected:
    QScrollArea* Area() { return frame->FormArea(); }
    // A rectangle of the form, as far as the window shows it.
    bool InSight(const QRect& r)
    {
        const QRect inViewport(view().mapTo(Area()->viewport(), r.topLeft()), r.size());
        return Area()->viewport()->rect().contains(inViewport);
    }
    // The field editor from its caption to its buttons.
    QRect EditorArea()
    {
        QRect r(diagramOriginX - 50, 332, 1, 15);
        for (QWidget* w : {static_cast<QWidget*>(view().fieldEdit), static_cast<QWidget*>(view().textCancelButton),
                           static_cast<QWidget*>(view().switchCheck),
                           static_cast<QWidget*>(view().switchCancelButton)})
            if (!w->isHidden())
                r |= w->geometry();
        return r;
    }
};

TEST_F(FirstWindowTest, ShowsTheWholeFormAndThePreviewOnALaptopScreen)
{
    for (const int portKind : {portKindUSB, portKindCOM1 + 2}) {
        SCOPED_TRACE(PortKindName(portKind));
        Start(portKind);
        QApplication::processEvents();
        const QRect screen = frame->screen()->availableGeometry();
        ASSERT_EQ(screen.size(), QSize(1280, 800));
        EXPECT_TRUE(screen.contains(frame->frameGeometry()));
        EXPECT_FALSE(Area()->horizontalScrollBar()->isVisible());
        EXPECT_FALSE(Area()->verticalScrollBar()->isVisible());
        for (int k = 0; k < formatFieldCount; ++k) {
            const FieldBox& b = doc().diagram.fieldBoxes[k];
            EXPECT_TRUE(InSight(QRect(b.left, b.top, b.width + 1, b.height + 1))) << k;
        }
        EXPECT_TRUE(InSight(view().rect()));

        // The preview whole, inside the window, its labels clear of their fields.
        auto* panel = frame->findChild<OutputPreviewPanel*>();
        ASSERT_TRUE(panel && panel->isVisible());
        auto* panelArea = qobject_cast<QScrollArea*>(panel->parentWidget()->parentWidget());
        ASSERT_TRUE(panelArea);
        EXPECT_FALSE(panelArea->verticalScrollBar()->isVisible());
        EXPECT_GE(panel->height(), panel->layout()->totalHeightForWidth(panel->width()));
        const QRect panelInFrame(panel->mapTo(frame.get(), QPoint()), panel->size());
        EXPECT_TRUE(frame->rect().contains(panelInFrame))
            << panelInFrame.x() << "," << panelInFrame.y() << " " << panelInFrame.width() << "x"
            << panelInFrame.height() << " in " << frame->width() << "x" << frame->height();
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            if (!label->buddy() || !label->isVisible())
                continue;
            EXPECT_FALSE(label->geometry().intersects(label->buddy()->geometry()))
                << label->text().toStdString() << " " << label->geometry().y() << "+" << label->geometry().height()
                << " field " << label->buddy()->geometry().y() << "+" << label->buddy()->geometry().height();
            EXPECT_TRUE(panel->rect().contains(label->buddy()->geometry())) << label->text().toStdString();
        }
    }
    // The painted captions in the family of the controls beside them.
    EXPECT_EQ(QFontInfo(DiagramFont()).family(), QFontInfo(view().delayEdit->font()).family());
    EXPECT_EQ(QFontInfo(DiagramFont()).styleHint(), QFontInfo(DialogFont()).styleHint());
}

TEST_F(FirstWindowTest, EveryFieldEditorOpensInSight)
{
    Start();
    // As it opens, and lower than the form: the form scrolls.
    for (const QSize size : {frame->size(), QSize(frame->width(), 420)}) {
        frame->resize(size);
        QApplication::processEvents();
        for (int k = 0; k < formatFieldCount; ++k) {
            SCOPED_TRACE(k);
            // Scrolled to the diagram's top left, away from the editor.
            Area()->horizontalScrollBar()->setValue(0);
            Area()->verticalScrollBar()->setValue(0);
            const FieldBox& b = doc().diagram.fieldBoxes[k];
            Click(b.left + b.width / 2, b.top + b.height / 2);
            QApplication::processEvents();
            if (FieldInfoAt(k).kind == FieldKind::Data) {
                EXPECT_EQ(view().SelectedField(), CTovaskView::noField);
                continue;
            }
            ASSERT_EQ(view().SelectedField(), k);
            EXPECT_TRUE(InSight(EditorArea())) << size.width() << "x" << size.height() << " editor "
                                               << EditorArea().y() << "+" << EditorArea().height() << " viewport "
                                               << Area()->viewport()->height() << " scrolled "
                                               << Area()->verticalScrollBar()->value();
        }
    }
}

TEST_F(FirstWindowTest, TheLastPlaceIsKeptOnAScreenThatExists)
{
    Start();
    frame->setGeometry(120, 90, 700, 640);
    ASSERT_TRUE(frame->close());
    QSettings settings("Corvane ZT40 Utility", "Tovask");
    EXPECT_EQ(settings.value("MainWindow/Geometry").toRect(), QRect(120, 90, 700, 640));

    const QRect screen(0, 0, 1280, 800);
    const struct {
        QRect saved;
        QRect expected;  // empty: anywhere on the screen, of the saved size
    } cases[] = {
        {QRect(120, 90, 700, 640), QRect(120, 90, 700, 640)},
        {QRect(3000, 2000, 700, 640), QRect()},              // a screen that is gone
        {QRect(-2000, 100, 700, 640), QRect()},
        {QRect(1000, 500, 700, 640), QRect()},               // partly off the screen
        {QRect(10, 10, 3000, 2000), QRect()},                // larger than the screen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString("%1,%2").arg(c.saved.x()).arg(c.saved.y()).toStdString());
        settings.setValue("MainWindow/Geometry", c.saved);
        settings.sync();
        Start();
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(frame->geometry(), c.expected);
        }
        EXPECT_TRUE(screen.contains(frame->frameGeometry()));
        if (c.saved.width() < 1000) {
            EXPECT_EQ(frame->size(), c.saved.size());
        }
    }
}

}  // namespace
