#include "view/form_metrics.h"

#include <QFontMetrics>
#include <QWidget>

namespace {
int Px(double units, double perUnit) { return static_cast<int>(units * perUnit + 0.5); }
}  // namespace

QRect DialogUnitRect(int x, int y, int w, int h)
{
    const int left = Px(x, 1.5), top = Px(y, 13.0 / 8.0);
    return QRect(left, top, Px(x + w, 1.5) - left, Px(y + h, 13.0 / 8.0) - top);
}

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
