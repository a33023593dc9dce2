// Paints the editor's pictures once and writes them as PNG files next to this
// source: the 31 diagram bitmaps and the eight toolbar images, each also at
// twice the size for high-density screens ("NAME@2x.png", the same drawing
// at twice the pixels), and the application icon (PNG files and, for Windows,
// one .ico holding them all). The files are committed; rerun the program only to change
// the pictures:
//   QT_QPA_PLATFORM=offscreen build/app/tovask-make-art resources
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr int kBitmapHeight = 21;
const QColor kViewBackground(238, 238, 238);

enum class Look { Normal, Hover, Changed, Disabled };
enum class Ends { Square, RoundLeft, RoundRight, RoundBoth };

// The face colour of one pixel row of a glossy button: near white at the top
// and bottom edges, about RGB(213..231) through the middle.
QColor FaceColour(Look look, int y)
{
    struct Stop {
        double at;
        int r, g, b;
    };
    static constexpr std::array<Stop, 6> grey{{
        {0.00, 253, 253, 253}, {0.12, 240, 240, 240}, {0.45, 231, 231, 231},
        {0.55, 213, 213, 213}, {0.88, 222, 222, 222}, {1.00, 250, 250, 250},
    }};
    static constexpr std::array<Stop, 6> blue{{
        {0.00, 236, 246, 255}, {0.12, 196, 224, 252}, {0.45, 160, 202, 246},
        {0.55, 118, 176, 236}, {0.88, 142, 192, 242}, {1.00, 222, 238, 255},
    }};
    static constexpr std::array<Stop, 6> light{{
        {0.00, 252, 252, 252}, {0.12, 247, 247, 247}, {0.45, 243, 243, 243},
        {0.55, 236, 236, 236}, {0.88, 240, 240, 240}, {1.00, 251, 251, 251},
    }};
    const auto& stops = look == Look::Changed ? blue : look == Look::Disabled ? light : grey;
    const double t = double(y) / double(kBitmapHeight - 1);
    std::size_t i = 0;
    while (i + 2 < stops.size() && t > stops[i + 1].at)
        ++i;
    const Stop& a = stops[i];
    const Stop& b = stops[i + 1];
    const double f = (t - a.at) / (b.at - a.at);
    auto mix = [f](int x, int y2) { return int(std::lround(x + (y2 - x) * std::clamp(f, 0.0, 1.0))); };
    QColor c(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b));
    if (look == Look::Hover)
        c = QColor(int(c.red() * 0.95), int(c.green() * 0.95), int(c.blue() * 0.95));
    return c;
}

QColor OutlineColour(Look look)
{
    switch (look) {
    case Look::Changed: return QColor(70, 120, 190);
    case Look::Disabled: return QColor(190, 190, 190);
    case Look::Hover: return QColor(120, 120, 120);
    case Look::Normal: break;
    }
    return QColor(140, 140, 140);
}

