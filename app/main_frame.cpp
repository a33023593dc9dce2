#include "app/main_frame.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QScreen>
#include <QComboBox>
#include <QDockWidget>
#include <QSessionManager>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <algorithm>

#include "app/keyboard_swipe_dialog.h"
#include "app/lock_keys.h"
#include "view/message_box_sink.h"
#include "view/output_preview.h"
#include "view/form_metrics.h"
#include "view/tovask_view.h"
#include "view/user_settings.h"
#include "tovask_version.h"

namespace {
const char* const kLockNames[3] = {"CAP", "NUM", "SCRL"};
const char* const geometryKey = "MainWindow/Geometry";
const char* const maximizedKey = "MainWindow/Maximized";
// A window manager's frame before the window has one: borders and title bar.
const QMargins assumedFrame(4, 30, 4, 4);

// R moved the least that puts it wholly inside ROOM where it fits (its top
// left corner inside where it does not), so that the title bar can be reached.
QRect KeptInside(QRect r, const QRect& room)
{
    r.moveLeft(std::clamp(r.left(), room.left(), std::max(room.left(), room.right() + 1 - r.width())));
    r.moveTop(std::clamp(r.top(), room.top(), std::max(room.top(), room.bottom() + 1 - r.height())));
    return r;
}

bool IsUndoKey(const QKeyEvent* key)
{
    const QKeySequence pressed(key->keyCombination());
    for (const char* s : {"Ctrl+Z", "Ctrl+Y", "Ctrl+Shift+Z"})
        if (pressed == QKeySequence(s))
            return true;
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo);
}
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About Tovask");
    setFixedSize(DialogUnitRect(0, 0, 192, 55).size());
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(":/icons/tovask-32.png"));
    icon->setGeometry(QRect(DialogUnitRect(11, 17, 21, 21).topLeft(), QSize(32, 32)));
    auto* text = new QLabel("Tovask Version " TOVASK_VERSION, this);
    text->setGeometry(DialogUnitRect(40, 10, 90, 10));
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DialogUnitRect(135, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ApplyDialogLook(this);
}

FormScrollArea::FormScrollArea(QWidget* form, QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    // No tab stop of its own: it scrolls to the control that has the focus.
    setFocusPolicy(Qt::NoFocus);
    setWidget(form);
}

QSize FormScrollArea::sizeHint() const
{
    return widget() ? widget()->size() : QScrollArea::sizeHint();
}

CMainFrame::CMainFrame() : m_doc(std::make_unique<CTovaskDoc>())
{
    setWindowIcon(QIcon(":/icons/tovask-48.png"));
    m_view = new CTovaskView(*m_doc);
    // The form keeps its size and scrolls when the window is smaller.
    setCentralWidget(new FormScrollArea(m_view, this));
    setMinimumSize(minimumWidth, minimumHeight);
    CreateActions();
    auto* idle = new QLabel("For Help, press F1");
    statusBar()->addWidget(idle, 1);
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(kLockNames[i]);
        pane->setMinimumWidth(std::max(36, pane->fontMetrics().horizontalAdvance("SCRL") + 12));
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(pane);
        m_lockPanes[i] = pane;
    }
    // The indicators follow the lock keys where the platform reports them.
    auto* lockTimer = new QTimer(this);
    connect(lockTimer, &QTimer::timeout, this, &CMainFrame::UpdateLockIndicators);
    lockTimer->start(250);
    UpdateLockIndicators();
    setAcceptDrops(true);
    LoadRecentFiles();
    UpdateTitle();
    m_askPath = [this](bool save, const QString& name) {
        const QString filter = "Tovask Files (*.mtl);;All Files (*)";
        return save ? QFileDialog::getSaveFileName(this, "Save As", name, filter)
                    : QFileDialog::getOpenFileName(this, "Open", name, filter);
    };
    // The end of the session asks as closing the window does.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!m_doc->IsModified() || !manager.allowsInteraction())
            return;
        const bool mayEnd = SaveModified();
        manager.release();
        if (!mayEnd)
            manager.cancel();
        m_discardedForSessionEnd = mayEnd && m_doc->IsModified();
    });
}

