// The format diagram: the paint operation, the 26 boxes with their looks,
// the hover text and the hover tracking.
#include "view/tovask_view.h"

#include <QHash>
#include <QHelpEvent>
#include <QWhatsThis>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

#include "model/diagram_tables.h"
#include "view/form_metrics.h"

namespace {

// The hover text of box k: its label and the field's value.
std::string HoverTextOf(const CTovaskDoc& doc, int k)
{
    return " " + std::string(doc.diagram.hoverLabels[k]) + doc.record.formatFields[k].text + " ";
}

}  // namespace

bool CTovaskView::IsBoxActive(int k) const
{
    if (k == 0 || k == 25)
        return true;
    if (k < 0 || k > 25)
        return false;
    return m_trackEnabled[(k - 1) / 8] != 0;
}

QPixmap CTovaskView::DiagramBitmap(int id, qreal devicePixelRatio)
{
    static QHash<int, QPixmap> cache;
    const bool dense = devicePixelRatio > 1;
    const int key = dense ? -id : id;
    auto it = cache.find(key);
    if (it == cache.end()) {
        QPixmap pixmap(QString(":/bitmaps/%1%2.png").arg(id).arg(dense ? "@2x" : ""));
        pixmap.setDevicePixelRatio(dense ? 2 : 1);
        it = cache.insert(key, pixmap);
    }
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
    // Between 1 and 2 the bitmaps are scaled down from their 2x art.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setPen(Qt::black);
    p.setBrush(kFormBackground);
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    PaintGroupFrames(p);
    p.setFont(DiagramFont());
    PaintLabels(p);
    DrawFieldBoxes(p);
    DrawHoverText(p);
}

void CTovaskView::DrawText(QPainter& p, int x, int y, const std::string& text, const QColor& bg, int stretch)
{
    if (text.empty())
        return;
    const QFont before = p.font();
    QFont font = before;
    font.setStretch(stretch);
    p.setFont(font);
    const QString s = QString::fromLocal8Bit(text.c_str());
    const QFontMetrics fm(font);
    const QRect r(x, y, fm.horizontalAdvance(s), fm.height());
    p.fillRect(r, bg);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
    p.setFont(before);
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
    p.drawPixmap(b.left + 1, b.top + 1, DiagramBitmap(id, p.device()->devicePixelRatioF()));
}

void CTovaskView::DrawDisabledRow(QPainter& p, int track)
{
    const FieldBox& first = m_doc.diagram.fieldBoxes[1 + 8 * (track - 1)];
    p.drawPixmap(m_doc.diagram.fieldBoxes[1].left + 1, first.top + 1, DiagramBitmap(disabledRowBitmapId, p.device()->devicePixelRatioF()));
}

void CTovaskView::DrawHoverText(QPainter& p)
{
    p.setPen(QColor(0, 0, 255));
    DrawText(p, m_hoverTextX, m_hoverTextY, m_hoverText, QColor(255, 255, 180));
}

QSize CTovaskView::HoverTextSize() const
{
    const QFontMetrics fm(DiagramFont());
    return QSize(fm.horizontalAdvance(QString::fromLocal8Bit(m_hoverText.c_str())), fm.height());
}

QRect CTovaskView::HoverTextRect() const
{
    if (m_hoverText.empty())
        return {};
    return QRect(QPoint(m_hoverTextX, m_hoverTextY), HoverTextSize());
}

// On the row of the box under the pointer, right of the box and of the
// pointer's arrow, or left of them where the text would leave the view: the
// box itself and the rows above and below stay in sight.
void CTovaskView::PlaceHoverText(int k, int px, int py)
{
    constexpr int arrowWidth = 16;  // the pointer's arrow reaches this far right of its tip
    constexpr int gap = 3;
    m_hoverPointer = QPoint(px, py);
    const QSize size = HoverTextSize();
    const FieldBox& b = m_doc.diagram.fieldBoxes[k];
    int x = std::max(px + arrowWidth, b.left + b.width + gap);
    if (x + size.width() > width() - 1)
        x = std::min(px, b.left) - gap - size.width();
    m_hoverTextX = std::max(1, std::min(x, width() - 1 - size.width()));
    m_hoverTextY = b.top + 1 + (b.height - 1 - size.height()) / 2;
}

void CTovaskView::ClearHover()
{
    const DiagramTables& t = m_doc.diagram;
    update(HoverTextRect().adjusted(-1, -1, 1, 1));
    m_hoverText.clear();
    for (int k = 0; k < formatFieldCount; ++k) {
        if (m_doc.fieldHovered[k] == 1) {
            m_doc.fieldHovered[k] = 0;
            const FieldBox& b = t.fieldBoxes[k];
            update(QRect(b.left, b.top, b.width + 1, b.height + 1));
        }
    }
}

// The pointer left the view's own surface, for the dock, another window or a
// control of the form: nothing is hovered any more.
void CTovaskView::leaveEvent(QEvent* event)
{
    ClearHover();
    QWidget::leaveEvent(event);
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
            update(HoverTextRect().adjusted(-1, -1, 1, 1));
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
        update(HoverTextRect().adjusted(-1, -1, 1, 1));
        m_hoverText = HoverTextOf(m_doc, k);
        PlaceHoverText(k, px, py);
        const int width = 6 * static_cast<int>(label.size() + text.size() + 10);
        update(QRect(b.left, b.top, width, 50));
        update(HoverTextRect().adjusted(-1, -1, 1, 1));
    }
    QWidget::mouseMoveEvent(event);
}

void CTovaskView::RefreshHoverText()
{
    if (m_hoverText.empty())
        return;
    update(HoverTextRect().adjusted(-1, -1, 1, 1));
    m_hoverText.clear();
    for (int k = 0; k < formatFieldCount; ++k) {
        if (m_doc.fieldHovered[k] != 1)
            continue;
        if (!IsBoxActive(k)) {
            m_doc.fieldHovered[k] = 0;
            continue;
        }
        m_hoverText = HoverTextOf(m_doc, k);
        PlaceHoverText(k, m_hoverPointer.x(), m_hoverPointer.y());
        update(HoverTextRect().adjusted(-1, -1, 1, 1));
    }
}

// What's This over the diagram names the box under the pointer.
QString CTovaskView::WhatsThisAt(QPoint pos) const
{
    const DiagramTables& t = m_doc.diagram;
    for (int k = 0; k < formatFieldCount; ++k) {
        if (!t.fieldBoxes[k].Contains(pos.x(), pos.y()))
            continue;
        if (!t.fieldCaptions[k] || !*t.fieldCaptions[k])
            return QString("Track %1 data: what the card holds on track %1, sent as it was read. It cannot be edited.")
                .arg((k - 1) / 8 + 1);
        return QString::fromLocal8Bit(t.fieldCaptions[k]) +
               ". Point at the box to see the value, click it to edit.";
    }
    return whatsThis();
}

bool CTovaskView::event(QEvent* event)
{
    if (event->type() == QEvent::WhatsThis) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QWhatsThis::showText(help->globalPos(), WhatsThisAt(help->pos()), this);
        return true;
    }
    return QWidget::event(event);
}
