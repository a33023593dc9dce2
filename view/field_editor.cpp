// The field editor: the text and switch editors opened from the diagram.
#include "view/tovask_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "model/diagram_tables.h"
#include "view/form_metrics.h"
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
    ShowControls({fieldEdit, textOkButton, textCancelButton, switchCheck, switchOkButton, switchCancelButton}, false);
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
    if (kind == FieldKind::Switch) {
        ShowControls({switchCheck}, true);
        switchCheck->setChecked(f.enabled != 0);
        m_originalChecked = f.enabled;
        m_selectedField = k;
        m_switchCaption = m_doc.diagram.fieldCaptions[k];
        m_editorCaption.clear();
        m_editorHint.clear();
        ShowControls({switchOkButton, switchCancelButton}, true);
        ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    } else {
        ShowControls({fieldEdit}, true);
        fieldEdit->setFocus(Qt::OtherFocusReason);
        fieldEdit->setText(QString::fromLocal8Bit(f.text.c_str()));
        m_originalText = f.text;
        m_selectedField = k;
        m_editorCaption = m_doc.diagram.fieldCaptions[k];
        m_editorHint = escapeHint;
        m_switchCaption.clear();
        ShowControls({textOkButton, textCancelButton}, true);
        ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    }
    update();
}

void CTovaskView::ApplyTextEdit()
{
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
        }
    }
    ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    m_editorCaption.clear();
    m_editorHint.clear();
    update();
}

void CTovaskView::CancelTextEdit()
{
    ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    m_editorCaption.clear();
    m_editorHint.clear();
    update();
}

void CTovaskView::ApplySwitchEdit()
{
    const int k = m_selectedField;
    // Detached (no field selected): closes without storing, as the text editor does.
    if (k >= 0 && k <= 25 && FieldInfoAt(k).kind == FieldKind::Switch) {
        const int state = switchCheck->isChecked() ? 1 : 0;
        if (state != m_originalChecked)
            m_doc.fieldChanged[k] = 1;
        FormatField& f = m_doc.record.formatFields[k];
        f.enabled = state;
        f.text = state ? "Enable" : "Disable";
    }
    ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    m_switchCaption.clear();
    update();
}

void CTovaskView::CancelSwitchEdit()
{
    ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    m_switchCaption.clear();
    update();
}

