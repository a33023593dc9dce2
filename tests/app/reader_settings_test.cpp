// The editor's reader settings and the wait cursor around transfers.
#include <QApplication>

#include "app/reader_settings.h"
#include "tests/gui_fixture.h"
#include "tests/test_env.h"
#include "view/user_settings.h"

namespace {

class ReaderSettingsTest : public FrameFixture {};

TEST_F(ReaderSettingsTest, UsbIdentifiersFromEnvironmentThenSettingsThenBuild)
{
    UnsetEnv("TOVASK_USB_VID");
    UnsetEnv("TOVASK_USB_PID");
    UsbIds ids;
    std::string error;
    ASSERT_TRUE(EditorUsbIds(ids, error));
    EXPECT_EQ(ids, BuildUsbIds());

    {
        UserSettings settings;
        settings.setValue("USB/VendorId", "0c2e");
        settings.setValue("USB/ProductId", "0x720");
    }
    ASSERT_TRUE(EditorUsbIds(ids, error));
    EXPECT_EQ(ids, (UsbIds{0x0C2E, 0x0720}));

    SetEnv("TOVASK_USB_PID", "0b6a");
    ASSERT_TRUE(EditorUsbIds(ids, error));
    EXPECT_EQ(ids, (UsbIds{0x0C2E, 0x0B6A}));
    UnsetEnv("TOVASK_USB_PID");

    UserSettings().setValue("USB/VendorId", "Honeywell");
    EXPECT_FALSE(EditorUsbIds(ids, error));
    EXPECT_EQ(error.rfind("USB/VendorId in ", 0), 0u) << error;
    EXPECT_NE(error.find("\"Honeywell\" is not a USB identifier"), std::string::npos) << error;
}

// Notes whether the wait cursor was up when each message came.
class CursorWatchingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override
    {
        messages.push_back(text);
        cursorUp.push_back(QApplication::overrideCursor() != nullptr);
    }
    std::vector<std::string> messages;
    std::vector<bool> cursorUp;
};

TEST_F(ReaderSettingsTest, WaitCursorIsDownBeforeEveryMessage)
{
    CursorWatchingSink watch;
    SetMessageSink(&watch);
    for (int portKind : {portKindUSB, portKindPS2, portKindCOM1 + 2}) {
        SCOPED_TRACE(PortKindName(portKind));
        Open(portKind, Links::Simulated);
        watch.messages.clear();
        watch.cursorUp.clear();
        view().OnWriteIntoMR();
        view().OnReadFromMR();
        EXPECT_EQ(watch.messages, (std::vector<std::string>{msg::writingOk, msg::readingOk}));
        EXPECT_EQ(watch.cursorUp, (std::vector<bool>{false, false}));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

}  // namespace
