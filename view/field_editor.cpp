// The field editor: the text and switch editors opened from the diagram.
#include "view/tovask_view.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>

#include "model/diagram_tables.h"
#include "view/form_metrics.h"
#include "view/format_diagram_keys.h"
#include "view/message_box_sink.h"

void CTovaskView::CreateFieldEditorControls()
{
    const int x = diagramOriginX;
    auto button = [this](const char* text, int left) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(left, 350, 55, 20);
        return b;
    };
    fieldEdit = new QLineEdit(this);
    fieldEdit->setGeometry(x - 50, 350, 310, 20);
    textOkButton = button("OK", 345);
    textCancelButton = button("Cancel", 410);
    switchCheck = new QCheckBox(this);
    // Two pixels more than the 13 of the layout: the desktop style's box is 14.
    switchCheck->setGeometry(x - 50, 355, 15, 15);
    switchOkButton = button("OK", 345);
    switchCancelButton = button("Cancel", 410);
    connect(textOkButton, &QPushButton::clicked, this, [this] { ApplyTextEdit(); });
    connect(textCancelButton, &QPushButton::clicked, this, [this] { CancelTextEdit(); });
    connect(switchOkButton, &QPushButton::clicked, this, [this] { ApplySwitchEdit(); });
    connect(switchCancelButton, &QPushButton::clicked, this, [this] { CancelSwitchEdit(); });
    for (QWidget* w : {static_cast<QWidget*>(fieldEdit), static_cast<QWidget*>(textOkButton),
                       static_cast<QWidget*>(textCancelButton), static_cast<QWidget*>(switchCheck),
                       static_cast<QWidget*>(switchOkButton), static_cast<QWidget*>(switchCancelButton)})
        w->installEventFilter(this);
    fieldEdit->setWhatsThis("The field's text. [CR], [LF] and [TB] stand for a carriage return, a line feed and "
                            "a tab, [[ for one [. Enter stores it, Escape closes the editor.");
    textOkButton->setWhatsThis("Stores the text into the field, if it fits the field's limit. A changed field's "
                               "box turns blue.");
    switchCheck->setWhatsThis("Checked, the reader sends this part of the output line; unchecked, it leaves it "
                              "out. Enter stores it, Escape closes the editor.");
    switchOkButton->setWhatsThis("Stores the setting into the field. A changed field's box turns blue.");
    for (QPushButton* b : {textCancelButton, switchCancelButton})
        b->setWhatsThis("Closes the editor without storing anything.");
    // In the tab order right after the diagram that opens them.
    QWidget* order[] = {diagram, fieldEdit, textOkButton, textCancelButton, switchCheck, switchOkButton, switchCancelButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ApplyDialogLook(this);
    HideFieldEditors();
    m_editorCaption.clear();
    m_editorHint.clear();
    m_switchCaption.clear();
}

void CTovaskView::HideFieldEditors()
{
    if (!fieldEdit)
        return;
    HideEditorControls({fieldEdit, textOkButton, textCancelButton, switchCheck, switchOkButton, switchCancelButton});
}

// The focus, if one of these has it, goes back to the diagram's box: left to
// itself it would move on to the panel's delay field, where the next key
// would change the delay.
void CTovaskView::HideEditorControls(std::initializer_list<QWidget*> controls)
{
    for (QWidget* w : controls)
        if (w == window()->focusWidget())
            diagram->setFocus(Qt::OtherFocusReason);
    ShowControls(controls, false);
}

// Enter applies and Escape cancels, in either editor; Enter on a Cancel
// button cancels.
bool CTovaskView::EditorKey(QObject* watched, QKeyEvent* event)
{
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    if (watched == fieldEdit || watched == textOkButton || watched == textCancelButton) {
        if (enter && watched != textCancelButton)
            ApplyTextEdit();
        else
            CancelTextEdit();
        return true;
    }
    if (watched == switchCheck || watched == switchOkButton || watched == switchCancelButton) {
        if (enter && watched != switchCancelButton)
            ApplySwitchEdit();
        else
            CancelSwitchEdit();
        return true;
    }
    return false;
}

void CTovaskView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        // A painted caption is its box's label; the diagram lies elsewhere.
        if (ClickCaption(pos)) {
            QWidget::mousePressEvent(event);
            return;
        }
        m_selectedField = noField;
        for (int k = 0; k < formatFieldCount; ++k)
            if (m_doc.diagram.fieldBoxes[k].Contains(pos.x(), pos.y()) && IsBoxActive(k))
                OpenFieldEditor(k);
    }
    QWidget::mousePressEvent(event);
}

