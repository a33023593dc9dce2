#include "view/tovask_view.h"
#include "view/test_mr_dialog.h"
#include "device/link_set.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

#include "model/diagram_tables.h"
#include "view/message_box_sink.h"

namespace {

constexpr const char* kDelayByteMessage = "Enter an integer between 0 and 255.";
constexpr const char* kDelayRangeMessage = "Enter an integer between 1 and 200.";
const QColor kBackground(238, 238, 238);

int Px(double units, double perUnit) { return static_cast<int>(units * perUnit + 0.5); }

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

// Times New Roman with a character cell 15 pixels high: the largest pixel
// size whose line height fits the cell, set a little narrower so that the
// longest captions end before the next control of the form.
QFont DiagramFont()
{
    static const QFont font = [] {
        QFont f;
        f.setFamilies({"Liberation Serif", "Times New Roman", "DejaVu Serif"});
        f.setWeight(QFont::Normal);
        f.setStretch(85);
        int size = 15;
        f.setPixelSize(size);
        while (size > 8 && QFontMetrics(f).height() > 15)
            f.setPixelSize(--size);
        return f;
    }();
    return font;
}

void ShowControls(std::initializer_list<QWidget*> widgets, bool shown)
{
    for (QWidget* w : widgets) {
        w->setEnabled(shown);
        w->setVisible(shown);
    }
}

}  // namespace

QRect DialogUnitRect(int x, int y, int w, int h)
{
    const int left = Px(x, 1.5), top = Px(y, 13.0 / 8.0);
    return QRect(left, top, Px(x + w, 1.5) - left, Px(y + h, 13.0 / 8.0) - top);
}

static void InitResources() { Q_INIT_RESOURCE(tovask); }

CTovaskView::CTovaskView(CTovaskDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    InitResources();
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setWhatsThis("The template: the reader's options above, the output line of a card below. "
                 "Click a box of the diagram to edit that field.");

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

    resize(sizeHint());
    m_doc.SetView(this);
}

CTovaskView::~CTovaskView()
{
    if (m_doc.View() == this)
        m_doc.SetView(nullptr);
}

QSize CTovaskView::sizeHint() const { return DialogUnitRect(0, 0, 352, 247).size(); }

void CTovaskView::InitialUpdate(int portKind)
{
    if (m_firstInitialUpdate) {
        m_portKind = portKind;
        if (!IsComPortKind(m_portKind))
            ShowControls({baudCombo, parityCombo, dataBitsCombo, stopBitsEdit, flowCombo}, false);
        if (m_portKind == portKindPS2)
            m_portName = "PS2";
        if (m_links && m_links->PortKind() == m_portKind) {
            // A COM port is opened and closed at once to see that it can be used.
            // A link that cannot be used at all (no keyboard-port driver) ends the program.
            if (m_links->Start(MessageSink()) == LinkSet::StartResult::Fatal)
                std::exit(0);
            m_comPortReady = m_links->ComPortReady();
        }
        if (IsComPortKind(m_portKind)) {
            m_testDialog = std::make_unique<CTestMR>();
            if (m_links && m_links->SwipeAction())
                m_testDialog->SetSwipe(m_links->SwipeAction());
        }
        ShowControls({busyNotice}, false);
        m_firstInitialUpdate = 0;
        CreateFieldEditorControls();
    }
    OnInitialUpdate();
}

void CTovaskView::OnInitialUpdate()
{
    m_doc.fieldHovered.fill(0);
    m_editorCaption.clear();
    m_editorHint.clear();
    m_switchCaption.clear();
    UpdatePanelFromTemplate();
    update();
}

// ---- Settings panel ------------------------------------------------------

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

void CTovaskView::Redraw() { update(); }
void CTovaskView::OnDocumentChanged() { update(); }

// ---- Diagram --------------------------------------------------------------

