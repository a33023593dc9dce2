// MR Test: shows what a reader on a serial port sends when a card is swiped.
#pragma once

#include <functional>

#include <QDialog>

#include "device/com/card_test.h"

class CComPort;
class IMessageSink;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class CTestMR : public QDialog {
    Q_OBJECT
public:
    static constexpr int timerPeriodMs = 10;

    explicit CTestMR(QWidget* parent = nullptr);

    // The serial link to poll; set before each run, not owned.
    void SetLink(CComPort* link) { m_link = link; }
    // With the simulated reader: a button that swipes a sample card.
    void SetSwipe(std::function<void()> swipe);
    // Empties the received text; the next run starts with an empty display.
    void ResetText();
    const std::string& ReceivedText() const { return m_text.Text(); }

    QPlainTextEdit* Display() const { return m_display; }
    QPushButton* QuitButton() const { return m_quit; }
    QPushButton* ClearButton() const { return m_clear; }
    QTimer* Timer() const { return m_timer; }

public slots:
    // One timer tick: takes every byte that has arrived and appends it to the display.
    void Poll();
    void OnClear();

protected:
    void showEvent(QShowEvent* event) override;
    void accept() override;
    void reject() override;

private:
    CComPort* m_link = nullptr;
    CardTestText m_text;
    QPlainTextEdit* m_display;
    QPushButton* m_quit;
    QPushButton* m_clear;
    QPushButton* m_swipe;
    QTimer* m_timer;
    std::function<void()> m_swipeFn;
};

// The MR Test command: nothing for USB and PS2, "No COMx port opened!" when the
// port failed at start, "Can't open the COM port!!" when it fails now;
// otherwise runs the dialog modally and closes the port afterwards.
void RunMRTest(int portKind, bool comPortReady, CComPort* link, CTestMR& dialog, IMessageSink& sink);
