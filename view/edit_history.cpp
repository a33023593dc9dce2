// The edit history: each step keeps the template's state from before and
// after it, so that undo and redo give back template, image and changed
// marks exactly.
#include "view/tovask_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

class TemplateStep : public QUndoCommand {
public:
    TemplateStep(CTovaskView& view, const QString& name, TemplateState before, TemplateState after, int mergeId)
        : QUndoCommand(name), m_view(view), m_before(std::move(before)), m_after(std::move(after)), m_mergeId(mergeId)
    {
    }
    int id() const override { return m_mergeId; }
    // The edit is already done when the step is recorded. Each move keeps
    // the state it leaves, so that what happened in between without being
    // an edit (a save or a write encodes the image) comes back too.
    void redo() override
    {
        if (m_done) {
            m_before = m_view.Doc().State();
            m_view.RestoreState(m_after);
        }
        m_done = true;
    }
    void undo() override
    {
        m_after = m_view.Doc().State();
        m_view.RestoreState(m_before);
    }
    bool mergeWith(const QUndoCommand* other) override
    {
        m_after = static_cast<const TemplateStep*>(other)->m_after;
        // Typed back to where it started: the step goes.
        setObsolete(m_after == m_before);
        return true;
    }

private:
    CTovaskView& m_view;
    TemplateState m_before, m_after;
    int m_mergeId;
    bool m_done = false;
};

}  // namespace

void CTovaskView::RecordStep(const QString& name, const TemplateState& before, int mergeId)
{
    TemplateState after = m_doc.State();
    if (after == before)
        return;
    m_undo->push(new TemplateStep(*this, name, before, std::move(after), mergeId));
    emit TemplateChanged();
}

void CTovaskView::RestoreState(const TemplateState& state)
{
    HideFieldEditors();
    m_editorCaption.clear();
    m_editorHint.clear();
    m_switchCaption.clear();
    m_doc.SetState(state);
    UpdatePanelFromTemplate();
    RefreshHoverText();
    update();
}

bool CTovaskView::TakePendingEdit()
{
    const int k = m_selectedField;
    if (k < 0 || k >= formatFieldCount)
        return true;
    const FormatField& f = m_doc.record.formatFields[k];
    if (fieldEdit && !fieldEdit->isHidden() && fieldEdit->text().toLocal8Bit().toStdString() != f.text) {
        ApplyTextEdit();
        return fieldEdit->isHidden();
    }
    if (switchCheck && !switchCheck->isHidden() && (switchCheck->isChecked() ? 1 : 0) != f.enabled)
        ApplySwitchEdit();
    return true;
}