bool CTovaskView::IsBoxActive(int k) const
{
    if (k == 0 || k == 25)
        return true;
    if (k < 0 || k > 25)
        return false;
    return m_trackEnabled[(k - 1) / 8] != 0;
}

QPixmap CTovaskView::DiagramBitmap(int id)
{
    static QHash<int, QPixmap> cache;
    auto it = cache.find(id);
    if (it == cache.end())
        it = cache.insert(id, QPixmap(QString(":/bitmaps/%1.png").arg(id)));
    return *it;
}

void CTovaskView::paintEvent(QPaintEvent*)
{
    if (m_doc.needsDecode) {
        m_doc.needsDecode = 0;
        m_doc.DecodeImage();
        UpdatePanelFromTemplate();
    }
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(kBackground);
    p.drawRect(rect().adjusted(0, 0, -1, -1));

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
    p.setFont(DiagramFont());
    PaintLabels(p);
    DrawFieldBoxes(p);
    DrawHoverText(p);
}

void CTovaskView::DrawText(QPainter& p, int x, int y, const std::string& text, const QColor& bg)
{
    if (text.empty())
        return;
    const QString s = QString::fromLocal8Bit(text.c_str());
    const QFontMetrics fm(p.font());
    const QRect r(x, y, fm.horizontalAdvance(s), fm.height());
    p.fillRect(r, bg);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
}

void CTovaskView::PaintLabels(QPainter& p)
{
    p.setPen(Qt::black);
    for (const Label& l : kPanelLabels)
        DrawText(p, l.x, l.y, l.text, kBackground);
    if (m_portKind >= 2)
        DrawText(p, 25, 70, "COMn Protocol:", kBackground);
    const int x = diagramOriginX, y = diagramOriginY;
    DrawText(p, x + 100, y - 10, "Editable MR Properties", kBackground);
    DrawText(p, x - 50, y + 2, "Card:", kBackground);
    DrawText(p, x - 50, y + 30 + 2, "Track1:", kBackground);
    DrawText(p, x - 50, y + 2 * 30 + 2, "Track2:", kBackground);
    DrawText(p, x - 50, y + 3 * 30 + 2, "Track3:", kBackground);
    DrawText(p, x - 50, y + 4 * 30 + 2, "Card:", kBackground);
    DrawText(p, x - 50, 332, m_editorCaption, kBackground);
    DrawText(p, x + 155, 332, m_editorHint, kBackground);
    DrawText(p, x - 32, 353, m_switchCaption, kBackground);
}

void CTovaskView::DrawFieldBoxes(QPainter& p)
{
    const DiagramTables& t = m_doc.diagram;
    for (int k = 0; k < formatFieldCount; ++k) {
        if (!IsBoxActive(k)) {
            DrawDisabledRow(p, (k - 1) / 8 + 1);
            continue;
        }
        int id = t.normalBitmapIds[k];
        if (m_doc.fieldHovered[k] == 1)
            id = t.hoverBitmapIds[k];
        else if (m_doc.fieldChanged[k] == 1)
            id = t.changedBitmapIds[k];
        DrawFieldBitmap(p, id, k);
    }
}

void CTovaskView::DrawFieldBitmap(QPainter& p, int id, int k)
{
    const FieldBox& b = m_doc.diagram.fieldBoxes[k];
    p.drawPixmap(b.left + 1, b.top + 1, DiagramBitmap(id));
}

void CTovaskView::DrawDisabledRow(QPainter& p, int track)
{
    const FieldBox& first = m_doc.diagram.fieldBoxes[1 + 8 * (track - 1)];
    p.drawPixmap(m_doc.diagram.fieldBoxes[1].left + 1, first.top + 1, DiagramBitmap(disabledRowBitmapId));
}

void CTovaskView::DrawHoverText(QPainter& p)
{
    p.setPen(QColor(0, 0, 255));
    DrawText(p, m_hoverTextX, m_hoverTextY, m_hoverText, QColor(255, 255, 180));
}

