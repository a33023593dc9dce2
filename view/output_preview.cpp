#include "view/output_preview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QTextDocumentFragment>

#include "device/transfer.h"
#include "keyboard/host_layout.h"
#include "view/tovask_view.h"
#include "view/user_settings.h"

namespace {

const char* const layoutKey = "OutputPreview/Layout";
const char* const visibleKey = "OutputPreview/Visible";

// Lets a long line break between any two bytes: a zero-width space.
const QChar breakHere(0x200B);

// A byte as the field editor writes it: itself, an escape ("[CR]"), or its
// value in hex ("[02]").
QString Shown(std::uint8_t byte)
{
    return QString::fromStdString(ShownText(std::string(1, static_cast<char>(byte))));
}

// What a key gives the host, in the same notation: its characters, control
// characters written as bytes.
QString ShownKeyText(const std::string& utf8)
{
    QString out;
    for (QChar c : QString::fromStdString(utf8))
        out += c.unicode() < 0x20 || c.unicode() == 0x7F ? Shown(static_cast<std::uint8_t>(c.unicode())) : QString(c);
    return out;
}

// The names of the bytes below 0x20 and of 0x7F, for the legend.
const char* ControlName(std::uint8_t byte)
{
    static const char* const names[32] = {
        "Null",           "Start of heading",  "Start of text", "End of text",        "End of transmission",
        "Enquiry",        "Acknowledge",       "Bell",          "Backspace",          "Tab",
        "Line feed",      "Vertical tab",      "Form feed",     "Carriage return",    "Shift out",
        "Shift in",       "Data link escape",  "Device control 1", "Device control 2", "Device control 3",
        "Device control 4", "Negative acknowledge", "Synchronous idle", "End of transmission block", "Cancel",
        "End of medium",  "Substitute",        "Escape",        "File separator",     "Group separator",
        "Record separator", "Unit separator"};
    return byte < 0x20 ? names[byte] : byte == 0x7F ? "Delete" : nullptr;
}

QString Marked(const QString& text, bool changed, const QString& tip = {})
{
    const QString escaped = text.toHtmlEscaped();
    if (!changed)
        return escaped;
    return "<span style=\"background-color:#ffc8c8;color:#a00000\" title=\"" + tip.toHtmlEscaped() + "\">" +
           escaped + "</span>";
}

// Asks for what the panel asks for now, not for what it asked first.
class PreviewArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        return widget() ? widget()->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth()) : QScrollArea::sizeHint();
    }
};

}  // namespace

OutputPreviewPanel::OutputPreviewPanel(CTovaskView& view, QWidget* parent) : QWidget(parent), m_view(view)
{
    setObjectName("OutputPreview");
    auto* form = new QFormLayout(this);
    form->setContentsMargins(4, 2, 4, 2);
    form->setVerticalSpacing(2);
    m_sent = new QLabel(this);
    m_typed = new QLabel(this);
    m_info = new QLabel(this);
    m_counts = new QLabel(this);
    for (QLabel* l : {m_sent, m_typed, m_info}) {
        l->setTextFormat(l == m_info ? Qt::PlainText : Qt::RichText);
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_chooser = new QComboBox(this);
    m_chooser->setEditable(true);
    m_chooser->setInsertPolicy(QComboBox::NoInsert);
    m_chooser->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const std::string& name : TableLayoutNames())
        m_chooser->addItem(QString::fromStdString(name));
    m_chooser->setToolTip("The host's keyboard layout, as xkeyboard-config names it (de, fr, de(nodeadkeys))");
    m_capsLock = new QCheckBox("Caps Lock", this);
    m_capsLock->setToolTip("The host's Caps Lock: with it on, the layout decides which keys type the other case");
    auto* layoutRow = new QHBoxLayout;
    layoutRow->addWidget(m_chooser);
    layoutRow->addWidget(m_capsLock);
    layoutRow->addWidget(m_counts, 1);
    m_legend = new QLabel(this);
    m_legend->setWordWrap(true);
    for (const char* text : {"Sent:", "Layout:", "Received:"}) {
        auto* label = new QLabel(text, this);
        label->setMinimumSize(label->sizeHint());
        QWidget* field = text[0] == 'S' ? static_cast<QWidget*>(m_sent) : text[0] == 'R' ? static_cast<QWidget*>(m_typed) : m_chooser;
        label->setBuddy(field);
        field->setAccessibleName(QString(text).chopped(1));
        form->addRow(label, text[0] == 'L' ? nullptr : field);
        if (text[0] == 'L')
            form->setLayout(form->rowCount() - 1, QFormLayout::FieldRole, layoutRow);
    }
    form->addRow(m_legend);
    form->addRow(m_info);

    const QString saved = UserSettings().value(layoutKey).toString();
    if (saved.isEmpty() || !SetLayout(saved))
        SetLayout(QString::fromStdString(SystemLayoutName())) || SetLayout("us");
    connect(m_chooser, &QComboBox::activated, this, [this] { SetLayout(m_chooser->currentText()); });
    connect(m_chooser->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (m_chooser->currentText() != LayoutName())
            SetLayout(m_chooser->currentText());
    });

    connect(m_capsLock, &QCheckBox::toggled, this, &OutputPreviewPanel::Refresh);
    // Every edit: field edits repaint the view, panel values change their
    // controls; start, New, Open, Read, Undo and Redo refresh the panel.
    m_view.installEventFilter(this);
    connect(&m_view, &CTovaskView::TemplateChanged, this, &OutputPreviewPanel::Refresh);
    for (QCheckBox* c : {m_view.trackCheck[0], m_view.trackCheck[1], m_view.trackCheck[2], m_view.longBeepCheck,
                         m_view.threeBeepsCheck, m_view.oposCheck})
        if (c)
            connect(c, &QCheckBox::toggled, this, &OutputPreviewPanel::Refresh);
    for (QRadioButton* r : m_view.errorRadio)
        if (r)
            connect(r, &QRadioButton::toggled, this, &OutputPreviewPanel::Refresh);
    if (m_view.delayEdit)
        connect(m_view.delayEdit, &QLineEdit::textChanged, this, &OutputPreviewPanel::Refresh);
    Refresh();
}