QFont CaptionFont()
{
    QFont font;
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans"});
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// One segment of a bar: face, outline at the top and bottom, rounded or square
// ends, a divider line at a square right end, and the caption in the middle.
void PaintSegment(QPainter& p, const QRect& r, Look look, Ends ends, const QString& caption, bool divider)
{
    const bool roundLeft = ends == Ends::RoundLeft || ends == Ends::RoundBoth;
    const bool roundRight = ends == Ends::RoundRight || ends == Ends::RoundBoth;
    const double radius = 7.0;

    // A rounded rectangle that runs past the square ends; clipped to the
    // segment, its vertical edges there fall outside and only the top and
    // bottom lines remain, so neighbouring segments join into one bar.
    const double extL = roundLeft ? 0 : radius + 2, extR = roundRight ? 0 : radius + 2;
    const QRectF outline(r.left() + 0.5 - extL, r.top() + 0.5, r.width() - 1.0 + extL + extR, r.height() - 1.0);
    QPainterPath shape;
    shape.addRoundedRect(outline, radius, radius);

    QLinearGradient face(0, r.top(), 0, r.bottom() + 1);
    for (int y = 0; y < r.height(); ++y)
        face.setColorAt((y + 0.5) / r.height(), FaceColour(look, y));

    p.save();
    p.setClipRect(r);
    p.setPen(QPen(OutlineColour(look), 1.0));
    p.setBrush(face);
    p.drawPath(shape);
    if (divider) {
        p.setPen(QPen(OutlineColour(look).lighter(118), 1.0));
        p.drawLine(QPointF(r.right() + 0.5, r.top() + 1.0), QPointF(r.right() + 0.5, r.bottom()));
    }
    p.restore();

    p.setPen(look == Look::Disabled ? QColor(150, 150, 150) : QColor(0, 0, 0));
    p.setFont(CaptionFont());
    p.drawText(QRect(r.left(), r.top(), r.width() - (divider ? 1 : 0), r.height()), Qt::AlignCenter, caption);
}

struct BoxArt {
    int normal, hover, changed;
    int width;
    const char* caption;
    Ends ends;
    bool divider;
};

constexpr std::array<BoxArt, 10> kBoxes{{
    {183, 197, 198, 41, "Prefix", Ends::RoundBoth, false},
    {188, 199, 200, 41, "Suffix", Ends::RoundBoth, false},
    {189, 205, 206, 41, "Prefix", Ends::RoundLeft, true},
    {190, 209, 210, 32, "Start", Ends::Square, true},
    {191, 201, 202, 91, "Data", Ends::Square, true},
    {192, 215, 216, 60, "Terminator", Ends::Square, true},
    {193, 207, 208, 60, "Separator", Ends::Square, true},
    {194, 211, 212, 31, "Stop", Ends::Square, true},
    {195, 203, 204, 33, "LRC", Ends::Square, true},
    {196, 213, 214, 39, "Suffix", Ends::RoundRight, false},
}};

bool Save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The sizes a picture is painted at: once, and twice for high-density screens.
constexpr std::array<int, 2> kScales{1, 2};

QString FileName(const QString& name, int scale)
{
    return scale == 1 ? name + ".png" : QString("%1@%2x.png").arg(name).arg(scale);
}

// A picture of the given size in logical pixels, painted at scale: the
// painter draws in logical pixels.
QImage NewImage(int width, int height, int scale, QImage::Format format)
{
    QImage image(width * scale, height * scale, format);
    image.setDevicePixelRatio(scale);
    return image;
}

QImage NewBitmap(int width, int scale)
{
    QImage image = NewImage(width, kBitmapHeight, scale, QImage::Format_RGB888);
    image.fill(kViewBackground);
    return image;
}

bool MakeDiagramBitmaps(const QDir& dir, int scale)
{
    bool ok = true;
    for (const BoxArt& box : kBoxes) {
        const std::array<std::pair<int, Look>, 3> looks{
            {{box.normal, Look::Normal}, {box.hover, Look::Hover}, {box.changed, Look::Changed}}};
        for (const auto& [id, look] : looks) {
            QImage image = NewBitmap(box.width, scale);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            PaintSegment(p, QRect(0, 0, box.width, kBitmapHeight), look, box.ends, box.caption, box.divider);
            p.end();
            ok = Save(image, dir.filePath(FileName(QString::number(id), scale))) && ok;
        }
    }
    // 217: a whole switched-off track row, divided at the box borders.
    QImage row = NewBitmap(387, scale);
    QPainter p(&row);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    int x = 0;
    for (std::size_t i = 2; i < kBoxes.size(); ++i) {
        const BoxArt& box = kBoxes[i];
        PaintSegment(p, QRect(x, 0, box.width, kBitmapHeight), Look::Disabled, box.ends, box.caption, box.divider);
        x += box.width;
    }
    p.end();
    return Save(row, dir.filePath(FileName("217", scale))) && ok;
}

bool MakeDiagramBitmaps(const QDir& dir)
{
    bool ok = true;
    for (int scale : kScales)
        ok = MakeDiagramBitmaps(dir, scale) && ok;
    return ok;
}

// Toolbar pictures, 16 x 15, drawn on a transparent ground.
QImage NewToolImage(int scale)
{
    QImage image = NewImage(16, 15, scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void DrawPage(QPainter& p)
{
    QPolygonF page({{3.5, 0.5}, {10.5, 0.5}, {13.5, 3.5}, {13.5, 14.5}, {3.5, 14.5}});
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawPolygon(page);
    p.setBrush(QColor(220, 220, 220));
    p.drawPolygon(QPolygonF({{10.5, 0.5}, {10.5, 3.5}, {13.5, 3.5}}));
}

void DrawReader(QPainter& p, double y)
{
    // A swipe reader seen from the front: a dark body with a slot line.
    p.setPen(QColor(30, 30, 30));
    p.setBrush(QColor(80, 88, 100));
    p.drawRoundedRect(QRectF(0.5, y, 15.0, 6.0), 1.5, 1.5);
    p.setPen(QColor(200, 210, 220));
    p.drawLine(QPointF(2.5, y + 2.5), QPointF(13.5, y + 2.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawRect(QRectF(12.5, y + 4.0, 2.0, 1.0));
}

void DrawArrow(QPainter& p, double x, double top, double bottom, bool down, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double head = down ? bottom : top;
    const double tail = down ? top : bottom;
    const double neck = down ? head - 3.5 : head + 3.5;
    p.drawRect(QRectF(x - 1.0, std::min(tail, neck), 2.0, std::abs(neck - tail)));
    p.drawPolygon(QPolygonF({{x - 3.5, neck}, {x + 3.5, neck}, {x, head}}));
}

void DrawQuestion(QPainter& p, const QRectF& r, const QColor& colour)
{
    QFont font;
    font.setFamilies({"Liberation Serif", "DejaVu Serif"});
    font.setBold(true);
    font.setPixelSize(int(r.height()));
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, "?");
}

bool MakeToolbarImages(const QDir& dir)
{
    bool ok = true;
    auto paint = [&](const char* name, auto&& draw) {
        for (int scale : kScales) {
            QImage image = NewToolImage(scale);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            draw(p);
            p.end();
            ok = Save(image, dir.filePath(FileName(name, scale))) && ok;
        }
    };
    paint("new", [](QPainter& p) { DrawPage(p); });
    paint("open", [](QPainter& p) {
        p.setPen(QColor(120, 90, 20));
        p.setBrush(QColor(240, 200, 90));
        p.drawPolygon(QPolygonF({{0.5, 3.5}, {5.5, 3.5}, {7.0, 5.0}, {13.5, 5.0}, {13.5, 13.5}, {0.5, 13.5}}));
        p.setBrush(QColor(255, 225, 130));
        p.drawPolygon(QPolygonF({{2.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {0.5, 13.5}}));
    });
    paint("save", [](QPainter& p) {
        p.setPen(QColor(20, 30, 80));
        p.setBrush(QColor(50, 80, 160));
        p.drawRect(QRectF(1.5, 0.5, 13.0, 14.0));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 0.5, 9.0, 6.0));
        p.setBrush(QColor(190, 190, 200));
        p.drawRect(QRectF(4.5, 9.5, 7.0, 5.0));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 80, 160));
        p.drawRect(QRectF(9.0, 10.5, 1.5, 3.0));
    });
    paint("read", [](QPainter& p) {
        DrawReader(p, 0.5);
        DrawArrow(p, 8.0, 7.0, 14.5, true, QColor(0, 140, 40));
    });
    paint("write", [](QPainter& p) {
        DrawReader(p, 8.5);
        DrawArrow(p, 8.0, 0.0, 8.0, true, QColor(200, 60, 20));
    });
    paint("test", [](QPainter& p) {
        // A card with its magnetic stripe, half into the reader's slot.
        p.setPen(QColor(40, 60, 120));
        p.setBrush(QColor(120, 170, 230));
        p.drawRoundedRect(QRectF(2.5, 0.5, 11.0, 8.0), 1.0, 1.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 30));
        p.drawRect(QRectF(3.0, 2.0, 10.0, 2.0));
        DrawReader(p, 8.5);
    });
    paint("about", [](QPainter& p) {
        p.setPen(QColor(20, 60, 140));
        p.setBrush(QColor(230, 240, 255));
        p.drawEllipse(QRectF(1.5, 0.5, 13.0, 13.0));
        DrawQuestion(p, QRectF(1.5, 0.5, 13.0, 13.0), QColor(20, 60, 140));
    });
    paint("context_help", [](QPainter& p) {
        // The pointer with a question mark beside it.
        p.setPen(QColor(0, 0, 0));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{0.5, 0.5}, {0.5, 11.5}, {3.5, 8.5}, {5.5, 13.0}, {7.0, 12.3},
                                  {5.2, 8.0}, {9.0, 8.0}}));
        DrawQuestion(p, QRectF(8.0, 0.0, 8.0, 11.0), QColor(20, 60, 140));
    });
    return ok;
}

