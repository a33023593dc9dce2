// The format diagram as a keyboard stop: a see-through widget over the 26
// boxes that the view draws. With the focus, the arrow keys move a focus box
// over the active boxes and Enter, Space or F2 opens the field editor; screen
// readers see one child per box (format_diagram_access.cpp).
#pragma once

#include <QWidget>

#include <string>

class CTovaskView;

class CFormatDiagram : public QWidget {
    Q_OBJECT
public:
    explicit CFormatDiagram(CTovaskView& view);

    CTovaskView& View() const { return m_view; }
    // The box the focus box is on, always an active one while there is one.
    int CurrentBox() const;
    // Puts the focus box on box k; announced to screen readers while the
    // diagram has the focus.
    void SetCurrentBox(int k);
    // Box k's rectangle as the view draws it, in the diagram's coordinates.
    QRect BoxRect(int k) const;
    // The box the key moves to from box k; k itself where it cannot move.
    int BoxAfterKey(int k, int key) const;

    // What a screen reader says of box k: the caption ("Track1 prefix") and
    // the value in the field notation ("[CR]", "on", "off").
    std::string BoxName(int k) const;
    std::string BoxValue(int k) const;
    // Opens box k's editor, as a click on it does; false for a data box or
    // a box of a switched-off track.
    bool PressBox(int k);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Announce();

    CTovaskView& m_view;
    int m_current = 0;
};

// A field's name from its caption: the part before the limit or the hint
// ("Track1 prefix", "Track1 seperator").
std::string FieldCaptionName(const std::string& caption);

// Makes screen readers see the diagram's boxes; once per program, before
// the first window is shown.
void InstallFormatDiagramAccessibility();