OutputPreviewPanel::~OutputPreviewPanel() = default;

bool OutputPreviewPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_view && event->type() == QEvent::Paint)
        Refresh();
    return QWidget::eventFilter(watched, event);
}

TemplateRecord OutputPreviewPanel::CurrentTemplate() const
{
    TemplateRecord r = m_view.Doc().record;
    for (int t = 0; t < 3; ++t)
        if (m_view.trackCheck[t])
            r.trackEnabled[t] = m_view.trackCheck[t]->isChecked() ? 1 : 0;
    if (m_view.errorRadio[1])
        r.errorMode = m_view.errorRadio[1]->isChecked() ? 1 : 0;
    if (m_view.longBeepCheck)
        r.longBeepOnGoodRead = m_view.longBeepCheck->isChecked() ? 1 : 0;
    if (m_view.threeBeepsCheck)
        r.threeBeepsOnError = m_view.threeBeepsCheck->isChecked() ? 1 : 0;
    if (m_view.oposCheck)
        r.oposMode = m_view.oposCheck->isChecked() ? 1 : 0;
    if (m_view.delayEdit) {
        bool ok = false;
        const int delay = m_view.delayEdit->text().toInt(&ok);
        if (ok && delay >= 1 && delay <= 200)
            r.outputDelay = static_cast<std::uint8_t>(delay);
    }
    return r;
}

bool OutputPreviewPanel::SetLayout(const QString& name)
{
    std::string error;
    auto layout = OpenHostLayout(name.trimmed().toStdString(), error);
    if (!layout) {
        m_chooser->setEditText(LayoutName());
        m_counts->setText(QString::fromStdString(error));
        return false;
    }
    m_layout = std::move(layout);
    const QString chosen = LayoutName();
    if (m_chooser->findText(chosen) < 0)
        m_chooser->addItem(chosen);
    m_chooser->setCurrentIndex(m_chooser->findText(chosen));
    UserSettings().setValue(layoutKey, chosen);
    m_shownKey.clear();
    Refresh();
    return true;
}

QString OutputPreviewPanel::LayoutName() const
{
    return m_layout ? QString::fromStdString(m_layout->Name()) : QString();
}

bool OutputPreviewPanel::ShowsKeys() const { return !IsComPortKind(m_view.PortKind()); }