void CTovaskView::OpenFieldEditor(int k)
{
    if (!fieldEdit || k < 0 || k > 25)
        return;
    const FieldKind kind = FieldInfoAt(k).kind;
    const FormatField& f = m_doc.record.formatFields[k];
    if (kind == FieldKind::Data)
        return;
    diagram->SetCurrentBox(k);
    const QString name = QString::fromLocal8Bit(FieldCaptionName(m_doc.diagram.fieldCaptions[k]).c_str());
    if (kind == FieldKind::Switch) {
        ShowControls({switchCheck}, true);
        switchCheck->setAccessibleName(name);
        // The focus goes into the editor, so that Enter and Escape reach it.
        switchCheck->setFocus(Qt::OtherFocusReason);
        switchCheck->setChecked(f.enabled != 0);
        m_originalChecked = f.enabled;
        m_selectedField = k;
        m_switchCaption = m_doc.diagram.fieldCaptions[k];
        m_editorCaption.clear();
        m_editorHint.clear();
        ShowControls({switchOkButton, switchCancelButton}, true);
        HideEditorControls({fieldEdit, textOkButton, textCancelButton});
    } else {
        ShowControls({fieldEdit}, true);
        fieldEdit->setAccessibleName(name);
        fieldEdit->setAccessibleDescription(escapeHint);
        fieldEdit->setFocus(Qt::OtherFocusReason);
        fieldEdit->setText(QString::fromLocal8Bit(f.text.c_str()));
        m_originalText = f.text;
        m_selectedField = k;
        m_editorCaption = m_doc.diagram.fieldCaptions[k];
        m_editorHint = escapeHint;
        m_switchCaption.clear();
        ShowControls({textOkButton, textCancelButton}, true);
        HideEditorControls({switchCheck, switchOkButton, switchCancelButton});
    }
    update();
    ScrollEditorIntoView();
}

void CTovaskView::ScrollEditorIntoView()
{
    QScrollArea* area = nullptr;
    for (QWidget* w = parentWidget(); w && !area; w = w->parentWidget())
        area = qobject_cast<QScrollArea*>(w);
    if (!area || !fieldEdit)
        return;
    // From the caption above the controls to the lower edge of the buttons.
    QRect shown(diagramOriginX - 50, 332, 1, 1);
    for (QWidget* w : {static_cast<QWidget*>(fieldEdit), static_cast<QWidget*>(textCancelButton),
                       static_cast<QWidget*>(switchCheck), static_cast<QWidget*>(switchCancelButton)})
        if (!w->isHidden())
            shown |= w->geometry();
    shown.adjust(-4, -4, 4, 4);
    area->ensureVisible(shown.center().x(), shown.center().y(), shown.width() / 2, shown.height() / 2);
}

namespace {

// A field's name as its step in the edit history ("Track1 prefix").
QString StepName(const DiagramTables& t, int k) { return QString::fromLocal8Bit(FieldCaptionName(t.fieldCaptions[k]).c_str()); }

}  // namespace

void CTovaskView::ApplyTextEdit()
{
    const TemplateState before = m_doc.State();
    const std::string text = fieldEdit->text().toLocal8Bit().toStdString();
    const int k = m_selectedField;
    if (k >= 0 && k <= 25) {
        const FieldInfo& info = FieldInfoAt(k);
        if (info.kind == FieldKind::Text || info.kind == FieldKind::Terminator) {
            if (!IsEscapedTextValid(text, info.maxBytes)) {
                const char* message = info.kind == FieldKind::Terminator ? "field terminator error!"
                                      : (k == 0 || k == 25)             ? "card prefix/suffix error!"
                                                                        : "track prefix/suffix error!";
                MessageSink().ShowMessage(message);
                fieldEdit->setFocus(Qt::OtherFocusReason);
                return;
            }
            if (text != m_originalText)
                m_doc.fieldChanged[k] = 1;
            m_doc.record.formatFields[k].text = text;
            RecordStep(StepName(m_doc.diagram, k), before);
        }
    }
    HideEditorControls({fieldEdit, textOkButton, textCancelButton});
    m_editorCaption.clear();
    m_editorHint.clear();
    RefreshHoverText();
    update();
}

void CTovaskView::CancelTextEdit()
{
    HideEditorControls({fieldEdit, textOkButton, textCancelButton});
    m_editorCaption.clear();
    m_editorHint.clear();
    update();
}

void CTovaskView::ApplySwitchEdit()
{
    const TemplateState before = m_doc.State();
    const int k = m_selectedField;
    // Detached (no field selected): closes without storing, as the text editor does.
    if (k >= 0 && k <= 25 && FieldInfoAt(k).kind == FieldKind::Switch) {
        const int state = switchCheck->isChecked() ? 1 : 0;
        if (state != m_originalChecked)
            m_doc.fieldChanged[k] = 1;
        FormatField& f = m_doc.record.formatFields[k];
        f.enabled = state;
        f.text = state ? "Enable" : "Disable";
        RecordStep(StepName(m_doc.diagram, k), before);
    }
    HideEditorControls({switchCheck, switchOkButton, switchCancelButton});
    m_switchCaption.clear();
    RefreshHoverText();
    update();
}

void CTovaskView::CancelSwitchEdit()
{
    HideEditorControls({switchCheck, switchOkButton, switchCancelButton});
    m_switchCaption.clear();
    update();
}

