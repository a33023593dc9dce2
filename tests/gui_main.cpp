// GoogleTest entry point for the widget tests: one QApplication for them all,
// on an offscreen screen of 1280 x 800 pixels, a small laptop's.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

int main(int argc, char** argv)
{
    // In the working folder: the platform's arguments are split at every ':',
    // so the path must be relative (a Windows path has one after its drive).
    QTemporaryDir config(QDir::current().filePath("gui-screens-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        const QString path = QDir::current().relativeFilePath(config.filePath("screens.json"));
        std::ofstream(path.toStdString())
            << R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280, "height": 800,)"
               R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
