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
        static QMessageBoxSink boxSink;
        (g_sink ? *g_sink : boxSink).ShowMessage(text, icon);
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
