// The reader settings panel: its controls, the panel values bound to them,
// the moves between panel and template, the panel's handlers and the label
// painting pass.
#include "view/tovask_view.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <utility>
#include <vector>

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
    {118, 3, 125, 30}, {7, 64, 236, 25}, {7, 96, 338, 151}, {250, 3, 95, 30}, {249, 64, 96, 25},
};

enum Frame { serialFrame, radioFrame, trackFrame, diagramFrame, beepFrame, oposFrame };

int FrameRight(Frame f)
{
    const GroupFrame& g = kGroupFrames[f];
    return DialogUnitRect(g.x, g.y, g.w, g.h).right();
}

// Steps of the edit history that join the one before them when it has the same id.
constexpr int outputDelayStep = 1;

// Room kept between a caption and whatever follows it on the right.
constexpr int kCaptionGap = 3;
// A caption longer than its room is set narrower, down to this width.
constexpr int kNarrowestStretch = 90;

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
    // Read-only boxes on the dialog's face colour, as the desktop shows them.
    for (QLineEdit* e : {portNameEdit, stopBitsEdit}) {
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        e->setPalette(palette);
    }
    busyNotice = new QLabel("Reading data, don't use mouse and/or keyboard!", this);
    busyNotice->setGeometry(DialogUnitRect(84, 114, 158, 8));
    longBeepCheck = check(256, 11);
    threeBeepsCheck = check(256, 22);
    oposCheck = check(284, 74);

    for (int t = 0; t < 3; ++t)
        connect(trackCheck[t], &QCheckBox::clicked, this, [this, t] { OnTrackClicked(t + 1); });
    connect(longBeepCheck, &QCheckBox::clicked, this, [this] { OnBeepClicked(); });
    connect(threeBeepsCheck, &QCheckBox::clicked, this, [this] { OnBeepClicked(); });
    connect(oposCheck, &QCheckBox::clicked, this, [this] { OnOposClicked(); });
    connect(delayEdit, &QLineEdit::textChanged, this, [this](const QString& t) { OnDelayTextChanged(t); });
    for (int mode = 0; mode < 2; ++mode)
        connect(errorRadio[mode], &QRadioButton::clicked, this, [this, mode] { OnErrorModeClicked(mode); });
    // A list's new choice reaches the template at once, as the delay does, so
    // that it is an edit of its own.
    TemplateRecord& r = m_doc.record;
    const struct {
        QComboBox* box;
        int* panel;
        int* record;
        const char* name;
    } lists[] = {{baudCombo, &m_baudIndex, &r.baudIndex, "Baud rate"},
                 {parityCombo, &m_parityIndex, &r.parityIndex, "Parity"},
                 {dataBitsCombo, &m_dataBitsIndex, &r.dataBitsIndex, "Data bits"},
                 {flowCombo, &m_flowIndex, &r.flowControlIndex, "Flow control"}};
    for (const auto& l : lists)
        connect(l.box, &QComboBox::activated, this, [this, l] { OnListChosen(l.box, *l.panel, *l.record, l.name); });

    portNameEdit->setWhatsThis("The link to the reader, chosen when Tovask started: USB, PS2 (the keyboard "
                               "port) or COM1 to COM8. It stays the same until Tovask ends.");
    delayEdit->setWhatsThis("The reader's output delay in milliseconds, 1 to 200. The arrows beside it, or the "
                            "Up and Down keys, step it by one.");
    for (QToolButton* b : {spinUp, spinDown})
        b->setWhatsThis("Steps the output delay by one millisecond.");
    errorRadio[0]->setWhatsThis("When a track of a card cannot be read, the reader leaves that track out and "
                                "sends the others.");
    errorRadio[1]->setWhatsThis("When any track of a card cannot be read, the reader sends nothing for that card.");
    for (int t = 0; t < 3; ++t)
        trackCheck[t]->setWhatsThis(QString("Whether the reader sends track %1. Switched off, the track's row in "
                                            "the diagram is greyed and its fields lose their blue marks.")
                                        .arg(t + 1));
    baudCombo->setWhatsThis("The speed of the reader's serial line.");
    parityCombo->setWhatsThis("The parity of the reader's serial line.");
    dataBitsCombo->setWhatsThis("The number of data bits of the reader's serial line.");
    flowCombo->setWhatsThis("Whether the reader's serial line uses CTS/RTS hardware flow control.");
    stopBitsEdit->setWhatsThis("The reader's serial line always uses one stop bit.");
    busyNotice->setWhatsThis("Shown while the template travels over the keyboard port: leave the mouse and the "
                             "keyboard alone until it goes.");
    longBeepCheck->setWhatsThis("The reader gives a long beep when it has read a card well.");
    threeBeepsCheck->setWhatsThis("The reader beeps three times when it could not read a card.");
    oposCheck->setWhatsThis("Puts the reader in OPOS/JPOS mode, for point-of-sale software that reaches the "
                            "reader through OPOS or JPOS.");

    // The captions are painted, so the controls carry their names themselves.
    const std::pair<QWidget*, const char*> names[] = {
        {portNameEdit, "Port Name"},
        {delayEdit, "Output Delay (mS)"},
        {spinUp, "Output Delay up"},
        {spinDown, "Output Delay down"},
        {errorRadio[0], "Skip output of track with error"},
        {errorRadio[1], "No data output with any error"},
        {longBeepCheck, "Long beep at good read"},
        {threeBeepsCheck, "3 beeps at read error"},
        {trackCheck[0], "Track1 data"},
        {trackCheck[1], "Track2 data"},
        {trackCheck[2], "Track3 data"},
        {oposCheck, "OPOS/JPOS"},
        {baudCombo, "Baud rate"},
        {parityCombo, "Parity"},
        {dataBitsCombo, "Data bits"},
        {stopBitsEdit, "Stop bits"},
        {flowCombo, "Flow control"},
    };
    for (const auto& [w, name] : names) {
        w->setAccessibleName(name);
        // Qt on Linux names a list by its value and takes the name from the
        // label that has it as its buddy: a label that is never shown.
        if (qobject_cast<QComboBox*>(w)) {
            auto* label = new QLabel(name, this);
            label->setGeometry(w->geometry());
            label->setBuddy(w);
            label->setWhatsThis(w->whatsThis());
            label->hide();
        }
    }

    // As the screen shows them: the top row left to right, the tracks row,
    // the serial row. The read-only fields are no stops.
    stopBitsEdit->setFocusPolicy(Qt::NoFocus);
    QWidget* order[] = {delayEdit,     errorRadio[0], errorRadio[1], longBeepCheck, threeBeepsCheck,
                        trackCheck[0], trackCheck[1], trackCheck[2], oposCheck,     baudCombo,
                        parityCombo,   dataBitsCombo, flowCombo};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void CTovaskView::ExchangeToControls()
{
    const bool wasSetting = m_settingControls;
    m_settingControls = true;
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
    m_settingControls = wasSetting;
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
    ++m_panelRefreshes;
    emit TemplateChanged();
}