void CMainFrame::UpdateLockIndicators()
{
    const std::optional<LockKeyState> state = QueryLockKeys();
    if (!state)
        return;
    const bool on[3] = {state->capsLock, state->numLock, state->scrollLock};
    for (int i = 0; i < 3; ++i)
        m_lockPanes[i]->setText(on[i] ? kLockNames[i] : QString());
}

CMainFrame::~CMainFrame()
{
    // The view refers to the document: it goes first, before the members
    // (the document among them) and long before QWidget deletes the children.
    m_doc->SetView(nullptr);
    delete m_view;
    m_view = nullptr;
}

void CMainFrame::CreateActions()
{
    auto make = [this](const QString& text, const char* icon, const char* prompt, const char* tip) {
        auto* a = new QAction(text, this);
        if (icon) {
            // The 2x art for high-density screens: drawn as it is at 200 %, scaled down below.
            QIcon face;
            face.addFile(QString(":/toolbar/%1.png").arg(icon), QSize(16, 15));
            face.addFile(QString(":/toolbar/%1@2x.png").arg(icon), QSize(32, 30));
            a->setIcon(face);
        }
        a->setStatusTip(prompt);
        if (tip)
            a->setToolTip(tip);
        return a;
    };
    QAction* newA = make("&New", "new", "Create a new template", "New");
    QAction* openA = make("&Open...", "open", "Open an existing template", "Open");
    QAction* saveA = make("&Save", "save", "Save the active template", "Save");
    QAction* saveAsA = make("Save &As...", nullptr, "Save the active template with a new name", "Save As");
    QAction* exitA = make("E&xit", nullptr, "Quit the application; prompts to save documents", "Exit");
    QAction* writeA = make("&Write into MR", "write", "Write data into programmable magnetic card reader", "Write data");
    QAction* readA = make("&Read from MR", "read", "Read data from programmable magnetic card reader", "Read data");
    QAction* verifyA = make("&Verify MR", nullptr, "Compare the reader's data with this template", "Verify data");
    QAction* testA = make("&MR Test", "test", "Testing MR data", "Testing");
    QAction* swipeTestA = make("&Keyboard Swipe Test", nullptr,
                               "Swipe a card with a keyboard reader and compare what arrives", "Keyboard Swipe Test");
    QAction* helpTopicsA = make("&Help Topics", nullptr, "List Help topics", "Help Topics");
    QAction* aboutA = make("&About Tovask...", "about", "Display program information, version number and copyright", "About");
    QAction* contextHelpA = make("Help", "context_help", "Display help for clicked on buttons, menus and windows", "Help");
    QAction* helpA = make("Help", nullptr, "Display help for current task or command", "Help");
    newA->setShortcut(QKeySequence("Ctrl+N"));
    openA->setShortcut(QKeySequence("Ctrl+O"));
    saveA->setShortcut(QKeySequence("Ctrl+S"));
    contextHelpA->setShortcut(QKeySequence("Shift+F1"));
    helpA->setShortcut(QKeySequence("F1"));
    addAction(contextHelpA);
    addAction(helpA);

    connect(newA, &QAction::triggered, this, &CMainFrame::OnFileNew);
    connect(openA, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    connect(saveA, &QAction::triggered, this, &CMainFrame::OnFileSave);
    connect(saveAsA, &QAction::triggered, this, &CMainFrame::OnFileSaveAs);
    connect(exitA, &QAction::triggered, this, &QWidget::close);
    connect(writeA, &QAction::triggered, this, [this] { m_view->OnWriteIntoMR(); });
    connect(readA, &QAction::triggered, this, [this] { m_view->OnReadFromMR(); });
    connect(verifyA, &QAction::triggered, this, [this] { m_view->OnVerifyMR(); });
    connect(testA, &QAction::triggered, this, [this] { m_view->OnMRTest(); });
    connect(swipeTestA, &QAction::triggered, this, [this] {
        auto* panel = findChild<OutputPreviewPanel*>();
        const std::optional<LockKeyState> locks = QueryLockKeys();
        CKeyboardSwipeDlg dlg(panel ? panel->CurrentTemplate() : m_view->Doc().record,
                              panel ? panel->LayoutName() : QString::fromStdString(SystemLayoutName()),
                              locks && locks->capsLock, this);
        dlg.exec();
    });
    connect(helpTopicsA, &QAction::triggered, this, &CMainFrame::ShowHelp);
    connect(helpA, &QAction::triggered, this, &CMainFrame::ShowHelp);
    connect(aboutA, &QAction::triggered, this, [this] {
        CAboutDlg dlg(this);
        dlg.exec();
    });
    connect(contextHelpA, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });

    QMenu* file = menuBar()->addMenu("&File");
    file->addActions({newA, openA, saveA, saveAsA});
    file->addSeparator();
    for (int i = 0; i < recentFileCount; ++i) {
        auto* a = new QAction(this);
        a->setStatusTip("Open this document");
        connect(a, &QAction::triggered, this, [this, i] { OpenRecentFile(i); });
        m_recentActions.push_back(a);
        file->addAction(a);
    }
    file->addSeparator();
    file->addAction(exitA);
    CreateEditMenu();
    menuBar()->addMenu("&Access")->addActions({writeA, readA, verifyA});
    menuBar()->addMenu("&Test")->addActions({testA, swipeTestA});

    m_toolBar = new QToolBar("Toolbar", this);
    m_toolBar->setObjectName("toolbar");
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setFloatable(true);
    m_toolBar->setMovable(true);
    m_toolBar->addActions({newA, openA, saveA});
    m_toolBar->addSeparator();
    m_toolBar->addActions({readA, writeA});
    m_toolBar->addSeparator();
    m_toolBar->addAction(testA);
    m_toolBar->addSeparator();
    m_toolBar->addActions({aboutA, contextHelpA});
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* toolbarA = m_toolBar->toggleViewAction();
    toolbarA->setText("&Toolbar");
    toolbarA->setStatusTip("Show or hide the toolbar");
    toolbarA->setToolTip("Toggle ToolBar");
    view->addAction(toolbarA);
    QAction* statusA = make("&Status Bar", nullptr, "Show or hide the status bar", "Toggle StatusBar");
    statusA->setCheckable(true);
    statusA->setChecked(true);
    connect(statusA, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    view->addAction(statusA);
    const std::optional<LockKeyState> locks = QueryLockKeys();
    QDockWidget* preview = CreateOutputPreviewDock(*m_view, this, locks && locks->capsLock);
    addDockWidget(Qt::BottomDockWidgetArea, preview);
    view->addAction(preview->toggleViewAction());

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(helpTopicsA);
    help->addSeparator();
    help->addAction(aboutA);
}

void CMainFrame::OpenRecentFile(int i)
{
    if (i >= m_recent.size())
        return;
    // Taken before asking: saving under a new name puts that name first.
    const QString path = m_recent[i];
    if (!SaveModified())
        return;
    // An entry that can no longer be opened leaves the list.
    if (!OpenFile(path)) {
        m_recent.removeAll(path);
        StoreRecentFiles();
        UpdateRecentMenu();
    }
}

// Undo and Redo name the step they move over; the title's mark follows
// whether the template is at its saved state.
void CMainFrame::CreateEditMenu()
{
    QUndoStack* history = m_view->UndoStack();
    QAction* undoA = history->createUndoAction(this, "&Undo");
    undoA->setShortcut(QKeySequence("Ctrl+Z"));
    undoA->setStatusTip("Undo the last edit");
    QAction* redoA = history->createRedoAction(this, "&Redo");
    redoA->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
    redoA->setStatusTip("Redo the edit last undone");
    // An edit still open in the field editor becomes a step first.
    for (QAction* a : {undoA, redoA})
        disconnect(a, &QAction::triggered, history, nullptr);
    connect(undoA, &QAction::triggered, this, [this, history] {
        if (m_view->TakePendingEdit())
            history->undo();
    });
    connect(redoA, &QAction::triggered, this, [this, history] {
        if (m_view->TakePendingEdit())
            history->redo();
    });
    // The keys reach the history from every control of the window, the
    // text boxes too, which would otherwise keep them for their own undo.
    qApp->installEventFilter(this);
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addActions({undoA, redoA});
    connect(history, &QUndoStack::cleanChanged, this, [this](bool clean) {
        m_doc->SetModifiedFlag(!clean);
        setWindowModified(!clean);
    });
    connect(history, &QUndoStack::indexChanged, this, [this] { m_discardedForSessionEnd = false; });
}

void CMainFrame::StartView(int portKind)
{
    m_view->InitialUpdate(portKind);
    // The preview follows the form (and the field editor) in the tab order.
    if (auto* preview = findChild<OutputPreviewPanel*>())
        QWidget::setTabOrder(m_view->switchCancelButton, preview->LayoutChooser());
    m_growOnShow = !RestoreSavedGeometry();
    if (m_growOnShow)
        FitToForm();
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_growOnShow) {
        m_growOnShow = false;
        GrowToShowAll();
    }
}

