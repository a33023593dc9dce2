// The form view's construction, its start-up with the link chosen for the
// run, and the commands that use that link.
#include "view/tovask_view.h"
#include "view/test_mr_dialog.h"
#include "device/link_set.h"

#include <QApplication>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUndoStack>

#include <cstdlib>

#include "view/form_metrics.h"
#include "view/format_diagram_keys.h"
#include "view/message_box_sink.h"

static void InitResources() { Q_INIT_RESOURCE(tovask); }

CTovaskView::CTovaskView(CTovaskDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    InitResources();
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setWhatsThis("The template: the reader's options above, the output line of a card below. "
                 "Click a box of the diagram to edit that field.");
    m_undo = new QUndoStack(this);
    CreatePanelControls();
    InstallFormatDiagramAccessibility();
    diagram = new CFormatDiagram(*this);
    // After the panel, as on the screen: the diagram comes last.
    setTabOrder(flowCombo, diagram);
    ApplyDialogLook(this);
    resize(sizeHint());
    m_doc.SetView(this);
}

CTovaskView::~CTovaskView()
{
    if (m_doc.View() == this)
        m_doc.SetView(nullptr);
}

QSize CTovaskView::sizeHint() const { return DialogUnitRect(0, 0, 352, 257).size(); }

void CTovaskView::InitialUpdate(int portKind)
{
    if (m_firstInitialUpdate) {
        m_portKind = portKind;
        if (!IsComPortKind(m_portKind))
            ShowControls({baudCombo, parityCombo, dataBitsCombo, stopBitsEdit, flowCombo}, false);
        if (m_portKind == portKindPS2)
            m_portName = "PS2";
        if (m_links && m_links->PortKind() == m_portKind) {
            // A COM port is opened and closed at once to see that it can be used.
            // A link that cannot be used at all (no keyboard-port driver) ends the program.
            if (m_links->Start(MessageSink()) == LinkSet::StartResult::Fatal)
                std::exit(0);
            m_comPortReady = m_links->ComPortReady();
        }
        if (IsComPortKind(m_portKind)) {
            m_testDialog = std::make_unique<CTestMR>();
            if (m_links && m_links->SwipeAction())
                m_testDialog->SetSwipe(m_links->SwipeAction());
        }
        ShowControls({busyNotice}, false);
        m_firstInitialUpdate = 0;
        CreateFieldEditorControls();
    }
    OnInitialUpdate();
}

void CTovaskView::OnInitialUpdate()
{
    ShrinkFrameToForm();
    m_doc.fieldHovered.fill(0);
    m_editorCaption.clear();
    m_editorHint.clear();
    m_switchCaption.clear();
    // The template is decoded before the panel and the preview show it, not
    // at the first paint, which comes after them.
    if (m_doc.needsDecode) {
        m_doc.needsDecode = 0;
        m_doc.DecodeImage();
    }
    UpdatePanelFromTemplate();
    update();
}

// The main window shrinks, never grows, until it shows the whole form without
// scroll bars. Before the window is first shown it is sized to the form as a
// whole.
void CTovaskView::ShrinkFrameToForm()
{
    QWidget* frame = window();
    auto* area = qobject_cast<QAbstractScrollArea*>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    if (frame == this || !area || !frame->isVisible())
        return;
    if (frame->layout())
        frame->layout()->activate();
    const QSize fit = frame->size() - area->viewport()->size() + size();
    frame->resize(frame->size().boundedTo(fit));
}

void CTovaskView::Redraw() { update(); }
void CTovaskView::OnDocumentChanged() { update(); }

TransferContext CTovaskView::MakeContext()
{
    TransferContext ctx{m_doc, *this, MessageSink(), DefaultSleeper()};
    if (m_links)
        m_links->Fill(ctx);
    ctx.portKind = m_portKind;
    ctx.comPortReady = m_comPortReady;
    return ctx;
}

void CTovaskView::OnWriteIntoMR()
{
    TransferContext ctx = MakeContext();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ::OnWriteIntoMR(ctx);
    QApplication::restoreOverrideCursor();
}

void CTovaskView::OnReadFromMR()
{
    TransferContext ctx = MakeContext();
    const TemplateState before = m_doc.State();
    // Only a read that succeeded shows its template in the panel.
    const int refreshes = m_panelRefreshes;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ::OnReadFromMR(ctx);
    QApplication::restoreOverrideCursor();
    if (m_panelRefreshes != refreshes) {
        RecordStep("Read from MR", before);
        RefreshHoverText();
    }
}

void CTovaskView::OnVerifyMR()
{
    TransferContext ctx = MakeContext();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ::OnVerifyMR(ctx);
    QApplication::restoreOverrideCursor();
}

void CTovaskView::OnMRTest()
{
    if (!IsComPortKind(m_portKind) || !m_testDialog)
        return;
    RunMRTest(m_portKind, m_comPortReady, m_links ? m_links->Com() : nullptr, *m_testDialog, MessageSink());
}
