// The Output Preview: what the reader sends for the sample card with the
// template as it stands in the window (panel values included), as MR Test
// shows it, its beeps and pace, and what a host with the chosen keyboard
// layout receives, the characters that arrive differently marked.
#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "model/reader_output.h"

class CTovaskView;
class HostLayout;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;

class OutputPreviewPanel : public QWidget {
    Q_OBJECT
public:
    explicit OutputPreviewPanel(CTovaskView& view, QWidget* parent = nullptr);
    ~OutputPreviewPanel() override;

    // The template as the window holds it now: the record with the panel's values.
    TemplateRecord CurrentTemplate() const;
    // Shows the output of the template as it stands; cheap when nothing changed.
    void Refresh();
    // Chooses a layout by name (remembered); false, with the reason shown, for an unknown one.
    bool SetLayout(const QString& name);

    QString LayoutName() const;
    QComboBox* LayoutChooser() const { return m_chooser; }
    // The host's Caps Lock as the preview assumes it; the window starts it from the keyboard's.
    QCheckBox* CapsLockSwitch() const { return m_capsLock; }
    // The texts as they would be shown now, as plain text: the bytes in the
    // field editor's notation, the host's text (empty on a serial link), beeps and pace.
    QString SentText() const;
    QString TypedText() const;
    // The texts as the panel shows them at this moment.
    QString ShownSentText() const;
    QString ShownReceivedText() const;
    // "[02]=Start of text, ..." for the bytes shown in hex; empty without such a byte.
    QString LegendText() const;
    // USB and PS2 readers type keys, which the host's layout turns into
    // characters; a serial reader's bytes arrive as they are.
    bool ShowsKeys() const;
    QString InfoText() const;
    int ChangedCount() const { return m_changed; }

    // As wide as the form, so that the window is sized by the form alone.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CTovaskView& m_view;
    std::unique_ptr<HostLayout> m_layout;
    QComboBox* m_chooser;
    QCheckBox* m_capsLock;
    QLabel* m_sent;
    QLabel* m_typed;
    QLabel* m_info;
    QLabel* m_counts;
    QLabel* m_legend;
    QString m_shownKey;
    int m_changed = 0;
};

// The panel in a dock under the form, shown unless the user hid it last time;
// its toggle action is titled "Output Preview". capsLock: the keyboard's Caps Lock at start.
QDockWidget* CreateOutputPreviewDock(CTovaskView& view, QWidget* parent, bool capsLock = false);