QRect CTovaskView::HoverTextRect() const
{
    if (m_hoverText.empty())
        return {};
    const QFontMetrics fm(DiagramFont());
    const QString s = QString::fromLocal8Bit(m_hoverText.c_str());
    return QRect(m_hoverTextX, m_hoverTextY, fm.horizontalAdvance(s), fm.height()).adjusted(-1, -1, 1, 1);
}

void CTovaskView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int px = pos.x(), py = pos.y();
    if (!ExchangeFromControls())
        return;
    const DiagramTables& t = m_doc.diagram;
    for (int k = 0; k < formatFieldCount; ++k) {
        if (!t.fieldBoxes[k].Contains(px, py) && m_doc.fieldHovered[k] == 1) {
            m_doc.fieldHovered[k] = 0;
            // A long text reaches past the area around the pointer: clear
            // where it was drawn, too.
            update(HoverTextRect());
            m_hoverText.clear();
            update(QRect(QPoint(px - 100, py - 50), QPoint(px + 150, py + 60)));
        }
    }
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldBox& b = t.fieldBoxes[k];
        if (!b.Contains(px, py))
            continue;
        if (!UpdateTemplateFromPanel())
            return;
        if (!IsBoxActive(k))
            continue;
        m_doc.fieldHovered[k] = 1;
        const std::string label = t.hoverLabels[k];
        const std::string& text = m_doc.record.formatFields[k].text;
        // The text follows the pointer: clear its old place, draw it at the new one.
        update(HoverTextRect());
        m_hoverText = " " + label + text + " ";
        m_hoverTextX = px;
        m_hoverTextY = py + 20;
        const int width = 6 * static_cast<int>(label.size() + text.size() + 10);
        update(QRect(b.left, b.top, width, 50));
        update(HoverTextRect());
    }
    QWidget::mouseMoveEvent(event);
}

// ---- Field editor --------------------------------------------------------

void CTovaskView::CreateFieldEditorControls()
{
    const int x = diagramOriginX;
    auto button = [this](const char* text, int left) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(left, 350, 55, 20);
        return b;
    };
    fieldEdit = new QLineEdit(this);
    fieldEdit->setGeometry(x - 50, 350, 310, 20);
    textOkButton = button("OK", 345);
    textCancelButton = button("Cancel", 410);
    switchCheck = new QCheckBox(this);
    switchCheck->setGeometry(x - 50, 355, 13, 13);
    switchOkButton = button("OK", 345);
    switchCancelButton = button("Cancel", 410);
    connect(textOkButton, &QPushButton::clicked, this, [this] { ApplyTextEdit(); });
    connect(textCancelButton, &QPushButton::clicked, this, [this] { CancelTextEdit(); });
    connect(switchOkButton, &QPushButton::clicked, this, [this] { ApplySwitchEdit(); });
    connect(switchCancelButton, &QPushButton::clicked, this, [this] { CancelSwitchEdit(); });
    HideFieldEditors();
    m_editorCaption.clear();
    m_editorHint.clear();
    m_switchCaption.clear();
}

void CTovaskView::HideFieldEditors()
{
    if (!fieldEdit)
        return;
    ShowControls({fieldEdit, textOkButton, textCancelButton, switchCheck, switchOkButton, switchCancelButton}, false);
}

void CTovaskView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        m_selectedField = noField;
        for (int k = 0; k < formatFieldCount; ++k)
            if (m_doc.diagram.fieldBoxes[k].Contains(pos.x(), pos.y()) && IsBoxActive(k))
                OpenFieldEditor(k);
    }
    QWidget::mousePressEvent(event);
}

