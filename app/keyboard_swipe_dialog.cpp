#include "app/keyboard_swipe_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/reader_output.h"

namespace {

QString Shown(const std::string& text)
{
    QString out;
    for (QChar c : QString::fromStdString(text))
        out += c.unicode() < 0x20 ? QString::fromStdString(ShownText(std::string(1, static_cast<char>(c.unicode()))))
                                  : QString(c);
    return out;
}

}  // namespace

CKeyboardSwipeDlg::CKeyboardSwipeDlg(const TemplateRecord& record, const QString& layoutName, bool capsLock,
                                     QWidget* parent)
    : QDialog(parent), m_record(record)
{
    setWindowTitle("Keyboard Swipe Test");
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel("Swipe a card with the keyboard reader into the box below; every key is taken.", this));
    m_box = new QPlainTextEdit(this);
    m_box->setObjectName("SwipeBox");
    m_box->setReadOnly(false);
    m_box->setTabChangesFocus(false);
    m_box->setMinimumHeight(60);
    m_box->installEventFilter(this);
    top->addWidget(m_box);

    auto* form = new QFormLayout;
    m_chooser = new QComboBox(this);
    m_chooser->setEditable(true);
    for (const std::string& name : TableLayoutNames())
        m_chooser->addItem(QString::fromStdString(name));
    m_capsLock = new QCheckBox("Caps Lock", this);
    m_capsLock->setChecked(capsLock);
    auto* layoutRow = new QHBoxLayout;
    layoutRow->addWidget(m_chooser);
    layoutRow->addWidget(m_capsLock);
    layoutRow->addStretch(1);
    m_expected = new QLabel(this);
    m_pace = new QLabel(this);
    m_status = new QLabel(this);
    for (QLabel* l : {m_expected, m_pace, m_status}) {
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    form->addRow("Layout:", layoutRow);
    form->addRow("Expected:", m_expected);
    form->addRow("Pace:", m_pace);
    top->addLayout(form);
    m_differences = new QPlainTextEdit(this);
    m_differences->setReadOnly(true);
    m_differences->setFocusPolicy(Qt::NoFocus);
    top->addWidget(new QLabel("Differences:", this));
    top->addWidget(m_differences, 1);
    top->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* clear = buttons->addButton("Clear", QDialogButtonBox::ResetRole);
    QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
    clear->setFocusPolicy(Qt::NoFocus);
    close->setFocusPolicy(Qt::NoFocus);
    clear->setAutoDefault(false);
    close->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, &CKeyboardSwipeDlg::Clear);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(buttons);

    connect(m_capsLock, &QCheckBox::toggled, this, &CKeyboardSwipeDlg::Compare);
    connect(m_chooser, &QComboBox::activated, this, [this] { SetLayout(m_chooser->currentText()); });
    if (!SetLayout(layoutName))
        SetLayout("us");
    resize(560, 420);
    m_box->setFocus();
}

CKeyboardSwipeDlg::~CKeyboardSwipeDlg() = default;

QWidget* CKeyboardSwipeDlg::SwipeBox() const { return m_box; }

bool CKeyboardSwipeDlg::SetLayout(const QString& name)
{
    std::string error;
    auto layout = OpenHostLayout(name.trimmed().toStdString(), error);
    if (!layout) {
        m_status->setText(QString::fromStdString(error));
        return false;
    }
    m_layout = std::move(layout);
    const QString chosen = QString::fromStdString(m_layout->Name());
    if (m_chooser->findText(chosen) < 0)
        m_chooser->addItem(chosen);
    m_chooser->setCurrentIndex(m_chooser->findText(chosen));
    Compare();
    return true;
}

bool CKeyboardSwipeDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QString text = key->text();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            text = "\r";
        if (!text.isEmpty()) {
            if (m_arrived.empty())
                m_clock.start();
            m_arrived.push_back({text.toStdString(), m_clock.elapsed()});
            m_box->insertPlainText(Shown(text.toStdString()));
            Compare();
        }
        return true;  // Tab, Enter and shortcuts are the reader's keys here
    }
    return QDialog::eventFilter(watched, event);
}

void CKeyboardSwipeDlg::Compare()
{
    if (!m_layout)
        return;
    const ReaderOutput out = ReaderOutputFor(m_record, SampleSwipe());
    const SwipeCheck check = CheckSwipe(m_arrived, out.bytes, *m_layout, m_capsLock->isChecked());
    m_expected->setText(Shown(check.expected) + QString(" (layout %1, %2)")
                                                    .arg(QString::fromStdString(m_layout->Name()),
                                                         QString::fromStdString(m_layout->Source())));
    QString pace = QString("%1 keys").arg(m_arrived.size());
    if (m_arrived.size() > 1)
        pace += QString(", gaps %1 to %2 ms").arg(check.shortestGapMs).arg(check.longestGapMs);
    m_pace->setText(pace + QString(" (output delay %1 ms)").arg(out.byteDelayMs));
    QString differences;
    if (!m_arrived.empty())
        for (const SwipeDifference& d : check.differences)
            differences += QString::fromStdString(d.Text()) + "\n";
    m_differences->setPlainText(differences);
    m_status->setText(m_arrived.empty() ? QString("Waiting for a swipe of the sample card.")
                      : check.matches   ? "Every key is what layout " + QString::fromStdString(m_layout->Name()) + " gives."
                                        : "Not every key is what layout " + QString::fromStdString(m_layout->Name()) +
                                            " gives.");
}

void CKeyboardSwipeDlg::Clear()
{
    m_arrived.clear();
    m_box->clear();
    Compare();
    m_box->setFocus();
}

QString CKeyboardSwipeDlg::ArrivedText() const
{
    std::string text;
    for (const ArrivedKey& k : m_arrived)
        text += k.text;
    return QString::fromStdString(text);
}

QString CKeyboardSwipeDlg::ExpectedText() const { return m_expected->text(); }
QString CKeyboardSwipeDlg::PaceText() const { return m_pace->text(); }
QString CKeyboardSwipeDlg::DifferencesText() const { return m_differences->toPlainText(); }