void CTovaskView::OnTrackClicked(int track)
{
    const TemplateState before = m_doc.State();
    if (!ExchangeFromControls() || !UpdateTemplateFromPanel())
        return;
    const int first = track == 1 ? 0 : 1 + 8 * (track - 1);
    for (int k = first; k <= 8 * track; ++k)
        m_doc.fieldChanged[k] = 0;
    RecordStep(QString("Track%1 data").arg(track), before);
    RefreshHoverText();
    update();
}

void CTovaskView::OnBeepClicked()
{
    const TemplateState before = m_doc.State();
    if (!ExchangeFromControls() || !UpdateTemplateFromPanel())
        return;
    RecordStep(m_doc.record.longBeepOnGoodRead != before.record.longBeepOnGoodRead ? "Long beep at good read"
                                                                                 : "3 beeps at read error",
               before);
    update();
}

void CTovaskView::OnOposClicked()
{
    const TemplateState before = m_doc.State();
    if (ExchangeFromControls() && UpdateTemplateFromPanel())
        RecordStep("OPOS/JPOS", before);
}

void CTovaskView::OnErrorModeClicked(int mode)
{
    const TemplateState before = m_doc.State();
    m_errorMode = mode;
    m_doc.record.errorMode = mode;
    RecordStep(mode == 0 ? "Skip output of track with error" : "No data output with any error", before);
}

void CTovaskView::OnListChosen(QComboBox* box, int& panelValue, int& templateValue, const char* name)
{
    const TemplateState before = m_doc.State();
    panelValue = templateValue = box->currentIndex();
    RecordStep(name, before);
}