// The application icon: a card being swiped through a reader.
QImage PaintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The card, tilted, its upper half above the slot.
    p.save();
    p.translate(33, 24);
    p.rotate(-8);
    QLinearGradient card(0, -18, 0, 18);
    card.setColorAt(0, QColor(110, 170, 240));
    card.setColorAt(1, QColor(40, 90, 180));
    p.setPen(QPen(QColor(20, 50, 110), 1.5));
    p.setBrush(card);
    p.drawRoundedRect(QRectF(-24, -18, 48, 32), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(25, 25, 30));
    p.drawRect(QRectF(-24, -12, 48, 7));
    p.setBrush(QColor(240, 200, 90));
    p.drawRoundedRect(QRectF(-18, 0, 9, 7), 1.5, 1.5);
    p.restore();

    // The reader body with its slot.
    QLinearGradient body(0, 34, 0, 60);
    body.setColorAt(0, QColor(120, 128, 140));
    body.setColorAt(1, QColor(50, 56, 66));
    p.setPen(QPen(QColor(20, 22, 28), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 34, 58, 25), 6, 6);
    p.setPen(QPen(QColor(15, 15, 18), 3));
    p.drawLine(QPointF(8, 39), QPointF(56, 39));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 90));
    p.drawEllipse(QRectF(49, 49, 6, 6));
    p.setBrush(QColor(220, 225, 235));
    p.drawRoundedRect(QRectF(10, 48, 26, 5), 2, 2);
    p.end();
    return image;
}

