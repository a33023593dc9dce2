// The form view: the reader settings panel in the upper part, the format
// diagram with its hover text and the field editor in the lower part.
#pragma once

#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "device/transfer.h"
#include "model/tovask_doc.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPainter;
class QPixmap;
class QPushButton;
class QRadioButton;
class QToolButton;
class QUndoStack;
class CTestMR;
class CFormatDiagram;
class LinkSet;

class CTovaskView : public QWidget, public IDocView, public IProcedureHost {
    Q_OBJECT
public:
    static constexpr int noField = 99;

    explicit CTovaskView(CTovaskDoc& doc, QWidget* parent = nullptr);
    ~CTovaskView() override;

    // The link chosen at start; set before the first InitialUpdate, not owned.
    void SetLinks(LinkSet* links) { m_links = links; }
    CTestMR* TestDialog() { return m_testDialog.get(); }

    // Runs once, after the link was chosen: adapts the panel to portKind,
    // creates the field editor, then does the per-document update.
    void InitialUpdate(int portKind);
    // Every document (start, New, Open): hover state, editor captions, panel, redraw.
    void OnInitialUpdate();
    void ShrinkFrameToForm();

    // IDocView / IProcedureHost
    void HideFieldEditors() override;
    bool UpdateTemplateFromPanel() override;
    void UpdatePanelFromTemplate() override;
    void OnDocumentChanged() override;
    void SetBusyNotice(const std::string& text) override;
    void Redraw() override;

    // Commands of the Access and Test menus.
    void OnWriteIntoMR();
    void OnReadFromMR();
    void OnVerifyMR();
    void OnMRTest();

    // The edit history: every applied field edit, option change and Read
    // from MR is a step that Undo and Redo move over.
    QUndoStack* UndoStack() const { return m_undo; }
    // Puts a state of the template back (undo, redo): closes the field
    // editor, refreshes the panel, the hover text and the diagram.
    void RestoreState(const TemplateState& state);
    // Before Undo or Redo: an edit still open in the field editor is applied
    // (false when its text is refused), so that it becomes a step of its own.
    bool TakePendingEdit();

    void OpenFieldEditor(int k);
    void ApplyTextEdit();
    void CancelTextEdit();
    void ApplySwitchEdit();
    void CancelSwitchEdit();

    // A text of the label painting pass: where it is drawn, the width of its
    // font in percent, the check box or radio button it names, if any, and
    // the x where whatever follows it on the right begins.
    struct PaintedCaption {
        std::string text;
        QRect rect;
        int stretch = 100;
        QAbstractButton* box = nullptr;
        int limit = 0;
    };
    std::vector<PaintedCaption> PaintedCaptions() const;

    bool IsBoxActive(int k) const;
    // What's This text for a place on the view: the box there, or the view's own.
    QString WhatsThisAt(QPoint pos) const;
    // The bitmap for a device of that pixel ratio: above 1 the art drawn at
    // twice the size, shown pixel for pixel at 2 and scaled down below.
    static QPixmap DiagramBitmap(int id, qreal devicePixelRatio = 1);
    QSize sizeHint() const override;
    // Scrolls the window's form so that the field editor, its caption and
    // its buttons are in sight.
    void ScrollEditorIntoView();

signals:
    // The template or the panel was refreshed from it: at start, after New,
    // Open, Read from MR, every recorded edit, Undo and Redo.
    void TemplateChanged();

public:

    CTovaskDoc& Doc() { return m_doc; }
    int PortKind() const { return m_portKind; }
    bool ComPortReady() const { return m_comPortReady; }
    int SelectedField() const { return m_selectedField; }
    const std::string& HoverText() const { return m_hoverText; }
    // Where the hover text is drawn; empty without a text.
    QRect HoverTextRect() const;
    const std::string& EditorCaption() const { return m_editorCaption; }
    const std::string& EditorHint() const { return m_editorHint; }
    const std::string& SwitchCaption() const { return m_switchCaption; }
    int TrackPanelValue(int track) const { return m_trackEnabled[track - 1]; }

    // The six field editor controls.
    QLineEdit* fieldEdit = nullptr;          // 1073
    QPushButton* textOkButton = nullptr;     // 1074
    QPushButton* textCancelButton = nullptr; // 1076
    QCheckBox* switchCheck = nullptr;        // 1072
    QPushButton* switchOkButton = nullptr;   // 1077
    QPushButton* switchCancelButton = nullptr; // 1078

