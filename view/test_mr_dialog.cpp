#include "view/test_mr_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include <QScrollBar>
#include <QTimer>

#include "device/com/com_port.h"
#include "device/transfer.h"
#include "model/message_sink.h"
#include "view/form_metrics.h"
#include "view/tovask_view.h"


CTestMR::CTestMR(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Input MR data");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(DialogUnitRect(0, 0, 321, 203).size());

    m_quit = new QPushButton("Quit", this);
    m_quit->setGeometry(DialogUnitRect(264, 7, 50, 17));
    m_quit->setDefault(true);
    connect(m_quit, &QPushButton::clicked, this, &CTestMR::accept);

    m_clear = new QPushButton("Clear", this);
    m_clear->setGeometry(DialogUnitRect(213, 7, 50, 17));
    connect(m_clear, &QPushButton::clicked, this, &CTestMR::OnClear);

    // Where the hidden Cancel button sits: shown only with the simulated reader.
    m_swipe = new QPushButton("Swipe card", this);
    m_swipe->setGeometry(DialogUnitRect(150, 7, 62, 17));
    m_swipe->hide();
    connect(m_swipe, &QPushButton::clicked, this, [this] {
        if (m_swipeFn)
            m_swipeFn();
    });

    m_display = new QPlainTextEdit(this);
    m_display->setObjectName("display1083");
    m_display->setGeometry(DialogUnitRect(7, 27, 307, 169));
    m_display->setReadOnly(true);
    m_display->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_display->setWordWrapMode(QTextOption::WrapAnywhere);
    m_display->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_display->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_timer = new QTimer(this);
    m_timer->setInterval(timerPeriodMs);
    connect(m_timer, &QTimer::timeout, this, &CTestMR::Poll);
    ApplyDialogLook(this);
}

void CTestMR::SetSwipe(std::function<void()> swipe)
{
    m_swipeFn = std::move(swipe);
    m_swipe->setVisible(static_cast<bool>(m_swipeFn));
}

void CTestMR::ResetText()
{
    m_text.Clear();
    m_display->clear();
}

void CTestMR::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_timer->start();
}

void CTestMR::Poll()
{
    if (!m_link)
        return;
    const std::string piece = m_text.Poll(*m_link);
    if (piece.empty())
        return;
    // Append at the end instead of rewriting the whole text.
    QTextCursor cursor(m_display->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromLatin1(piece.data(), static_cast<int>(piece.size())));
    m_display->verticalScrollBar()->setValue(m_display->verticalScrollBar()->maximum());
}

void CTestMR::OnClear() { ResetText(); }

void CTestMR::accept()
{
    m_timer->stop();
    QDialog::accept();
}

void CTestMR::reject()
{
    m_timer->stop();
    QDialog::reject();
}

void RunMRTest(int portKind, bool comPortReady, CComPort* link, CTestMR& dialog, IMessageSink& sink)
{
    if (!IsComPortKind(portKind) || !link)
        return;
    if (!comPortReady) {
        sink.ShowMessage(msg::noComPortOpened);
        return;
    }
    if (!link->OpenPort(portKind - 1)) {
        sink.ShowMessage(msg::cantOpenComPort);
        return;
    }
    dialog.SetLink(link);
    dialog.ResetText();
    dialog.exec();
    link->ClosePort();
}