// Appends a little-endian 16- or 32-bit number.
void PutLE(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A Windows icon file holding each image as PNG: a 6-byte header, a 16-byte
// entry per image (a size of 256 is written as 0), then the PNG data.
QByteArray IcoFile(const std::vector<std::pair<int, QByteArray>>& pngs)
{
    QByteArray out;
    PutLE(out, 0, 2);
    PutLE(out, 1, 2);
    PutLE(out, static_cast<quint32>(pngs.size()), 2);
    quint32 offset = 6 + 16 * static_cast<quint32>(pngs.size());
    for (const auto& [size, png] : pngs) {
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        PutLE(out, 0, 2);   // no palette, reserved
        PutLE(out, 1, 2);   // colour planes
        PutLE(out, 32, 2);  // bits per pixel
        PutLE(out, static_cast<quint32>(png.size()), 4);
        PutLE(out, offset, 4);
        offset += static_cast<quint32>(png.size());
    }
    for (const auto& entry : pngs)
        out.append(entry.second);
    return out;
}

bool MakeIcons(const QDir& dir)
{
    bool ok = true;
    std::vector<std::pair<int, QByteArray>> pngs;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon = PaintIcon(size);
        ok = Save(icon, dir.filePath(QString("tovask-%1.png").arg(size))) && ok;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon.save(&buffer, "PNG");
        pngs.emplace_back(size, png);
    }
    QFile ico(dir.filePath("tovask.ico"));
    if (!ico.open(QIODevice::WriteOnly) || ico.write(IcoFile(pngs)) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ico.fileName()));
        return false;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tovask-make-art RESOURCES-DIR\n");
        return 2;
    }
    QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char* sub : {"bitmaps", "toolbar", "icons"}) {
        if (!root.mkpath(sub)) {
            std::fprintf(stderr, "cannot create %s\n", sub);
            return 1;
        }
    }
    bool ok = MakeDiagramBitmaps(QDir(root.filePath("bitmaps")));
    ok = MakeToolbarImages(QDir(root.filePath("toolbar"))) && ok;
    ok = MakeIcons(QDir(root.filePath("icons"))) && ok;
    return ok ? 0 : 1;
}