// Typing and spinning change the template at once; the keys and clicks of
// one run of changes are one step.
void CTovaskView::OnDelayTextChanged(const QString& text)
{
    const TemplateState before = m_doc.State();
    const int v = ParseByte(text);
    if (v >= 1 && v <= 255)
        m_spinPos = v;
    m_outputDelay = static_cast<std::uint8_t>(m_spinPos & 0xFF);
    m_doc.record.outputDelay = m_outputDelay;
    if (!m_settingControls)
        RecordStep("Output Delay", before, outputDelayStep);
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
    if (event->type() == QEvent::KeyPress && EditorKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
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

// The texts of the label painting pass, each at its place, with the x where
// the next control, frame or text on its right begins. A caption that would
// run into that is set just narrow enough to end before it.
std::vector<CTovaskView::PaintedCaption> CTovaskView::PaintedCaptions() const
{
    std::vector<PaintedCaption> out;
    auto add = [&out](const std::string& text, int x, int y, int limit, QAbstractButton* box = nullptr) {
        if (text.empty())
            return;
        PaintedCaption c{text, QRect(), 100, box, limit};
        QFont font = DiagramFont();
        const QString s = QString::fromLocal8Bit(text.c_str());
        const int room = limit - kCaptionGap - x;
        while (QFontMetrics(font).horizontalAdvance(s) > room && c.stretch > kNarrowestStretch)
            font.setStretch(--c.stretch);
        const QFontMetrics fm(font);
        c.rect = QRect(x, y, fm.horizontalAdvance(s), fm.height());
        out.push_back(c);
    };
    add("Port Name:", 20, 12, portNameEdit->x());
    add("Output Delay (mS):", 20, 35, delayEdit->x());
    add("Skip output of track with error", 200, 16, FrameRight(radioFrame), errorRadio[0]);
    add("No data output with any error", 200, 34, FrameRight(radioFrame), errorRadio[1]);
    add("Long beep at good read", 400, 16, FrameRight(beepFrame), longBeepCheck);
    add("3 beeps at read error", 400, 34, FrameRight(beepFrame), threeBeepsCheck);
    if (IsComPortKind(m_portKind))
        add("COMn Protocol:", 25, 70, baudCombo->x());
    add("Enable", 25, 118, trackCheck[0]->x());
    add("Track1 data", 90, 118, trackCheck[1]->x(), trackCheck[0]);
    add("Track2 data", 190, 118, trackCheck[2]->x(), trackCheck[1]);
    add("Track3 data", 290, 118, FrameRight(trackFrame), trackCheck[2]);
    // Moved 4 pixels left of 390, so that it ends before the box it precedes.
    add("Enable", 386, 118, oposCheck->x());
    add("OPOS/JPOS", 445, 118, FrameRight(oposFrame), oposCheck);

    const int x = diagramOriginX, y = diagramOriginY, boxes = m_doc.diagram.fieldBoxes[0].left;
    add("Editable MR Properties", x + 100, y - 10, FrameRight(diagramFrame));
    add("Card:", x - 50, y + 2, boxes);
    add("Track1:", x - 50, y + 30 + 2, boxes);
    add("Track2:", x - 50, y + 2 * 30 + 2, boxes);
    add("Track3:", x - 50, y + 3 * 30 + 2, boxes);
    add("Card:", x - 50, y + 4 * 30 + 2, boxes);
    // The hint has a line of its own under the edit box: beside the caption
    // it would run past the frame.
    add(m_editorCaption, x - 50, 332, FrameRight(diagramFrame));
    add(m_editorHint, x - 50, fieldEdit ? fieldEdit->geometry().bottom() + 4 : 374, FrameRight(diagramFrame));
    add(m_switchCaption, x - 32, 353, switchOkButton ? switchOkButton->x() : FrameRight(diagramFrame));
    return out;
}

void CTovaskView::PaintLabels(QPainter& p)
{
    p.setPen(Qt::black);
    for (const PaintedCaption& c : PaintedCaptions())
        DrawText(p, c.rect.x(), c.rect.y(), c.text, kFormBackground, c.stretch);
}

bool CTovaskView::ClickCaption(QPoint pos)
{
    for (const PaintedCaption& c : PaintedCaptions()) {
        if (c.box && c.rect.contains(pos) && c.box->isVisible() && c.box->isEnabled()) {
            // What a click on the box itself does: focus, toggle, its handler.
            c.box->setFocus(Qt::MouseFocusReason);
            c.box->click();
            return true;
        }
    }
    return false;
}
