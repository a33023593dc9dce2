#include "app/set_port_dialog.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "view/form_metrics.h"
#include "view/tovask_view.h"


CSetPort::CSetPort(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Select Communication Port");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Wider than the layout's 148 units where a window manager's title bar
    // needs it for the caption; the buttons keep to the right edge.
    const QSize layout = DialogUnitRect(0, 0, 148, 42).size();
    setFixedSize(std::max(layout.width(), TitleBarWidth(windowTitle())), layout.height());
    const QPoint right(width() - layout.width(), 0);

    auto* label = new QLabel("Port Name:", this);
    label->setGeometry(DialogUnitRect(8, 11, 36, 8));

    m_list = new QComboBox(this);
    m_list->setGeometry(DialogUnitRect(7, 21, 76, 14));
    m_list->addItems({"USB", "PS2", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"});
    m_list->setMaxVisibleItems(10);
    label->setBuddy(m_list);

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DialogUnitRect(91, 7, 50, 14).translated(right));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSetPort::accept);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(DialogUnitRect(91, 21, 50, 14).translated(right));
    connect(cancel, &QPushButton::clicked, this, &CSetPort::reject);
    ApplyDialogLook(this);
}

void CSetPort::showEvent(QShowEvent* event)
{
    m_list->setCurrentIndex(selectedIndex);
    QDialog::showEvent(event);
}

void CSetPort::accept()
{
    selectedIndex = m_list->currentIndex();
    QDialog::accept();
}
