// The reader settings panel: its controls, the panel values bound to them,
// the moves between panel and template, the panel's handlers and the label
// painting pass.
#include "view/tovask_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>

#include "model/diagram_tables.h"
#include "view/form_metrics.h"
#include "view/message_box_sink.h"

namespace {

constexpr const char* kDelayByteMessage = "Enter an integer between 0 and 255.";
constexpr const char* kDelayRangeMessage = "Enter an integer between 1 and 200.";


// Whole number 0..255 in the delay field, or -1.
int ParseByte(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3)
        return -1;
    for (QChar c : t)
        if (!c.isDigit())
            return -1;
    const int v = t.toInt();
    return v <= 255 ? v : -1;
}

// Group boxes without text are painted by the view, so that the pointer over
// the diagram reaches the view itself.
struct GroupFrame {
    int x, y, w, h;
};
constexpr GroupFrame kGroupFrames[] = {
    {7, 32, 338, 29},  // 1071, the serial protocol row (COM only)
    {118, 3, 125, 30}, {7, 64, 236, 25}, {7, 96, 338, 141}, {250, 3, 95, 30}, {249, 64, 96, 25},
};

struct Label {
    const char* text;
    int x, y;
};
constexpr Label kPanelLabels[] = {
    {"Port Name:", 20, 12},
    {"Output Delay (mS):", 20, 35},
    {"Skip output of track with error", 200, 16},
    {"No data output with any error", 200, 34},
    {"Long beep at good read", 400, 16},
    {"3 beeps at read error", 400, 34},
    {"Enable", 25, 118},
    {"Track1 data", 90, 118},
    {"Track2 data", 190, 118},
    {"Track3 data", 290, 118},
    {"Enable", 390, 118},
    {"OPOS/JPOS", 445, 118},
};

}  // namespace

