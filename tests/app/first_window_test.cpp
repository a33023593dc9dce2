// The first window on a 1280 x 800 screen: the whole form and the Output
// Preview in sight without scroll bars, every field editor scrolled into
// view, and the place of the last close kept on a screen.
#include <QCheckBox>
#include <QDockWidget>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "../gui_fixture.h"
#include "model/diagram_tables.h"
#include "view/output_preview.h"
#include "view/user_settings.h"

namespace {

class FirstWindowTest : public FrameFixture {
protected:
    // A rectangle of the form lies where the window shows it.
    bool InSight(const QRect& r)
    {
        QScrollArea* area = frame->FormArea();
        return area->viewport()->rect().contains(QRect(view().mapTo(area->viewport(), r.topLeft()), r.size()));
    }
};

TEST_F(FirstWindowTest, ShowsTheWholeFormAndThePreviewOnALaptopScreen)
{
    for (const int portKind : {portKindUSB, portKindCOM1 + 2}) {
        SCOPED_TRACE(PortKindName(portKind));
        Start(portKind);
        QApplication::processEvents();
        ASSERT_EQ(frame->screen()->availableGeometry(), QRect(0, 0, 1280, 800));
        EXPECT_TRUE(frame->screen()->availableGeometry().contains(frame->frameGeometry()));
        EXPECT_FALSE(frame->FormArea()->horizontalScrollBar()->isVisible());
        EXPECT_FALSE(frame->FormArea()->verticalScrollBar()->isVisible());
        EXPECT_TRUE(InSight(view().rect()));
        auto* panel = frame->findChild<OutputPreviewPanel*>();
        ASSERT_TRUE(panel && panel->isVisible());
        EXPECT_GE(panel->height(), panel->layout()->totalHeightForWidth(panel->width()));
        EXPECT_FALSE(qobject_cast<QScrollArea*>(panel->parentWidget()->parentWidget())->verticalScrollBar()->isVisible());
        EXPECT_TRUE(frame->rect().contains(QRect(panel->mapTo(frame.get(), QPoint()), panel->size())));
    }
}

TEST_F(FirstWindowTest, EveryFieldEditorOpensInSight)
{
    Start();
    // As it opens, and lower than the form, which then scrolls.
    for (const QSize size : {frame->size(), QSize(frame->width(), 420)}) {
        frame->resize(size);
        QApplication::processEvents();
        for (int k = 0; k < formatFieldCount; ++k) {
            SCOPED_TRACE(k);
            frame->FormArea()->verticalScrollBar()->setValue(0);
            const FieldBox& b = doc().diagram.fieldBoxes[k];
            Click(b.left + b.width / 2, b.top + b.height / 2);
            if (FieldInfoAt(k).kind == FieldKind::Data)
                continue;
            ASSERT_EQ(view().SelectedField(), k);
            // From the caption to the Cancel button.
            QRect editor(diagramOriginX - 50, 332, 1, 15);
            editor |= (view().fieldEdit->isHidden() ? view().switchCancelButton : view().textCancelButton)->geometry();
            EXPECT_TRUE(InSight(editor));
        }
    }
}

TEST_F(FirstWindowTest, TheLastPlaceIsKeptOnAScreenThatExists)
{
    Start();
    frame->setGeometry(120, 90, 700, 640);
    ASSERT_TRUE(frame->close());
    Start();
    EXPECT_EQ(frame->geometry(), QRect(120, 90, 700, 640));
    // From a screen that is gone; partly off the screen; larger than it.
    UserSettings settings;
    for (const QRect saved : {QRect(3000, 2000, 700, 640), QRect(1000, 500, 700, 640), QRect(10, 10, 3000, 2000)}) {
        SCOPED_TRACE(saved.x());
        settings.setValue("MainWindow/Geometry", saved);
        settings.sync();
        Start();
        EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(frame->frameGeometry()));
        if (saved.width() < 1280) {
            EXPECT_EQ(frame->size(), saved.size());
        }
    }
}

}  // namespace
