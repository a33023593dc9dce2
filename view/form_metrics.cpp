#include "view/form_metrics.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QPainter>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyleOption>
#include <QWidget>

namespace {
int Px(double units, double perUnit) { return static_cast<int>(units * perUnit + 0.5); }
}  // namespace

QRect DialogUnitRect(int x, int y, int w, int h)
{
    const int left = Px(x, 1.5), top = Px(y, 13.0 / 8.0);
    return QRect(left, top, Px(x + w, 1.5) - left, Px(y + h, 13.0 / 8.0) - top);
}

// The font of the form's controls, so that the painted captions match the
// boxes they name, never fall back to a serif face, and fit the places the
// layout gives them, as the controls' own texts do.
QFont DiagramFont()
{
    static const QFont font = [] {
        QFont f = DialogFont();
        f.setWeight(QFont::Normal);
        return f;
    }();
    return font;
}

// A dialog unit is a quarter of the dialog font's average character width
// across and an eighth of its height down: 6 x 13 pixels at 1.5 and 13/8
// pixels per unit. The dialog font is the largest size of the 8-point
// dialog font's metric twin that stays within that cell, so every text of
// the layout fits where the layout puts it.
QFont DialogFont()
{
    static const QFont font = [] {
        static const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        QFont f;
        f.setFamilies({"Liberation Sans", "Arial", "Microsoft Sans Serif", "DejaVu Sans"});
        f.setStyleHint(QFont::SansSerif);
        for (int size = 13; size >= 8; --size) {
            f.setPixelSize(size);
            const QFontMetricsF fm(f);
            if (fm.horizontalAdvance(letters) / letters.size() <= 6.0 && fm.height() <= 13.0)
                break;
        }
        return f;
    }();
    return font;
}

namespace {

// The form's controls as the layout needs them: the drop-down arrow of a
// Windows list (16 pixels) instead of the wider one of the desktop style, so
// that the items fit the lists' narrow rectangles; and a ring on a bare check
// box or radio button that has the focus, which otherwise would show it only
// around a caption these boxes do not have.
class FormStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                         const QWidget* widget) const override
    {
        const QRect r = QProxyStyle::subControlRect(cc, opt, sc, widget);
        if (cc != CC_ComboBox)
            return r;
        const QRect all = opt->rect;
        if (sc == SC_ComboBoxArrow)
            return QRect(all.right() - kArrowWidth + 1, all.top(), kArrowWidth, all.height());
        if (sc == SC_ComboBoxEditField)
            return QRect(all.left() + 3, r.top(), all.width() - kArrowWidth - 4, r.height());
        return r;
    }

    void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, opt, p, widget);
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(opt);
        if (!button || !button->text.isEmpty() || !(opt->state & State_HasFocus))
            return;
        if (element != CE_CheckBox && element != CE_RadioButton)
            return;
        const bool radio = element == CE_RadioButton;
        const QRectF box = QRectF(subElementRect(radio ? SE_RadioButtonIndicator : SE_CheckBoxIndicator, opt, widget))
                               .adjusted(0.75, 0.75, -0.75, -0.75);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(QPen(opt->palette.color(QPalette::Highlight), 1.5));
        p->setBrush(Qt::NoBrush);
        if (radio)
            p->drawEllipse(box);
        else
            p->drawRoundedRect(box, 2, 2);
        p->restore();
    }

private:
    static constexpr int kArrowWidth = 16;
};

}  // namespace

void ApplyDialogLook(QWidget* form)
{
    static QStyle* const style = new FormStyle;
    form->setFont(DialogFont());
    for (QWidget* w : form->findChildren<QWidget*>())
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
            w->setStyle(style);
}

int TitleBarWidth(const QString& title)
{
    constexpr int iconAndButtons = 120;
    QFont bold = QApplication::font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(title) + iconAndButtons;
}

void ShowControls(std::initializer_list<QWidget*> widgets, bool shown)
{
    for (QWidget* w : widgets) {
        w->setEnabled(shown);
        w->setVisible(shown);
    }
}