void CTovaskView::CreatePanelControls()
{
    auto check = [this](int x, int y) {
        auto* box = new QCheckBox(this);
        box->setGeometry(DialogUnitRect(x, y, 8, 8).adjusted(0, 0, 2, 2));
        return box;
    };
    auto combo = [this](int x, int y, int w, const auto& items) {
        auto* box = new QComboBox(this);
        const QRect r = DialogUnitRect(x, y, w, 12);
        box->setGeometry(r.x(), r.y(), r.width(), 21);
        for (const char* item : items)
            box->addItem(item);
        box->setCurrentIndex(-1);
        return box;
    };

    delayEdit = new QLineEdit(this);
    delayEdit->setGeometry(DialogUnitRect(81, 21, 32, 12).adjusted(0, 0, -16, 0));
    delayEdit->installEventFilter(this);
    delayEdit->setWhatsThis("Output delay in milliseconds, 1 to 200.");
    const QRect spinRect(delayEdit->geometry().right() + 1, delayEdit->y(), 16, delayEdit->height());
    spinUp = new QToolButton(this);
    spinUp->setArrowType(Qt::UpArrow);
    spinUp->setGeometry(spinRect.x(), spinRect.y(), spinRect.width(), spinRect.height() / 2);
    spinDown = new QToolButton(this);
    spinDown->setArrowType(Qt::DownArrow);
    spinDown->setGeometry(spinRect.x(), spinRect.y() + spinRect.height() / 2, spinRect.width(),
                          spinRect.height() - spinRect.height() / 2);
    for (QToolButton* b : {spinUp, spinDown}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(spinUp, &QToolButton::clicked, this, [this] { StepSpin(1); });
    connect(spinDown, &QToolButton::clicked, this, [this] { StepSpin(-1); });

    errorRadio[0] = new QRadioButton(this);
    errorRadio[0]->setGeometry(DialogUnitRect(122, 11, 8, 8).adjusted(0, 0, 2, 2));
    errorRadio[1] = new QRadioButton(this);
    errorRadio[1]->setGeometry(DialogUnitRect(122, 22, 8, 8).adjusted(0, 0, 2, 2));

    trackCheck[0] = check(49, 74);
    trackCheck[1] = check(115, 74);
    trackCheck[2] = check(182, 74);
    baudCombo = combo(75, 42, 45, baudTexts);
    parityCombo = combo(121, 42, 54, parityTexts);
    dataBitsCombo = combo(175, 42, 36, dataBitsTexts);
    flowCombo = combo(245, 41, 94, flowControlTexts);
    portNameEdit = new QLineEdit(this);
    portNameEdit->setGeometry(DialogUnitRect(75, 6, 38, 12));
    portNameEdit->setReadOnly(true);
    portNameEdit->setFocusPolicy(Qt::NoFocus);
    stopBitsEdit = new QLineEdit(this);
    stopBitsEdit->setGeometry(DialogUnitRect(211, 42, 33, 12).adjusted(0, 0, 0, 2));
    stopBitsEdit->setReadOnly(true);
    busyNotice = new QLabel("Reading data, don't use mouse and/or keyboard!", this);
    busyNotice->setGeometry(DialogUnitRect(84, 114, 158, 8).adjusted(0, 0, 0, 4));
    longBeepCheck = check(256, 11);
    threeBeepsCheck = check(256, 22);
    oposCheck = check(284, 74);

    for (int t = 0; t < 3; ++t)
        connect(trackCheck[t], &QCheckBox::clicked, this, [this, t] { OnTrackClicked(t + 1); });
    connect(longBeepCheck, &QCheckBox::clicked, this, [this] { OnBeepClicked(); });
    connect(threeBeepsCheck, &QCheckBox::clicked, this, [this] { OnBeepClicked(); });
    connect(oposCheck, &QCheckBox::clicked, this, [this] { OnOposClicked(); });
    connect(delayEdit, &QLineEdit::textChanged, this, [this](const QString& t) { OnDelayTextChanged(t); });

    QWidget* order[] = {delayEdit,     errorRadio[0], errorRadio[1], trackCheck[0], trackCheck[1],
                        trackCheck[2], baudCombo,     parityCombo,   dataBitsCombo, flowCombo,
                        stopBitsEdit,  longBeepCheck, threeBeepsCheck, oposCheck};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void CTovaskView::ExchangeToControls()
{
    for (int t = 0; t < 3; ++t)
        trackCheck[t]->setChecked(m_trackEnabled[t] != 0);
    portNameEdit->setText(QString::fromStdString(m_portName));
    delayEdit->setText(QString::number(m_outputDelay));
    stopBitsEdit->setText(QString::fromLocal8Bit(m_stopBitsText.c_str()));
    auto setIndex = [](QComboBox* box, int index) {
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    };
    setIndex(baudCombo, m_baudIndex);
    setIndex(parityCombo, m_parityIndex);
    setIndex(dataBitsCombo, m_dataBitsIndex);
    setIndex(flowCombo, m_flowIndex);
    if (m_errorMode == 0 || m_errorMode == 1) {
        errorRadio[m_errorMode]->setChecked(true);
    } else {
        for (QRadioButton* r : errorRadio) {
            r->setAutoExclusive(false);
            r->setChecked(false);
            r->setAutoExclusive(true);
        }
    }
    busyNotice->setText(QString::fromStdString(m_busyText));
    longBeepCheck->setChecked(m_longBeep != 0);
    threeBeepsCheck->setChecked(m_threeBeeps != 0);
    oposCheck->setChecked(m_opos != 0);
}

void CTovaskView::RefuseDelay(const char* message)
{
    MessageSink().ShowMessage(message);
    delayEdit->setFocus(Qt::OtherFocusReason);
    delayEdit->selectAll();
}

bool CTovaskView::ExchangeFromControls()
{
    for (int t = 0; t < 3; ++t)
        m_trackEnabled[t] = trackCheck[t]->isChecked() ? 1 : 0;
    m_portName = portNameEdit->text().toStdString();
    const int delay = ParseByte(delayEdit->text());
    if (delay < 0) {
        RefuseDelay(kDelayByteMessage);
        return false;
    }
    m_outputDelay = static_cast<std::uint8_t>(delay);
    if (delay < 1 || delay > 200) {
        RefuseDelay(kDelayRangeMessage);
        return false;
    }
    m_stopBitsText = stopBitsEdit->text().toLocal8Bit().toStdString();
    m_baudIndex = baudCombo->currentIndex();
    m_parityIndex = parityCombo->currentIndex();
    m_dataBitsIndex = dataBitsCombo->currentIndex();
    m_flowIndex = flowCombo->currentIndex();
    m_errorMode = errorRadio[1]->isChecked() ? 1 : errorRadio[0]->isChecked() ? 0 : -1;
    m_busyText = busyNotice->text().toStdString();
    m_longBeep = longBeepCheck->isChecked() ? 1 : 0;
    m_threeBeeps = threeBeepsCheck->isChecked() ? 1 : 0;
    m_opos = oposCheck->isChecked() ? 1 : 0;
    return true;
}

bool CTovaskView::UpdateTemplateFromPanel()
{
    if (!ExchangeFromControls())
        return false;
    TemplateRecord& r = m_doc.record;
    r.trackEnabled = m_trackEnabled;
    r.errorMode = m_errorMode;
    r.longBeepOnGoodRead = m_longBeep;
    r.threeBeepsOnError = m_threeBeeps;
    r.stopBitsText = m_stopBitsText;
    r.baudIndex = m_baudIndex;
    r.parityIndex = m_parityIndex;
    r.dataBitsIndex = m_dataBitsIndex;
    r.flowControlIndex = m_flowIndex;
    r.outputDelay = m_outputDelay;
    r.oposMode = m_opos;
    return true;
}

void CTovaskView::UpdatePanelFromTemplate()
{
    const TemplateRecord& r = m_doc.record;
    m_trackEnabled = r.trackEnabled;
    m_errorMode = r.errorMode;
    m_longBeep = r.longBeepOnGoodRead;
    m_threeBeeps = r.threeBeepsOnError;
    m_stopBitsText = r.stopBitsText;
    m_baudIndex = r.baudIndex;
    m_parityIndex = r.parityIndex;
    m_dataBitsIndex = r.dataBitsIndex;
    m_flowIndex = r.flowControlIndex;
    m_outputDelay = r.outputDelay;
    m_opos = r.oposMode;
    const std::string name = PortKindName(m_portKind);
    if (!name.empty())
        m_portName = name;
    if (m_portKind == portKindUSB || m_portKind == portKindPS2)
        m_baudIndex = m_parityIndex = m_dataBitsIndex = m_flowIndex = -1;
    ExchangeToControls();
}

void CTovaskView::OnTrackClicked(int track)
{
    if (!ExchangeFromControls() || !UpdateTemplateFromPanel())
        return;
    const int first = track == 1 ? 0 : 1 + 8 * (track - 1);
    for (int k = first; k <= 8 * track; ++k)
        m_doc.fieldChanged[k] = 0;
    update();
}

void CTovaskView::OnBeepClicked()
{
    if (ExchangeFromControls() && UpdateTemplateFromPanel())
        update();
}

void CTovaskView::OnOposClicked()
{
    if (ExchangeFromControls())
        UpdateTemplateFromPanel();
}

void CTovaskView::OnDelayTextChanged(const QString& text)
{
    const int v = ParseByte(text);
    if (v >= 1 && v <= 255)
        m_spinPos = v;
    m_outputDelay = static_cast<std::uint8_t>(m_spinPos & 0xFF);
    m_doc.record.outputDelay = m_outputDelay;
}

void CTovaskView::StepSpin(int delta)
{
    const int v = ParseByte(delayEdit->text());
    if (v >= 1 && v <= 255)
        m_spinPos = v;
    m_spinPos = std::clamp(m_spinPos + delta, 1, 255);
    delayEdit->setText(QString::number(m_spinPos));
}

bool CTovaskView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == delayEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepSpin(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTovaskView::SetBusyNotice(const std::string& text)
{
    if (text.empty()) {
        ShowControls({busyNotice}, false);
        return;
    }
    busyNotice->setText(QString::fromStdString(text));
    ShowControls({busyNotice}, true);
    busyNotice->repaint();
}


void CTovaskView::PaintGroupFrames(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < std::size(kGroupFrames); ++i) {
        if (i == 0 && !IsComPortKind(m_portKind))
            continue;
        const GroupFrame& g = kGroupFrames[i];
        const QRectF r = DialogUnitRect(g.x, g.y, g.w, g.h);
        p.setPen(QColor(160, 160, 160));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -1.5, -1.5), 3, 3);
        p.setPen(Qt::white);
        p.drawRoundedRect(r.adjusted(1.5, 1.5, -0.5, -0.5), 3, 3);
    }
}

void CTovaskView::PaintLabels(QPainter& p)
{
    p.setPen(Qt::black);
    for (const Label& l : kPanelLabels)
        DrawText(p, l.x, l.y, l.text, kFormBackground);
    if (m_portKind >= 2)
        DrawText(p, 25, 70, "COMn Protocol:", kFormBackground);
    const int x = diagramOriginX, y = diagramOriginY;
    DrawText(p, x + 100, y - 10, "Editable MR Properties", kFormBackground);
    DrawText(p, x - 50, y + 2, "Card:", kFormBackground);
    DrawText(p, x - 50, y + 30 + 2, "Track1:", kFormBackground);
    DrawText(p, x - 50, y + 2 * 30 + 2, "Track2:", kFormBackground);
    DrawText(p, x - 50, y + 3 * 30 + 2, "Track3:", kFormBackground);
    DrawText(p, x - 50, y + 4 * 30 + 2, "Card:", kFormBackground);
    DrawText(p, x - 50, 332, m_editorCaption, kFormBackground);
    DrawText(p, x + 155, 332, m_editorHint, kFormBackground);
    DrawText(p, x - 32, 353, m_switchCaption, kFormBackground);
}