void CMainFrame::GrowToShowAll()
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect room = ClientRoom(s->availableGeometry());
    auto* panel = findChild<OutputPreviewPanel*>();
    auto* dock = findChild<QDockWidget*>("OutputPreviewDock");
    auto* panelArea = panel ? qobject_cast<QScrollArea*>(dock->widget()) : nullptr;
    for (int i = 0; i < 3; ++i) {
        // The form's area without its scroll bars, which go once it is large enough.
        QSize lack = (m_view->size() - FormArea()->size()).expandedTo(QSize(0, 0));
        int dockHeight = dock ? dock->height() : 0;
        if (panelArea && dock->isVisible() && !dock->isFloating()) {
            const int need = panel->layout()->totalHeightForWidth(panelArea->width());
            const int dockLack = std::max(0, need - panelArea->viewport()->height());
            dockHeight += dockLack;
            lack.rheight() += dockLack;
        }
        const QSize wanted = (size() + lack).boundedTo(room.size());
        if (wanted == size())
            break;
        resize(wanted);
        if (dock && dock->isVisible())
            resizeDocks({dock}, {dockHeight}, Qt::Vertical);
        layout()->activate();
        QApplication::sendPostedEvents();
    }
    // Still on the screen after growing.
    move(KeptInside(geometry(), room).topLeft());
}