void OutputPreviewPanel::Refresh()
{
    if (!m_layout)
        return;
    const ReaderOutput out = ReaderOutputFor(CurrentTemplate(), SampleSwipe());
    const bool keys = ShowsKeys();
    // Nothing to do when neither the output, the link nor the layout changed (hover repaints).
    const QString key = QString::fromLatin1(reinterpret_cast<const char*>(out.bytes.data()),
                                            static_cast<int>(out.bytes.size())) +
                        QChar(0) + QString::number(out.byteDelayMs) + BeepText(out).c_str() +
                        QString::number(out.oposNote) +
                        (keys ? LayoutName() + QString::number(m_capsLock->isChecked()) : QString("serial"));
    if (key == m_shownKey)
        return;
    m_shownKey = key;

    // A serial reader sends bytes, not keys: no layout between it and the host.
    auto* form = static_cast<QFormLayout*>(layout());
    if (form->isRowVisible(2) != keys) {
        form->setRowVisible(1, keys);
        form->setRowVisible(2, keys);
        updateGeometry();
    }
    const ::TypedText typed = keys ? TypeBytes(*m_layout, out.bytes, m_capsLock->isChecked()) : ::TypedText{};
    std::vector<const TypedChange*> changeAt(out.bytes.size(), nullptr);
    for (const TypedChange& c : typed.changes)
        changeAt[c.offset] = &c;
    m_changed = static_cast<int>(typed.changes.size());

    QString sent, received, legend;
    std::vector<bool> inLegend(256, false);
    for (std::size_t i = 0; i < out.bytes.size(); ++i) {
        const std::uint8_t byte = out.bytes[i];
        const QString shown = Shown(byte);
        const bool inHex = shown.size() == 4 && byte != 0x09 && byte != 0x0A && byte != 0x0D;
        if (inHex && !inLegend[byte]) {
            inLegend[byte] = true;
            const char* name = ControlName(byte);
            legend += (legend.isEmpty() ? "" : ", ") + shown + "=" +
                      (name ? QString(name) : QString("byte %1 hex").arg(shown.mid(1, 2)));
        }
        const TypedChange* c = changeAt[i];
        const QString tip = c ? QString::fromStdString(ChangeText(*c)) : QString();
        sent += Marked(shown, c != nullptr, tip) + breakHere;
        if (!keys)
            continue;
        const KeyAnswer answer = c ? c->answer : m_layout->Answer(byte, m_capsLock->isChecked());
        QString text = ShownKeyText(answer.text);
        if (answer.Dead())
            text = "\u25CC";  // a dotted circle: a dead key, nothing typed
        else if (answer.text.empty())
            text = "\u2205";  // nothing at all
        received += Marked(text, c != nullptr, tip) + breakHere;
    }
    m_sent->setText(sent.isEmpty() ? "<i>nothing</i>" : sent);
    m_typed->setText(received.isEmpty() ? "<i>nothing</i>" : received);
    m_legend->setText(legend);
    m_legend->setVisible(!legend.isEmpty());

    m_counts->setText(m_changed == 0 ? QString("every character arrives as sent")
                                     : QString("%1 characters arrive differently (marked)").arg(m_changed));
    QString info = QString("Beeps: %1. One byte every %2 ms: %3 bytes in %4 ms.")
                       .arg(QString::fromStdString(BeepText(out)))
                       .arg(out.byteDelayMs)
                       .arg(out.bytes.size())
                       .arg(static_cast<long long>(out.bytes.size()) * out.byteDelayMs);
    if (out.oposNote)
        info += QString(" ") + oposNoteText;
    m_info->setText(info);
}

QString OutputPreviewPanel::ShownSentText() const { return QTextDocumentFragment::fromHtml(m_sent->text()).toPlainText().remove(breakHere); }
QString OutputPreviewPanel::ShownReceivedText() const
{
    return m_typed->isVisibleTo(this) ? QTextDocumentFragment::fromHtml(m_typed->text()).toPlainText().remove(breakHere)
                                      : QString();
}
QString OutputPreviewPanel::LegendText() const { return m_legend->text(); }

QString OutputPreviewPanel::SentText() const
{
    QString text;
    for (std::uint8_t b : ReaderOutputFor(CurrentTemplate(), SampleSwipe()).bytes)
        text += Shown(b);
    return text;
}

QString OutputPreviewPanel::TypedText() const
{
    if (!m_layout || !ShowsKeys())
        return {};
    return QString::fromStdString(
        TypeBytes(*m_layout, ReaderOutputFor(CurrentTemplate(), SampleSwipe()).bytes, m_capsLock->isChecked()).text);
}

QString OutputPreviewPanel::InfoText() const { return m_counts->text() + "\n" + m_info->text(); }

QSize OutputPreviewPanel::sizeHint() const
{
    const int width = m_view.sizeHint().width();
    return {width, layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : QWidget::sizeHint().height()};
}

QSize OutputPreviewPanel::minimumSizeHint() const
{
    return {std::min(QWidget::minimumSizeHint().width(), 240), QWidget::minimumSizeHint().height()};
}

QDockWidget* CreateOutputPreviewDock(CTovaskView& view, QWidget* parent, bool capsLock)
{
    auto* dock = new QDockWidget("Output Preview", parent);
    dock->setObjectName("OutputPreviewDock");
    dock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    // The panel's lines wrap to the dock's width; a dock lower than they
    // need scrolls them rather than lay them over each other.
    auto* area = new PreviewArea(dock);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFocusPolicy(Qt::NoFocus);  // the controls inside take the focus, not the area
    auto* panel = new OutputPreviewPanel(view, area);
    panel->CapsLockSwitch()->setChecked(capsLock);
    area->setWidget(panel);
    dock->setWidget(area);
    dock->toggleViewAction()->setText("Output Preview");
    dock->toggleViewAction()->setStatusTip("Show or hide what the reader sends for a sample card");
    dock->setVisible(UserSettings().value(visibleKey, true).toBool());
    QObject::connect(dock->toggleViewAction(), &QAction::triggered, dock,
                     [](bool on) { UserSettings().setValue(visibleKey, on); });
    return dock;
}
