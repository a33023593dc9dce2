// The editor's main window under test: settings kept to the test, message
// boxes recorded instead of shown, and the mouse driven by synthetic events.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_frame.h"
#include "device/transfer.h"
#include "model/message_sink.h"
#include "device/link_set.h"
#include "sim/simulated_reader.h"
#include "view/message_box_sink.h"
#include "view/tovask_view.h"

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        // Each test keeps its settings, the recent-file list among them, to
        // itself: INI files in a scratch folder (on Windows too, not the registry).
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        SetMessageSink(&sink);
    }
    void TearDown() override
    {
        frame.reset();
        links.reset();
        simulated.reset();
        SetMessageSink(nullptr);
    }

    enum class Links { None, Real, Simulated };

    // Opens the window for a link: USB with no links behind it, any other
    // link on the simulated reader.
    void Start(int portKind = portKindUSB) { Open(portKind, portKind == portKindUSB ? Links::None : Links::Simulated); }

    // Opens the window anew, with the links of the system, of a simulated
    // reader, or none.
    void Open(int portKind, Links kind)
    {
        frame.reset();
        links.reset();
        simulated.reset();
        if (kind == Links::Simulated)
            simulated = std::make_unique<SimReader>(portKind);
        if (kind != Links::None)
            links = std::make_unique<LinkSet>(portKind, simulated.get());
        frame = std::make_unique<CMainFrame>();
        frame->View().SetLinks(links.get());
        frame->StartView(portKind);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        view().grab();  // the first paint decodes the default image
    }

    CTovaskView& view() { return frame->View(); }
    // The title as the window shows it: its "[*]" as "*" while modified.
    QString ShownTitle() { return frame->windowTitle().replace("[*]", frame->isWindowModified() ? "*" : ""); }
    CTovaskDoc& doc() { return frame->Doc(); }
    void Move(int x, int y)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), view().mapToGlobal(QPointF(x, y)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&view(), &e);
    }
    void Click(int x, int y) { QTest::mouseClick(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y)); }

    QTemporaryDir settingsDir;
    RecordingMessageSink sink;
    std::unique_ptr<SimReader> simulated;
    std::unique_ptr<LinkSet> links;
    std::unique_ptr<CMainFrame> frame;
};
