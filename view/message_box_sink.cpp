#include "view/message_box_sink.h"

#include <QApplication>
#include <QMessageBox>

void QMessageBoxSink::ShowMessage(const std::string& text, Icon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::Warning;
    if (icon == Icon::Information)
        boxIcon = QMessageBox::Information;
    else if (icon == Icon::Error)
        boxIcon = QMessageBox::Critical;
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    QMessageBox box(boxIcon, "Tovask", QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok, parent);
    box.exec();
}

std::unique_ptr<QMessageBox> MakeSaveChangesBox(const std::string& text, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, "Tovask", QString::fromLocal8Bit(text.c_str()),
                                             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                             parent);
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

IMessageSink::SaveChoice QMessageBoxSink::AskSaveChanges(const std::string& text)
{
    auto box = MakeSaveChangesBox(text, m_parent ? m_parent : QApplication::activeWindow());
    switch (box->exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

namespace {

IMessageSink* g_sink = nullptr;

// No message is shown under the wait cursor: a transfer's outcome must not
// look as if the program were still busy.
class CursorFreeSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon icon) override
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        Target().ShowMessage(text, icon);
    }
    SaveChoice AskSaveChanges(const std::string& text) override
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        return Target().AskSaveChanges(text);
    }

private:
    static IMessageSink& Target()
    {
        static QMessageBoxSink boxSink;
        return g_sink ? *g_sink : boxSink;
    }
};

}  // namespace

IMessageSink& MessageSink()
{
    static CursorFreeSink sink;
    return sink;
}

void SetMessageSink(IMessageSink* sink)
{
    g_sink = sink;
}
