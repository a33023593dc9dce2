// The port choice at start, the link set-up of the first initial update, and MR Test.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/set_port_dialog.h"
#include "device/com/com_port.h"
#include "device/link_set.h"
#include "sim/simulated_reader.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"
#include "view/message_box_sink.h"
#include "view/test_mr_dialog.h"
#include "view/tovask_view.h"
#include "tests/gui_fixture.h"

namespace {

TEST(SetPortDialog, OffersTheTenLinksWithPs2Preselected)
{
    CSetPort dlg;
    EXPECT_EQ(dlg.windowTitle(), "Select Communication Port");
    ASSERT_EQ(dlg.PortList()->count(), 10);
    EXPECT_EQ(dlg.PortList()->itemText(0), "USB");
    EXPECT_EQ(dlg.PortList()->itemText(9), "COM8");
    dlg.selectedIndex = 1;
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_EQ(dlg.PortList()->currentText(), "PS2");
        dlg.accept();  // OK without touching the list
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.selectedIndex, 1);

    QTimer::singleShot(0, &dlg, [&] {
        dlg.PortList()->setCurrentIndex(9);
        dlg.accept();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.selectedIndex, 9);  // COM8, serial port number 8

    dlg.selectedIndex = 1;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.PortList()->setCurrentIndex(4);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_EQ(dlg.selectedIndex, 1);  // not read back on Cancel
}

class StartupTest : public FrameFixture {
protected:
    void TearDown() override
    {
        FrameFixture::TearDown();
        qunsetenv("TOVASK_COM2");
    }
    void Start(int portKind, bool simulate) { Open(portKind, simulate ? Links::Simulated : Links::Real); }
};

TEST_F(StartupTest, SimulatedComPortIsReadyAndCarriesWriteAndRead)
{
    Start(4, true);  // COM3
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_TRUE(view().ComPortReady());
    EXPECT_EQ(view().portNameEdit->text(), "COM3");
    EXPECT_TRUE(view().baudCombo->isVisible());
    EXPECT_EQ(view().baudCombo->currentText(), "9600 Hz");

    view().baudCombo->setCurrentIndex(3);
    view().OnWriteIntoMR();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "programmable MR writing OK, Check MR data please !");
    EXPECT_EQ(simulated->Memory().Image(), frame->Doc().image);
    EXPECT_EQ(simulated->Memory().Image()[0x3E] & 0x07, 7);  // 19200 reached the reader

    ConfigImage stored = simulated->Memory().Image();
    stored[0x00] = 'Z';
    simulated->Memory().SetImage(stored);
    view().OnReadFromMR();
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[1], "programmable MR reading OK!");
    EXPECT_EQ(frame->Doc().record.formatFields[1].text, "Z");
    EXPECT_EQ(view().baudCombo->currentIndex(), 3);
}

TEST_F(StartupTest, ComPortThatCannotOpenIsReportedOnceThenRefused)
{
    qputenv("TOVASK_COM2", "/dev/tovask-no-such-port");
    Start(3, false);  // COM2
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "Can't open this COM port!!");
    EXPECT_FALSE(view().ComPortReady());
    view().OnMRTest();
    view().OnWriteIntoMR();
    view().OnReadFromMR();
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Can't open this COM port!!", "No COMx port opened!",
                                                       "No COMx port opened!", "No COMx port opened!"}));
}

TEST_F(StartupTest, UsbHidesTheSerialRowAndMrTestDoesNothing)
{
    Start(0, true);
    EXPECT_EQ(view().portNameEdit->text(), "USB");
    EXPECT_FALSE(view().baudCombo->isVisible());
    EXPECT_FALSE(view().flowCombo->isVisible());
    EXPECT_EQ(view().TestDialog(), nullptr);
    view().OnMRTest();
    EXPECT_TRUE(sink.messages.empty());
    view().OnWriteIntoMR();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "programmable MR writing OK, Check MR data please !");
}

TEST(CardTestDialog, ShowsEveryByteAndClears)
{
    // The serial code's own line under the dialog is the device tests' concern:
    // here the reader is in-process, on every platform.
    SimReaderMemory memory;
    SimSerialReader sim(memory, SimSerialReader::Line::InProcess);
    CComPort port(sim.InProcessBackend());
    ASSERT_TRUE(port.OpenPort(1));

    CTestMR dlg;
    EXPECT_EQ(dlg.windowTitle(), "Input MR data");
    dlg.SetLink(&port);
    dlg.ResetText();
    sim.Swipe({'A', 'B', 0x00, 0x0D, 0x7F, 0xF5});
    dlg.Poll();
    EXPECT_EQ(dlg.Display()->toPlainText(), "AB<D><7F><F5>");
    dlg.OnClear();
    EXPECT_EQ(dlg.Display()->toPlainText(), "");
    sim.Swipe({'9', '\r'});
    dlg.Poll();
    EXPECT_EQ(dlg.Display()->toPlainText(), "9<D>");
    dlg.Poll();  // nothing more has arrived
    EXPECT_EQ(dlg.Display()->toPlainText(), "9<D>");

    // Quit stops the timer; a second run starts empty.
    dlg.show();
    EXPECT_TRUE(dlg.Timer()->isActive());
    EXPECT_EQ(dlg.Timer()->interval(), 10);
    dlg.QuitButton()->click();
    EXPECT_FALSE(dlg.Timer()->isActive());
    dlg.ResetText();
    EXPECT_EQ(dlg.Display()->toPlainText(), "");
    port.ClosePort();
}

}  // namespace