    // The diagram's keyboard stop and screen-reader face.
    CFormatDiagram* diagram = nullptr;

    // Panel controls, named by their form ids.
    std::array<QCheckBox*, 3> trackCheck{};  // 1003, 1017, 1031
    QLineEdit* portNameEdit = nullptr;       // 1043
    QLineEdit* delayEdit = nullptr;          // 1049
    QToolButton* spinUp = nullptr;           // 1050
    QToolButton* spinDown = nullptr;
    QLineEdit* stopBitsEdit = nullptr;       // 1059
    QComboBox* baudCombo = nullptr;          // 1055
    QComboBox* parityCombo = nullptr;        // 1056
    QComboBox* dataBitsCombo = nullptr;      // 1057
    QComboBox* flowCombo = nullptr;          // 1058
    QRadioButton* errorRadio[2]{};           // 1065, 1066
    QLabel* busyNotice = nullptr;            // 1075
    QCheckBox* longBeepCheck = nullptr;      // 1079
    QCheckBox* threeBeepsCheck = nullptr;    // 1080
    QCheckBox* oposCheck = nullptr;          // 1082

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreatePanelControls();
    bool ExchangeFromControls();
    void ExchangeToControls();
    void RefuseDelay(const char* message);
    void OnTrackClicked(int track);
    void OnBeepClicked();
    void OnOposClicked();
    void OnDelayTextChanged(const QString& text);
    void StepSpin(int delta);
    void CreateFieldEditorControls();
    void HideEditorControls(std::initializer_list<QWidget*> controls);
    bool EditorKey(QObject* watched, QKeyEvent* event);
    void PaintGroupFrames(QPainter& p);
    void PaintLabels(QPainter& p);
    void DrawFieldBoxes(QPainter& p);
    void DrawFieldBitmap(QPainter& p, int id, int k);
    void DrawDisabledRow(QPainter& p, int track);
    void DrawHoverText(QPainter& p);
    QSize HoverTextSize() const;
    void PlaceHoverText(int k, int px, int py);
    // Ends the hover: no box hovered, no hover text.
    void ClearHover();
    // Draws text with its top-left corner at (x, y) on an opaque background,
    // in the painter's font set to the given width in percent.
    void DrawText(QPainter& p, int x, int y, const std::string& text, const QColor& bg, int stretch = 100);
    // A click on a painted caption works its check box or radio button.
    bool ClickCaption(QPoint pos);
    TransferContext MakeContext();
    // Records what changed since before as a step named name; a step with
    // the same mergeId right after it joins it. Nothing changed, no step.
    void RecordStep(const QString& name, const TemplateState& before, int mergeId = -1);
    void OnErrorModeClicked(int mode);
    void OnListChosen(QComboBox* box, int& panelValue, int& templateValue, const char* name);
    // The hover text shows the value the hovered field holds now.
    void RefreshHoverText();

    CTovaskDoc& m_doc;
    LinkSet* m_links = nullptr;
    std::unique_ptr<CTestMR> m_testDialog;
    int m_firstInitialUpdate = 1;
    int m_portKind = portKindUSB;
    bool m_comPortReady = false;

    // Panel values.
    std::array<int, 3> m_trackEnabled{1, 1, 1};
    std::string m_portName = "COM1";
    std::uint8_t m_outputDelay = 4;
    std::string m_stopBitsText = "1 stop bit";
    int m_baudIndex = -1, m_parityIndex = -1, m_dataBitsIndex = -1, m_flowIndex = -1;
    int m_errorMode = 0;
    std::string m_busyText;
    int m_longBeep = 0, m_threeBeeps = 0, m_opos = 0;
    int m_spinPos = 4;
    bool m_settingControls = false;  // the controls follow the panel values: no edit of the user's
    int m_panelRefreshes = 0;        // how often the panel was refreshed from the template

    QUndoStack* m_undo = nullptr;

    // Diagram and editor state.
    std::string m_hoverText;
    int m_hoverTextX = 0, m_hoverTextY = 0;
    QPoint m_hoverPointer;  // where the pointer was when the hover text was placed
    int m_selectedField = noField;
    std::string m_editorCaption, m_editorHint, m_switchCaption;
    std::string m_originalText;
    int m_originalChecked = 0;
};
