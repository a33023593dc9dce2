// Test > Keyboard Swipe Test: the user swipes a card with a keyboard reader
// into the dialog; it shows what arrived, the gaps between keys against the
// output delay, and beside it what the template should give on the host's
// layout, each difference marked with what explains it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <memory>
#include <vector>

#include "keyboard/swipe_check.h"
#include "model/template_record.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTimer;

class CKeyboardSwipeDlg : public QDialog {
    Q_OBJECT
public:
    // record: the template as the window holds it; capsLock: the keyboard's Caps Lock at start.
    CKeyboardSwipeDlg(const TemplateRecord& record, const QString& layoutName, bool capsLock,
                      QWidget* parent = nullptr);
    ~CKeyboardSwipeDlg() override;

    // The swipe box: every key typed into it is taken, Tab and Enter included.
    QWidget* SwipeBox() const;
    QString ArrivedText() const;
    QString ExpectedText() const;
    QString PaceText() const;
    QString DifferencesText() const;
    QCheckBox* CapsLockSwitch() const { return m_capsLock; }
    bool SetLayout(const QString& name);
    // Sets what arrived against what is expected now (also done after each key).
    void Compare();
    void Clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TemplateRecord m_record;
    std::unique_ptr<HostLayout> m_layout;
    std::vector<ArrivedKey> m_arrived;
    QElapsedTimer m_clock;
    QPlainTextEdit* m_box;
    QComboBox* m_chooser;
    QCheckBox* m_capsLock;
    QLabel* m_expected;
    QLabel* m_pace;
    QLabel* m_status;
    QPlainTextEdit* m_differences;
};