QRect CMainFrame::ClientRoom(const QRect& available) const
{
    QMargins frame = assumedFrame;
    if (isVisible() && frameGeometry() != geometry())
        frame = QMargins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    return available.marginsRemoved(frame);
}

// As large as the form, the preview and the bars need, never larger than
// the screen's free area.
void CMainFrame::FitToForm()
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize room = s ? ClientRoom(s->availableGeometry()).size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(sizeHint().expandedTo(minimumSize()).boundedTo(room));
    // The bars and the dock may take more than their hints say: what the
    // form's area lacks is added.
    for (int i = 0; i < 3; ++i) {
        layout()->activate();
        const QSize lack = (m_view->size() - FormArea()->size()).expandedTo(QSize(0, 0));
        if (lack.isNull())
            break;
        const QSize wanted = (size() + lack).boundedTo(room);
        if (wanted == size())
            break;
        resize(wanted);
    }
    if (s) {
        QRect r = geometry();
        r.moveCenter(ClientRoom(s->availableGeometry()).center());
        move(r.topLeft());
    }
}

// The place and size of the last close, on the screen that shows most of
// it; a place no screen shows any more is given up for the middle of the
// main screen, and a size larger than the screen is cut to it.
bool CMainFrame::RestoreSavedGeometry()
{
    UserSettings settings;
    QRect saved = settings.value(geometryKey).toRect();
    if (!saved.isValid())
        return false;
    const QScreen* best = nullptr;
    long long bestArea = 0;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry() & saved;
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    const QScreen* on = best ? best : QGuiApplication::primaryScreen();
    if (!on)
        return false;
    const QRect room = ClientRoom(on->availableGeometry());
    saved.setSize(saved.size().boundedTo(room.size()).expandedTo(minimumSize()));
    if (!best)
        saved.moveCenter(room.center());
    setGeometry(KeptInside(saved, room));
    if (settings.value(maximizedKey, false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

void CMainFrame::StoreGeometry()
{
    UserSettings settings;
    settings.setValue(geometryKey, normalGeometry().isValid() ? normalGeometry() : geometry());
    settings.setValue(maximizedKey, isMaximized());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // A text box asks first whether it may keep Ctrl+Z and the like for its
    // own undo; in this window the keys belong to the template's history.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && IsUndoKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateTitle()
{
    // "[*]" is the place of the modified mark; a name's own "[*]" is doubled to show as such.
    setWindowTitle(QString::fromStdString(m_doc->Title()).replace("[*]", "[*][*]") + "[*] - Tovask");
    setWindowModified(m_doc->IsModified());
}

bool CMainFrame::SaveModified()
{
    if (!m_doc->IsModified() || m_discardedForSessionEnd)
        return true;
    switch (MessageSink().AskSaveChanges("Save changes to " + m_doc->Title() + "?")) {
    case IMessageSink::SaveChoice::Save:
        return OnFileSave();
    case IMessageSink::SaveChoice::Discard:
        return true;
    case IMessageSink::SaveChoice::Cancel:
        break;
    }
    return false;
}

void CMainFrame::OnFileNew()
{
    if (SaveModified())
        NewTemplate();
}

// A new template, with a fresh edit history.
void CMainFrame::NewTemplate()
{
    m_doc->OnNewDocument();
    m_view->UndoStack()->clear();
    UpdateTitle();
    m_view->OnInitialUpdate();
}

bool CMainFrame::OpenFile(const QString& path)
{
    const CTovaskDoc::FileStatus status = m_doc->OpenDocument(path.toStdString());
    switch (status.result) {
    case CTovaskDoc::OpenResult::Ok:
    case CTovaskDoc::OpenResult::Empty:
        m_view->UndoStack()->clear();
        AddRecentFile(QFileInfo(path).absoluteFilePath());
        UpdateTitle();
        m_view->OnInitialUpdate();
        return true;
    case CTovaskDoc::OpenResult::TooShort:
        MessageSink().ShowMessage(CTovaskDoc::unexpectedFileFormat);
        NewTemplate();
        return false;
    case CTovaskDoc::OpenResult::CannotOpen:
        MessageSink().ShowMessage("Cannot open " + path.toStdString() +
                                  (status.error.empty() ? std::string(".") : ":\n" + status.error));
        return false;
    }
    return false;
}

bool CMainFrame::SaveFile(const QString& path)
{
    const CTovaskDoc::SaveStatus status = m_doc->SaveDocument(path.toStdString());
    if (status.result == CTovaskDoc::SaveResult::Abandoned)
        return false;
    if (status.result == CTovaskDoc::SaveResult::Failed) {
        MessageSink().ShowMessage("Cannot save " + path.toStdString() +
                                  (status.error.empty() ? std::string(".") : ":\n" + status.error));
        return false;
    }
    m_view->UndoStack()->setClean();
    AddRecentFile(QFileInfo(path).absoluteFilePath());
    UpdateTitle();
    return true;
}

void CMainFrame::OnFileOpen()
{
    if (!SaveModified())
        return;
    const QString path = m_askPath(false, QString());
    if (!path.isEmpty())
        OpenFile(path);
}

bool CMainFrame::OnFileSave()
{
    if (m_doc->PathName().empty())
        return OnFileSaveAs();
    return SaveFile(QString::fromStdString(m_doc->PathName()));
}

bool CMainFrame::OnFileSaveAs()
{
    QString path = m_askPath(true, QString::fromStdString(m_doc->Title()));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".mtl";
    return SaveFile(path);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (SaveModified()) {
        StoreGeometry();
        event->accept();
    } else {
        event->ignore();
    }
}

// At most 30 characters, shortened as desktop programs do: the root with the
// first folder and the file name kept, as many of the last folders as fit
// between them, the others replaced by "...". A file name too long for that
// is shown whole.
QString CMainFrame::ShortenedPath(const QString& path)
{
    constexpr int maxLength = 30;
    if (path.size() <= maxLength)
        return path;
    QStringList folders = QDir::fromNativeSeparators(path).split('/');
    const QString name = folders.takeLast();
    // "/home" of "/home/...", "C:/Users" of "C:/Users/...", "docs" of "docs/...".
    const int headParts = folders.size() > 1 && (folders[0].isEmpty() || folders[0].endsWith(':')) ? 2 : 1;
    const QString head = QStringList(folders.mid(0, headParts)).join('/');
    folders = folders.mid(headParts);
    for (qsizetype kept = folders.size() - 1; kept >= 0; --kept) {
        QString tail;
        for (const QString& f : folders.mid(folders.size() - kept))
            tail += f + '/';
        const QString shortened = head + "/.../" + tail + name;
        if (shortened.size() <= maxLength)
            return shortened;
    }
    const QString bare = ".../" + name;
    return bare.size() <= maxLength ? bare : name;
}

void CMainFrame::LoadRecentFiles()
{
    UserSettings settings;
    settings.beginGroup("Recent File List");
    m_recent.clear();
    for (int i = 1; i <= recentFileCount; ++i) {
        const QString p = settings.value(QString("File%1").arg(i)).toString();
        if (!p.isEmpty())
            m_recent.push_back(p);
    }
    UpdateRecentMenu();
}

void CMainFrame::StoreRecentFiles()
{
    UserSettings settings;
    settings.beginGroup("Recent File List");
    for (int i = 1; i <= recentFileCount; ++i) {
        if (i <= m_recent.size())
            settings.setValue(QString("File%1").arg(i), m_recent[i - 1]);
        else
            settings.remove(QString("File%1").arg(i));
    }
}

void CMainFrame::AddRecentFile(const QString& path)
{
    m_recent.removeAll(path);
    m_recent.push_front(path);
    while (m_recent.size() > recentFileCount)
        m_recent.pop_back();
    StoreRecentFiles();
    UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu()
{
    for (int i = 0; i < recentFileCount; ++i) {
        QAction* a = m_recentActions[i];
        if (i < m_recent.size()) {
            a->setText(QString("&%1 %2").arg(i + 1).arg(ShortenedPath(m_recent[i]).replace("&", "&&")));
            a->setVisible(true);
            a->setEnabled(true);
        } else if (i == 0) {
            a->setText("Recent File");
            a->setVisible(true);
            a->setEnabled(false);
        } else {
            a->setVisible(false);
        }
    }
}

void CMainFrame::ShowHelp()
{
    auto* dlg = new QDialog(this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle("Tovask Help");
    auto* layout = new QVBoxLayout(dlg);
    auto* browser = new QTextBrowser(dlg);
    browser->setSource(QUrl("qrc:/help/index.html"));
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlg);
    connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::close);
    layout->addWidget(buttons);
    // Wide enough for the guide's widest line, table or example, as far as
    // the screen allows, so that only the vertical scroll bar is needed: the
    // guide laid out as narrow as it goes (text wraps, examples do not) is
    // that wide. Until the dialog is shown the document has no width to
    // measure at.
    browser->document()->setTextWidth(1);
    const int textWidth = static_cast<int>(std::ceil(browser->document()->idealWidth()));
    const QMargins m = layout->contentsMargins();
    int width = textWidth + 2 * browser->frameWidth() + browser->verticalScrollBar()->sizeHint().width() + m.left() +
                m.right() + 4;
    int height = 560;
    if (QScreen* s = screen()) {
        width = std::min(width, s->availableSize().width());
        height = std::min(height, s->availableSize().height());
    }
    dlg->resize(std::max(width, 560), height);
    dlg->show();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        event->acceptProposedAction();
        // Asked once the drop is over: the dragging program waits for it.
        const QString path = urls.first().toLocalFile();
        QTimer::singleShot(0, this, [this, path] {
            if (SaveModified())
                OpenFile(path);
        });
    }
}
