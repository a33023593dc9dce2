// The main window: menus, toolbar, status bar and the form view over the
// one document; the File commands and the recent-file list.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QScrollArea>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

#include "model/tovask_doc.h"

class QAction;
class QLabel;
class QToolBar;
class CTovaskView;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Holds the form at its own size, with scroll bars when the window is
// smaller; asks for the whole form when the window is fitted to it.
class FormScrollArea : public QScrollArea {
    Q_OBJECT
public:
    FormScrollArea(QWidget* form, QWidget* parent);
    QSize sizeHint() const override;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int recentFileCount = 4;
    // Room for the menu bar and a part of the form; the rest scrolls.
    static constexpr int minimumWidth = 320, minimumHeight = 240;

    CMainFrame();
    ~CMainFrame() override;

    CTovaskDoc& Doc() { return *m_doc; }
    CTovaskView& View() { return *m_view; }
    QScrollArea* FormArea() { return static_cast<QScrollArea*>(centralWidget()); }
    QToolBar* ToolBar() { return m_toolBar; }

    // The view's first initial update with the chosen link; then the window
    // takes the place and size it had when it was last closed, kept on a
    // screen that exists, or else the size that shows the whole form and
    // the preview, as far as the screen allows.
    void StartView(int portKind);

    // File commands; the dialogs ask for a name only when none is given.
    // New, Open and the recent files first ask whether to save unsaved edits.
    void OnFileNew();
    bool OpenFile(const QString& path);
    bool SaveFile(const QString& path);
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    // With unsaved edits, asks "Save changes to NAME?": true when they may
    // go (saved or discarded), false when they stay (cancelled, or the save
    // failed or was cancelled).
    bool SaveModified();

    // Asks for a file name to open (save false) or to save as (save true),
    // suggesting name; empty when cancelled. The file dialogs unless replaced.
    using PathAsker = std::function<QString(bool save, const QString& name)>;
    void SetPathAsker(PathAsker asker) { m_askPath = std::move(asker); }

    QStringList RecentFiles() const { return m_recent; }
    QList<QAction*> RecentActions() const { return m_recentActions; }
    static QString ShortenedPath(const QString& path);
    void UpdateTitle();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void UpdateLockIndicators();
    void CreateActions();
    void CreateEditMenu();
    void NewTemplate();
    void OpenRecentFile(int i);
    void AddRecentFile(const QString& path);
    void LoadRecentFiles();
    void StoreRecentFiles();
    void UpdateRecentMenu();
    void ShowHelp();
    // Room on the screen for the window's client area, its frame left out.
    QRect ClientRoom(const QRect& available) const;
    void FitToForm();
    // Once shown, where the bars and the dock have their real sizes: adds
    // what the form and the preview still lack.
    void GrowToShowAll();
    bool RestoreSavedGeometry();
    void StoreGeometry();

    std::unique_ptr<CTovaskDoc> m_doc;
    CTovaskView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QStringList m_recent;
    std::array<QLabel*, 3> m_lockPanes{};
    QList<QAction*> m_recentActions;
    PathAsker m_askPath;
    // The session's end was answered with Discard; nothing was edited since.
    bool m_discardedForSessionEnd = false;
    bool m_growOnShow = false;
};
