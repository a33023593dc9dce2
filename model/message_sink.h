// Every message the program shows to the user goes through one sink, so the
// editor can show a modal box while tests and the command-line tool collect
// the texts instead.
#pragma once

#include <string>
#include <vector>

class IMessageSink {
public:
    enum class Icon { Exclamation, Information, Error };
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text, Icon icon = Icon::Exclamation) = 0;
};

// Keeps every message in order; used by tests.
class RecordingMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};
