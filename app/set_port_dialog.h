// The port choice at start: USB, PS2 or COM1..COM8. The chosen list index is
// the link's PortKind, without translation.
#pragma once

#include <QDialog>

class QComboBox;

class CSetPort : public QDialog {
    Q_OBJECT
public:
    explicit CSetPort(QWidget* parent = nullptr);

    // The list index shown when the dialog opens, and the one chosen on OK.
    int selectedIndex = 0;

    QComboBox* PortList() const { return m_list; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_list;
};
