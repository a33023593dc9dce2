// The editor's message sink: a modal box with the caption "Tovask" and an OK
// button; and the one sink that the view and the frame report through.
#pragma once

#include <memory>

#include "model/message_sink.h"

class QMessageBox;
class QWidget;

class QMessageBoxSink : public IMessageSink {
public:
    explicit QMessageBoxSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void ShowMessage(const std::string& text, Icon icon = Icon::Exclamation) override;
    SaveChoice AskSaveChanges(const std::string& text) override;

private:
    QWidget* m_parent;
};

// The box that asks whether to save: Save, Discard and Cancel, Save the
// default and Escape for Cancel.
std::unique_ptr<QMessageBox> MakeSaveChangesBox(const std::string& text, QWidget* parent);

// The sink in use: a QMessageBoxSink until SetMessageSink installs another
// (tests install a RecordingMessageSink); passing null restores the box.
// Whichever it is, the wait cursor is taken down before each message.
IMessageSink& MessageSink();
void SetMessageSink(IMessageSink* sink);
