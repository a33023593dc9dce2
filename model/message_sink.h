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

    // The answer to "Save changes to NAME?" before unsaved edits would be
    // discarded. A sink that cannot ask keeps the edits: Cancel.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice AskSaveChanges(const std::string&) { return SaveChoice::Cancel; }
};

// Keeps every message and question in order and gives saveChoice as the
// answer to each question; used by tests.
class RecordingMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override { messages.push_back(text); }
    SaveChoice AskSaveChanges(const std::string& text) override
    {
        messages.push_back(text);
        return saveChoice;
    }
    std::vector<std::string> messages;
    SaveChoice saveChoice = SaveChoice::Cancel;
};
