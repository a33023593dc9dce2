// The format diagram by keyboard: the focus box, the arrow keys and the keys
// that open the field editor.
#include "view/format_diagram_keys.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#include "model/diagram_tables.h"
#include "view/tovask_view.h"

namespace {

// Row 0 is the card prefix, 1 to 3 the tracks, 4 the card suffix.
int RowOf(int k) { return k == 0 ? 0 : k == 25 ? 4 : (k - 1) / 8 + 1; }

// Room around the boxes for the focus box.
constexpr int kMargin = 3;

}  // namespace

CFormatDiagram::CFormatDiagram(CTovaskView& view) : QWidget(&view), m_view(view)
{
    setObjectName("FormatDiagram");
    // The view draws the boxes and answers the pointer; this widget only
    // takes the keyboard and draws the focus box over them.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
    const DiagramTables& t = view.Doc().diagram;
    QRect all;
    for (const FieldBox& b : t.fieldBoxes)
        all |= QRect(b.left, b.top, b.width + 2, b.height + 1);
    setGeometry(all.adjusted(-kMargin, -kMargin, kMargin, kMargin));
    setWhatsThis("The reader's output line for a card. By keyboard: the arrow keys move the frame over the boxes, "
                 "Enter, Space or F2 edits the framed box.");
    setAccessibleName("Editable MR Properties");
    setAccessibleDescription("The reader's output line, one box a field. The arrow keys move between the boxes; "
                             "Enter, Space or F2 edits the box.");
}

QRect CFormatDiagram::BoxRect(int k) const
{
    const FieldBox& b = m_view.Doc().diagram.fieldBoxes[k];
    // The bitmap is drawn one pixel right of and below the box's corner.
    return QRect(b.left + 1, b.top + 1, b.width, b.height - 1).translated(-pos());
}

int CFormatDiagram::CurrentBox() const
{
    if (m_view.IsBoxActive(m_current))
        return m_current;
    // Its track was switched off: the next active box in reading order, or
    // the one before.
    for (int k = m_current + 1; k < formatFieldCount; ++k)
        if (m_view.IsBoxActive(k))
            return k;
    for (int k = m_current - 1; k >= 0; --k)
        if (m_view.IsBoxActive(k))
            return k;
    return 0;
}

void CFormatDiagram::SetCurrentBox(int k)
{
    if (k < 0 || k >= formatFieldCount)
        return;
    const bool moved = k != m_current;
    update(BoxRect(m_current).adjusted(-kMargin, -kMargin, kMargin, kMargin));
    m_current = k;
    update(BoxRect(m_current).adjusted(-kMargin, -kMargin, kMargin, kMargin));
    if (moved && hasFocus())
        Announce();
}

int CFormatDiagram::BoxAfterKey(int k, int key) const
{
    switch (key) {
    case Qt::Key_Right:
        for (int n = k + 1; n < formatFieldCount; ++n)
            if (m_view.IsBoxActive(n))
                return n;
        return std::clamp(k, 0, formatFieldCount - 1);
    case Qt::Key_Left:
        for (int n = k - 1; n >= 0; --n)
            if (m_view.IsBoxActive(n))
                return n;
        return std::clamp(k, 0, formatFieldCount - 1);
    case Qt::Key_Home:
        return BoxAfterKey(-1, Qt::Key_Right);
    case Qt::Key_End:
        return BoxAfterKey(formatFieldCount, Qt::Key_Left);
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // The box of the nearest row above or below with an active box,
        // nearest to this one's middle.
        const int step = key == Qt::Key_Down ? 1 : -1;
        const int middle = BoxRect(k).center().x();
        for (int row = RowOf(k) + step; row >= 0 && row <= 4; row += step) {
            int best = -1;
            for (int n = 0; n < formatFieldCount; ++n) {
                if (RowOf(n) != row || !m_view.IsBoxActive(n))
                    continue;
                if (best < 0 || std::abs(BoxRect(n).center().x() - middle) < std::abs(BoxRect(best).center().x() - middle))
                    best = n;
            }
            if (best >= 0)
                return best;
        }
        return k;
    }
    default:
        return k;
    }
}

bool CFormatDiagram::PressBox(int k)
{
    if (!m_view.IsBoxActive(k) || FieldInfoAt(k).kind == FieldKind::Data)
        return false;
    m_view.OpenFieldEditor(k);
    return true;
}

void CFormatDiagram::keyPressEvent(QKeyEvent* event)
{
    const int k = CurrentBox();
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            break;
        SetCurrentBox(BoxAfterKey(k, event->key()));
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_F2:
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            break;
        SetCurrentBox(k);
        PressBox(k);
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void CFormatDiagram::paintEvent(QPaintEvent*)
{
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(BoxRect(CurrentBox())).adjusted(-1, -1, 1, 1), 3, 3);
}

void CFormatDiagram::focusInEvent(QFocusEvent* event)
{
    m_current = CurrentBox();
    update();
    QWidget::focusInEvent(event);
    // After the diagram's own focus event, so that the box is said last.
    QTimer::singleShot(0, this, [this] {
        if (hasFocus())
            Announce();
    });
}

void CFormatDiagram::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

void CFormatDiagram::Announce()
{
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(CurrentBox());
    QAccessible::updateAccessibility(&focus);
}

std::string CFormatDiagram::BoxName(int k) const
{
    if (FieldInfoAt(k).kind == FieldKind::Data)
        return "Track" + std::to_string(TrackOfField(k)) + " data";
    return FieldCaptionName(m_view.Doc().diagram.fieldCaptions[k]);
}

std::string CFormatDiagram::BoxValue(int k) const
{
    const FormatField& f = m_view.Doc().record.formatFields[k];
    switch (FieldInfoAt(k).kind) {
    case FieldKind::Switch:
        return f.enabled ? "on" : "off";
    case FieldKind::Data:
        return "";
    default:
        return ShownText(UnescapeText(f.text));
    }
}

std::string FieldCaptionName(const std::string& caption)
{
    const std::size_t colon = caption.find(':'), paren = caption.find(" (");
    return caption.substr(0, std::min(colon, paren));
}
