// tovask: the template editor.
#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/reader_settings.h"
#include "app/set_port_dialog.h"
#include "device/link_set.h"
#include "sim/simulated_reader.h"
#include "view/message_box_sink.h"
#include "view/tovask_view.h"
#include "device/transfer.h"
#include "tovask_version.h"

int main(int argc, char** argv)
{
    // The arguments are read before the window system is: --help, --version and
    // a usage error answer without a display.
    EditorOptions options;
    {
        QCoreApplication core(argc, argv);
        const CommandLineOutcome parsed = ParseEditorCommandLine(QCoreApplication::arguments().mid(1), options);
        std::fputs(qPrintable(parsed.out), stdout);
        std::fputs(qPrintable(parsed.err), stderr);
        if (parsed.exitCode >= 0)
            return parsed.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Corvane ZT40 Utility");
    QApplication::setApplicationName("Tovask");
    QApplication::setApplicationVersion(TOVASK_VERSION);
    QApplication::setWindowIcon(QIcon(":/icons/tovask-48.png"));
    // Ties the windows to the installed desktop entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName("io.github.tovask.Tovask");
    const bool simulate = options.simulate;
    const SimFaultSwitch fault = options.fault;

    // The link is chosen once per run, before any other window; cancelling ends the program.
    CSetPort choice;
    choice.selectedIndex = portKindPS2;
    if (choice.exec() != QDialog::Accepted)
        return 0;
    const int portKind = choice.selectedIndex;
    ApplyPortSettings();
    std::unique_ptr<SimReader> simulated = simulate ? std::make_unique<SimReader>(portKind) : nullptr;
    LinkSet links(portKind, simulated.get());
    if (portKind == portKindUSB) {
        UsbIds ids;
        std::string error;
        if (!EditorUsbIds(ids, error)) {
            MessageSink().ShowMessage(error, IMessageSink::Icon::Error);
            return 1;
        }
        links.SetUsbIds(ids);
    }
    // A fault the link cannot have (cts-low on USB, say) is ignored.
    if (fault.fault != SimFault::None && !(simulated && simulated->SetFault(fault)))
        std::fprintf(stderr, "tovask: the fault '%s' does not apply to this link; the simulated reader behaves\n",
                     SimFaultName(fault).c_str());

    CMainFrame frame;
    frame.View().SetLinks(&links);
    frame.StartView(portKind);
    if (!options.file.isEmpty() && !frame.OpenFile(options.file))
        return 1;
    frame.show();
    return app.exec();
}
