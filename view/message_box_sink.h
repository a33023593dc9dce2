// The editor's message sink: a modal box with the caption "Tovask" and an OK
// button; and the one sink that the view and the frame report through.
#pragma once

#include "model/message_sink.h"

class QWidget;

class QMessageBoxSink : public IMessageSink {
public:
    explicit QMessageBoxSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void ShowMessage(const std::string& text, Icon icon = Icon::Exclamation) override;

private:
    QWidget* m_parent;
};

// The sink in use: a QMessageBoxSink until SetMessageSink installs another
// (tests install a RecordingMessageSink); passing null restores the box.
// Whichever it is, the wait cursor is taken down before each message.
IMessageSink& MessageSink();
void SetMessageSink(IMessageSink* sink);