void CTovaskView::OpenFieldEditor(int k)
{
    if (!fieldEdit || k < 0 || k > 25)
        return;
    const FieldKind kind = FieldInfoAt(k).kind;
    const FormatField& f = m_doc.record.formatFields[k];
    if (kind == FieldKind::Data)
        return;
    if (kind == FieldKind::Switch) {
        ShowControls({switchCheck}, true);
        switchCheck->setChecked(f.enabled != 0);
        m_originalChecked = f.enabled;
        m_selectedField = k;
        m_switchCaption = m_doc.diagram.fieldCaptions[k];
        m_editorCaption.clear();
        m_editorHint.clear();
        ShowControls({switchOkButton, switchCancelButton}, true);
        ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    } else {
        ShowControls({fieldEdit}, true);
        fieldEdit->setFocus(Qt::OtherFocusReason);
        fieldEdit->setText(QString::fromLocal8Bit(f.text.c_str()));
        m_originalText = f.text;
        m_selectedField = k;
        m_editorCaption = m_doc.diagram.fieldCaptions[k];
        m_editorHint = escapeHint;
        m_switchCaption.clear();
        ShowControls({textOkButton, textCancelButton}, true);
        ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    }
    update();
}

void CTovaskView::ApplyTextEdit()
{
    const std::string text = fieldEdit->text().toLocal8Bit().toStdString();
    const int k = m_selectedField;
    if (k >= 0 && k <= 25) {
        const FieldInfo& info = FieldInfoAt(k);
        if (info.kind == FieldKind::Text || info.kind == FieldKind::Terminator) {
            if (!IsEscapedTextValid(text, info.maxBytes)) {
                const char* message = info.kind == FieldKind::Terminator ? "field terminator error!"
                                      : (k == 0 || k == 25)             ? "card prefix/suffix error!"
                                                                        : "track prefix/suffix error!";
                MessageSink().ShowMessage(message);
                fieldEdit->setFocus(Qt::OtherFocusReason);
                return;
            }
            if (text != m_originalText)
                m_doc.fieldChanged[k] = 1;
            m_doc.record.formatFields[k].text = text;
        }
    }
    ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    m_editorCaption.clear();
    m_editorHint.clear();
    update();
}

void CTovaskView::CancelTextEdit()
{
    ShowControls({fieldEdit, textOkButton, textCancelButton}, false);
    m_editorCaption.clear();
    m_editorHint.clear();
    update();
}

void CTovaskView::ApplySwitchEdit()
{
    const int k = m_selectedField;
    // Detached (no field selected): closes without storing, as the text editor does.
    if (k >= 0 && k <= 25 && FieldInfoAt(k).kind == FieldKind::Switch) {
        const int state = switchCheck->isChecked() ? 1 : 0;
        if (state != m_originalChecked)
            m_doc.fieldChanged[k] = 1;
        FormatField& f = m_doc.record.formatFields[k];
        f.enabled = state;
        f.text = state ? "Enable" : "Disable";
    }
    ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    m_switchCaption.clear();
    update();
}

void CTovaskView::CancelSwitchEdit()
{
    ShowControls({switchCheck, switchOkButton, switchCancelButton}, false);
    m_switchCaption.clear();
    update();
}

// ---- Transfers -----------------------------------------------------------

TransferContext CTovaskView::MakeContext()
{
    TransferContext ctx{m_doc, *this, MessageSink(), DefaultSleeper()};
    if (m_links)
        m_links->Fill(ctx);
    ctx.portKind = m_portKind;
    ctx.comPortReady = m_comPortReady;
    return ctx;
}

void CTovaskView::OnWriteIntoMR()
{
    TransferContext ctx = MakeContext();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ::OnWriteIntoMR(ctx);
    QApplication::restoreOverrideCursor();
}

void CTovaskView::OnReadFromMR()
{
    TransferContext ctx = MakeContext();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ::OnReadFromMR(ctx);
    QApplication::restoreOverrideCursor();
}

void CTovaskView::OnMRTest()
{
    if (!IsComPortKind(m_portKind) || !m_testDialog)
        return;
    RunMRTest(m_portKind, m_comPortReady, m_links ? m_links->Com() : nullptr, *m_testDialog, MessageSink());
}
