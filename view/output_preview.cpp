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

#include "keyboard/host_layout.h"
#include "view/tovask_view.h"
#include "view/user_settings.h"

namespace {

const char* const layoutKey = "OutputPreview/Layout";
const char* const visibleKey = "OutputPreview/Visible";

QString Marked(const QString& text, bool changed, const QString& tip = {})
{
    const QString escaped = text.toHtmlEscaped();
    if (!changed)
        return escaped;
    return "<span style=\"background-color:#ffc8c8;color:#a00000\" title=\"" + tip.toHtmlEscaped() + "\">" +
           escaped + "</span>";
}

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
    auto* layoutRow = new QHBoxLayout;
    layoutRow->addWidget(m_chooser);
    layoutRow->addWidget(m_counts, 1);
    for (const char* text : {"Sent:", "Layout:", "Received:"}) {
        auto* label = new QLabel(text, this);
        label->setMinimumSize(label->sizeHint());
        form->addRow(label, text[0] == 'S' ? static_cast<QWidget*>(m_sent) : text[0] == 'R' ? m_typed : nullptr);
        if (text[0] == 'L')
            form->setLayout(form->rowCount() - 1, QFormLayout::FieldRole, layoutRow);
    }
    form->addRow(m_info);

    const QString saved = UserSettings().value(layoutKey).toString();
    if (saved.isEmpty() || !SetLayout(saved))
        SetLayout(QString::fromStdString(SystemLayoutName())) || SetLayout("us");
    connect(m_chooser, &QComboBox::activated, this, [this] { SetLayout(m_chooser->currentText()); });
    connect(m_chooser->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (m_chooser->currentText() != LayoutName())
            SetLayout(m_chooser->currentText());
    });

    // Every edit: field edits repaint the view, panel values change their controls.
    m_view.installEventFilter(this);
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

void OutputPreviewPanel::Refresh()
{
    if (!m_layout)
        return;
    const ReaderOutput out = ReaderOutputFor(CurrentTemplate(), SampleSwipe());
    // Nothing to do when neither the output nor the layout changed (hover repaints).
    const QString key = QString::fromLatin1(reinterpret_cast<const char*>(out.bytes.data()),
                                            static_cast<int>(out.bytes.size())) +
                        QChar(0) + QString::number(out.byteDelayMs) + BeepText(out).c_str() +
                        QString::number(out.oposNote) + LayoutName();
    if (key == m_shownKey)
        return;
    m_shownKey = key;

    const ::TypedText typed = TypeBytes(*m_layout, out.bytes);
    std::vector<const TypedChange*> changeAt(out.bytes.size(), nullptr);
    for (const TypedChange& c : typed.changes)
        changeAt[c.offset] = &c;
    m_changed = static_cast<int>(typed.changes.size());

    QString sent, received;
    for (std::size_t i = 0; i < out.bytes.size(); ++i) {
        const QString shown = QString::fromStdString(ShownByte(out.bytes[i]));
        const TypedChange* c = changeAt[i];
        const QString tip = c ? shown + " arrives as " + QString::fromStdString(ShownAnswer(c->answer)) : QString();
        sent += Marked(shown, c != nullptr, tip);
        const KeyAnswer answer = c ? c->answer : m_layout->Answer(out.bytes[i]);
        QString text = QString::fromStdString(ShownAnswer(answer));
        if (answer.Dead())
            text = "\u25CC";  // a dotted circle: a dead key, nothing typed
        else if (answer.text.empty())
            text = "\u2205";  // nothing at all
        received += Marked(text, c != nullptr, tip);
    }
    m_sent->setText(sent.isEmpty() ? "<i>nothing</i>" : sent);
    m_typed->setText(received.isEmpty() ? "<i>nothing</i>" : received);

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

QString OutputPreviewPanel::SentText() const
{
    QString text;
    for (std::uint8_t b : ReaderOutputFor(CurrentTemplate(), SampleSwipe()).bytes)
        text += QString::fromStdString(ShownByte(b));
    return text;
}

QString OutputPreviewPanel::TypedText() const
{
    if (!m_layout)
        return {};
    return QString::fromStdString(TypeBytes(*m_layout, ReaderOutputFor(CurrentTemplate(), SampleSwipe()).bytes).text);
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

QDockWidget* CreateOutputPreviewDock(CTovaskView& view, QWidget* parent)
{
    auto* dock = new QDockWidget("Output Preview", parent);
    dock->setObjectName("OutputPreviewDock");
    dock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    dock->setWidget(new OutputPreviewPanel(view, dock));
    dock->toggleViewAction()->setText("Output Preview");
    dock->toggleViewAction()->setStatusTip("Show or hide what the reader sends for a sample card");
    dock->setVisible(UserSettings().value(visibleKey, true).toBool());
    QObject::connect(dock->toggleViewAction(), &QAction::triggered, dock,
                     [](bool on) { UserSettings().setValue(visibleKey, on); });
    return dock;
}
