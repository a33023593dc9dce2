// tovask: the template editor.
#include <QApplication>
#include <QStringList>

#include "app/main_frame.h"
#include "view/tovask_view.h"
#include "device/transfer.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Corvane ZT40 Utility");
    QApplication::setApplicationName("Tovask");
    QApplication::setWindowIcon(QIcon(":/icons/tovask-48.png"));

    QStringList files;
    for (const QString& arg : QApplication::arguments().mid(1))
        if (!arg.startsWith("--"))
            files << arg;

    CMainFrame frame;
    // The link is chosen here once the port selection exists; until then USB.
    frame.StartView(portKindUSB);
    if (!files.isEmpty() && !frame.OpenFile(files.first()))
        return 1;
    frame.show();
    // --screenshot=FILE renders the window with the card prefix's editor open and exits.
    for (const QString& arg : QApplication::arguments())
        if (arg.startsWith("--screenshot=")) {
            QApplication::processEvents();
            frame.View().OpenFieldEditor(0);
            QApplication::processEvents();
            return frame.grab().save(arg.mid(13)) ? 0 : 1;
        }
    return app.exec();
}
