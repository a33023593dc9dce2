#include "app/set_port_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "view/form_metrics.h"
#include "view/tovask_view.h"


CSetPort::CSetPort(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Select Communication Port");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(DialogUnitRect(0, 0, 148, 42).size());

    auto* label = new QLabel("Port Name:", this);
    label->setGeometry(DialogUnitRect(8, 11, 36, 8));

    m_list = new QComboBox(this);
    m_list->setGeometry(DialogUnitRect(7, 21, 76, 14));
    m_list->addItems({"USB", "PS2", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"});
    m_list->setMaxVisibleItems(10);

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DialogUnitRect(91, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSetPort::accept);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(DialogUnitRect(91, 21, 50, 14));
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
