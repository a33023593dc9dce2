// tovask-gallery DIR: writes the README's screenshots into DIR, drawn by the
// real windows on the simulated reader: the main window with USB, with COM3
// (serial row shown), with the field editor open and scrolled in a small
// window, the port selection dialog, the card test dialog after a swipe, and
// the Output Preview with a German host; and, with their title bars, a
// template with unsaved edits (its title marked, the Edit menu open) and the
// question before they would go; the diagram's focus box by keyboard. Then
// it runs itself again at a scale of 200 % for the high-density shots
// (NAME-200.png). The title bars need a window manager: run it on a display
// (QT_QPA_PLATFORM=xcb, under xvfb-run with openbox); elsewhere those two
// show the window's content only.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/keyboard_swipe_dialog.h"
#include "app/main_frame.h"
#include "app/set_port_dialog.h"
#include "device/com/com_port.h"
#include "device/link_set.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"
#include "sim/simulated_reader.h"
#include "view/message_box_sink.h"
#include "view/format_diagram_keys.h"
#include "view/output_preview.h"
#include "view/test_mr_dialog.h"
#include "view/tovask_view.h"

namespace {

bool Save(QWidget& w, const QDir& dir, const QString& name)
{
    QApplication::processEvents();
    const QString path = dir.filePath(name);
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "tovask-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// As the screen shows the windows, title bars included, where there is a
// window manager; widgets (the first one's content) elsewhere.
bool SaveWithFrames(const std::vector<QWidget*>& widgets, const QDir& dir, const QString& name)
{
    if (QGuiApplication::platformName() != "xcb")
        return Save(*widgets.front(), dir, name);
    // The window manager decorates and places the windows in its own time.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    QRect area;
    for (QWidget* w : widgets)
        area |= w->frameGeometry();
    const QString path = dir.filePath(name);
    if (!QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path)) {
        std::fprintf(stderr, "tovask-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The main window as it opens for a link, with the first paint done; the
// Output Preview is left out unless asked for.
std::unique_ptr<CMainFrame> OpenFrame(int portKind, LinkSet& links, bool preview = false)
{
    auto frame = std::make_unique<CMainFrame>();
    if (auto* dock = frame->findChild<QDockWidget*>("OutputPreviewDock"); dock && !preview)
        dock->hide();
    frame->View().SetLinks(&links);
    frame->StartView(portKind);
    frame->show();
    QApplication::processEvents();
    // On a display the first paint waits for the window to be exposed.
    for (int i = 0; i < 200 && frame->Doc().needsDecode; ++i) {
        QThread::msleep(10);
        QApplication::processEvents();
    }
    return frame;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The windows as a first start shows them: no place, layout or dock
    // remembered from the user's own runs.
    QTemporaryDir settingsDir;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    if (argc != 2) {
        std::fprintf(stderr, "usage: tovask-gallery DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "tovask-gallery: no folder %s\n", argv[1]);
        return 2;
    }
    bool ok = true;
    // The run at 200 %: the main window with the field editor open.
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
        SimReader simulated(portKindUSB);
        LinkSet links(portKindUSB, &simulated);
        auto frame = OpenFrame(portKindUSB, links);
        // The whole form, whatever the screen.
        frame->resize(frame->sizeHint());
        frame->View().OpenFieldEditor(1);
        frame->View().fieldEdit->setText("[CR][LF]");
        ok &= Save(*frame, dir, "main-editor-200.png");
        return ok ? 0 : 1;
    }
    {
        SimReader simulated(portKindUSB);
        LinkSet links(portKindUSB, &simulated);
        auto frame = OpenFrame(portKindUSB, links);
        // The focus box on track 1's suffix, reached by keyboard.
        QApplication::setActiveWindow(frame.get());
        frame->View().diagram->setFocus(Qt::TabFocusReason);
        frame->View().diagram->SetCurrentBox(8);
        ok &= Save(*frame, dir, "main-keyboard.png");
        frame->View().setFocus();
    }
    {
        SimReader simulated(portKindUSB);
        LinkSet links(portKindUSB, &simulated);
        auto frame = OpenFrame(portKindUSB, links);
        ok &= Save(*frame, dir, "main-usb.png");
        frame->View().OpenFieldEditor(1);
        frame->View().fieldEdit->setText("[CR][LF]");
        ok &= Save(*frame, dir, "main-editor.png");
        // A small window scrolls to the editor.
        frame->resize(400, 300);
        QApplication::processEvents();
        frame->FormArea()->ensureWidgetVisible(frame->View().textCancelButton);
        ok &= Save(*frame, dir, "main-scrolled.png");
    }
    {
        SimReader simulated(portKindUSB);
        LinkSet links(portKindUSB, &simulated);
        auto frame = OpenFrame(portKindUSB, links);
        frame->move(40, 40);
        frame->View().OpenFieldEditor(1);
        frame->View().fieldEdit->setText("[CR][LF]");
        frame->View().ApplyTextEdit();
        QMenu* edit = frame->menuBar()->actions().at(1)->menu();
        edit->popup(frame->mapToGlobal(frame->menuBar()->actionGeometry(frame->menuBar()->actions().at(1)).bottomLeft()));
        ok &= SaveWithFrames({frame.get(), edit}, dir, "main-modified.png");
        edit->hide();
        auto box = MakeSaveChangesBox("Save changes to " + frame->Doc().Title() + "?", frame.get());
        box->show();
        ok &= SaveWithFrames({box.get()}, dir, "save-changes.png");
    }
    {
        SimReader simulated(portKindUSB);
        LinkSet links(portKindUSB, &simulated);
        auto frame = OpenFrame(portKindUSB, links, true);
        TemplateRecord& r = frame->Doc().record;
        r.formatFields[16].text = "[CR]";  // T2Suffix
        r.formatFields[15] = {"Enable", 1};  // T2Lrc
        r.trackEnabled = {0, 1, 0};
        if (auto* preview = frame->findChild<OutputPreviewPanel*>()) {
            preview->SetLayout("de");
            preview->Refresh();
        }
        frame->View().UpdatePanelFromTemplate();
        ok &= Save(*frame, dir, "main-preview.png");
    }
    {
        SimReader simulated(4);
        LinkSet links(4, &simulated);  // COM3
        auto frame = OpenFrame(4, links);
        ok &= Save(*frame, dir, "main-com3.png");
    }
    {
        CSetPort choice;
        choice.selectedIndex = portKindPS2;
        choice.show();
        ok &= Save(choice, dir, "port-dialog.png");
    }
    {
        SimReaderMemory memory;
        SimSerialReader reader(memory);
        SetComDeviceOverride(3, reader.SlavePath());
        CComPort port;
        CTestMR dialog;
        if (reader.IsOpen() && port.OpenPort(3)) {
            dialog.SetLink(&port);
            // A template that ends each track with a carriage return; the
            // reader's clock runs past its paced output at once.
            TemplateRecord record;
            DecodeImage(DefaultImage(), record);
            record.formatFields[8].text = record.formatFields[16].text = "[CR]";
            ConfigImage image = DefaultImage();
            EncodeImage(record, image);
            memory.SetImage(image);
            long long now = 0;
            reader.SetClock([&now] { return now; });
            reader.SwipeSample();
            now = 1000000;
            reader.Pump();
            for (int i = 0; i < 50; ++i) {
                QApplication::processEvents();
                dialog.Poll();
            }
            port.ClosePort();
        }
        dialog.show();
        ok &= Save(dialog, dir, "card-test.png");
        ClearComDeviceOverrides();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess dense;
    dense.setProcessEnvironment(env);
    dense.setProcessChannelMode(QProcess::ForwardedChannels);
    dense.start(QCoreApplication::applicationFilePath(), {dir.absolutePath()});
    ok &= dense.waitForFinished(60000) && dense.exitStatus() == QProcess::NormalExit && dense.exitCode() == 0;
    {
        // A German host types the sample card as a keyboard reader sends it.
        TemplateRecord record;
        DecodeImage(DefaultImage(), record);
        CKeyboardSwipeDlg dialog(record, "de", false);
        std::string error;
        if (auto de = OpenHostLayout("de", error)) {
            const std::string typed = TypeBytes(*de, ReaderOutputFor(record, SampleSwipe()).bytes).text;
            for (QChar c : QString::fromStdString(typed)) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(dialog.SwipeBox(), &press);
            }
        }
        dialog.show();
        ok &= Save(dialog, dir, "keyboard-swipe.png");
    }
    return ok ? 0 : 1;
}
