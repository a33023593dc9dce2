// The USB link and its write and read procedures against the simulated
// reader's USB face.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "device/usb/hid_access.h"
#include "device/usb/usb_port.h"
#include "device/transfer.h"
#include "sim/usb_reader.h"
#include "tests/device/com_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t vid = 0x1209;
constexpr std::uint16_t pid = 0x0001;

SimHidInterface OtherInterface(const std::string& path, bool openable, bool listedWithoutIds = false)
{
    SimHidInterface i;
    i.path = path;
    i.vendorId = 0x046D;
    i.productId = 0xC31C;
    i.openable = openable;
    i.listedWithoutIds = listedWithoutIds;
    return i;
}

struct UsbRig {
    UsbRig()
    {
        usb.wantedVendorId = vid;
        usb.wantedProductId = pid;
        // Each wait is noted among the reports, so the order can be checked.
        sleeper.onSleep = [this](int ms) { events.push_back("wait " + std::to_string(ms)); };
    }
    SimReaderMemory memory;
    SimUsbReader reader{memory, vid, pid};
    CUSBport usb{reader};
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    std::vector<std::string> events;
    TransferContext ctx{doc, host, sink, sleeper, portKindUSB, false, nullptr, nullptr, &usb};
};

TEST(UsbLink, FirstDataReportCarriesSevenBytesReversed)
{
    UsbRig rig;
    ASSERT_TRUE(rig.usb.FindDevice());
    ASSERT_TRUE(rig.usb.OpenDevice());
    for (int i = 0; i < CUSBport::reportBufferSize; ++i)
        rig.usb.reportBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    rig.usb.WriteImage(rig.sleeper);
    ASSERT_EQ(rig.reader.setReports.size(), 16u);
    EXPECT_EQ(rig.reader.setReports[0], (Bytes{0x00, 0xE7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.reader.setReports[1], (Bytes{0x00, 0xE3, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x00}));
    EXPECT_EQ(rig.reader.setReports[14], (Bytes{0x00, 0xE3, 97, 96, 95, 94, 93, 92, 91}));
    EXPECT_EQ(rig.reader.setReports[15], (Bytes{0x00, 0xE8, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.sleeper.waits, std::vector<int>{200});
}

// A read report's bytes come in reverse order.
class ReversingDevice : public IHidDevice {
public:
    bool GetAttributes(HidAttributes& out) override
    {
        out = {vid, pid, 1};
        return true;
    }
    bool GetManufacturerString(std::wstring&) override { return false; }
    bool GetProductString(std::wstring&) override { return false; }
    bool SetFeature(const std::uint8_t* r, std::size_t n) override
    {
        sets.emplace_back(r, r + n);
        return true;
    }
    int GetFeature(std::uint8_t* r, std::size_t n) override
    {
        EXPECT_EQ(n, 9u);
        EXPECT_EQ(r[0], 0x00);
        const std::uint8_t answer[9] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
        std::copy(answer, answer + 9, r);
        return 9;
    }
    std::vector<Bytes>& sets;
    explicit ReversingDevice(std::vector<Bytes>& s) : sets(s) {}
};

class OneDeviceBackend : public IHidBackend {
public:
    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out = {{"one", vid, pid, 1, L"", L""}};
        return true;
    }
    std::unique_ptr<IHidDevice> Open(const std::string&, std::string*) override
    {
        return std::make_unique<ReversingDevice>(sets);
    }
    std::vector<Bytes> sets;
};

TEST(UsbLink, ReadReportIsStoredReversed)
{
    OneDeviceBackend backend;
    CUSBport usb(backend);
    usb.wantedVendorId = vid;
    usb.wantedProductId = pid;
    RecordingSleeper sleeper;
    ASSERT_TRUE(usb.FindDevice());
    ASSERT_TRUE(usb.OpenDevice());
    ASSERT_TRUE(usb.ReadImage(sleeper));
    EXPECT_EQ(Bytes(usb.reportBuffer.begin(), usb.reportBuffer.begin() + 8),
              (Bytes{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(Bytes(usb.reportBuffer.begin() + 64, usb.reportBuffer.begin() + 72),
              (Bytes{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(sleeper.waits, std::vector<int>{100});
    ASSERT_EQ(backend.sets.size(), 2u);
    EXPECT_EQ(backend.sets.front()[1], 0xE6);
    EXPECT_EQ(backend.sets.back()[1], 0xE8);
}

TEST(UsbLink, RefusedDataReportEndsSequenceAfterWait)
{
    UsbRig rig;
    rig.reader.refuseReport = 4;  // the fourth data report, after the begin report and three taken
    rig.sleeper.onSleep = [&](int ms) {
        rig.events.push_back("wait " + std::to_string(ms) + " after " +
                             std::to_string(rig.reader.setReports.size()));
    };
    ASSERT_TRUE(rig.usb.FindDevice());
    ASSERT_TRUE(rig.usb.OpenDevice());
    EXPECT_FALSE(rig.usb.WriteImage(rig.sleeper));
    ASSERT_EQ(rig.reader.setReports.size(), 6u);  // begin, 3 taken, refused, end
    EXPECT_EQ(rig.reader.setReports[5][1], 0xE8);
    EXPECT_EQ(rig.events, std::vector<std::string>{"wait 200 after 5"});
    EXPECT_EQ(rig.memory.imageWrites, 0);
}

TEST(UsbLink, SearchSkipsInterfacesThatCannotBeOpened)
{
    UsbRig rig;
    auto readerInterface = rig.reader.interfaces.front();
    rig.reader.interfaces = {OtherInterface("kbd", false), OtherInterface("mouse", true), readerInterface};
    EXPECT_TRUE(rig.usb.FindDevice());
    EXPECT_EQ(rig.usb.devicePath, readerInterface.path);
    EXPECT_FALSE(rig.usb.IsOpen());
    EXPECT_EQ(rig.reader.openNow, 0);
}

// Interfaces listed with other identifiers are never opened and do not count;
// the limit of 20 counts interfaces opened (those listed without identifiers).
TEST(UsbLink, SearchOpensOnlyWhatMayBeTheReaderAndAtMostTwenty)
{
    UsbRig rig;
    auto readerInterface = rig.reader.interfaces.front();
    for (bool unlisted : {false, true}) {
        SCOPED_TRACE(unlisted ? "listed without identifiers" : "listed with other identifiers");
        rig.reader.interfaces.clear();
        rig.reader.opens = 0;
        for (int i = 0; i < 25; ++i)
            rig.reader.interfaces.push_back(OtherInterface("hid" + std::to_string(i), true, unlisted));
        EXPECT_FALSE(rig.usb.FindDevice());
        EXPECT_EQ(rig.reader.opens, unlisted ? 20 : 0);
        EXPECT_EQ(rig.reader.openNow, 0);

        // The reader as the 21st interface.
        rig.reader.interfaces[20] = readerInterface;
        EXPECT_EQ(rig.usb.FindDevice(), !unlisted);
        rig.reader.interfaces[19] = readerInterface;
        EXPECT_TRUE(rig.usb.FindDevice());
    }

    rig.reader.enumerateFails = true;
    EXPECT_FALSE(rig.usb.FindDevice());
}

TEST(UsbLink, VersionNumberIsNotCompared)
{
    UsbRig rig;
    rig.reader.interfaces.front().versionNumber = 0x9999;
    EXPECT_TRUE(rig.usb.FindDevice());
    rig.usb.wantedProductId = 0x0002;
    EXPECT_FALSE(rig.usb.FindDevice());
}

TEST(UsbLink, CloseDeviceTwiceClosesOnce)
{
    UsbRig rig;
    ASSERT_TRUE(rig.usb.FindDevice());
    const int closesAfterSearch = rig.reader.closes;
    ASSERT_TRUE(rig.usb.OpenDevice());
    rig.usb.CloseDevice();
    rig.usb.CloseDevice();
    EXPECT_EQ(rig.reader.closes, closesAfterSearch + 1);
    EXPECT_FALSE(rig.usb.IsOpen());
    EXPECT_FALSE(rig.usb.SendCommand(0xE8));
}

// A composite keyboard lists its interface once per usage: the search limit
// counts paths, and a path listed again is not opened again.
TEST(UsbLink, SearchCountsDistinctPaths)
{
    UsbRig rig;
    auto readerInterface = rig.reader.interfaces.front();
    rig.reader.interfaces.clear();
    for (int i = 0; i < 20; ++i)
        rig.reader.interfaces.push_back(OtherInterface("hid" + std::to_string(i % 7), i % 7 != 3, true));
    rig.reader.interfaces.push_back(readerInterface);
    EXPECT_TRUE(rig.usb.FindDevice());
    EXPECT_EQ(rig.reader.opens, 6 + 1);  // six openable paths once each, then the reader
    WriteOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
    EXPECT_EQ(rig.memory.Image(), rig.doc.image);

    // Twenty distinct paths before the reader still end the search.
    for (int i = 0; i < 20; ++i)
        rig.reader.interfaces.insert(rig.reader.interfaces.begin(),
                                     OtherInterface("more" + std::to_string(i), true, true));
    EXPECT_FALSE(rig.usb.FindDevice());
}

// What may sit before the reader on a desktop or in a composite device, and
// what a write and a read then show.
TEST(UsbProcedures, CompositeReadersOtherCollectionsAndReportLengths)
{
    SimHidInterface sameIds = OtherInterface("sim:reader-keyboard", true);
    sameIds.vendorId = vid;
    sameIds.productId = pid;  // not the reader's collection: refuses the reports
    SimHidInterface shortReports = sameIds;
    shortReports.path = "sim:reader-short";
    shortReports.featureReportLength = 8;
    std::vector<SimHidInterface> desktop;
    for (int i = 0; i < 30; ++i)
        desktop.push_back(OtherInterface("hid" + std::to_string(i), i % 2 == 0));
    struct Case {
        const char* name;
        std::vector<SimHidInterface> before;
        int readerLength;
        const char* writeMessage;
        const char* readMessage;
    };
    const Case cases[] = {
        {"an interface with the same identifiers refuses", {sameIds}, 9, msg::writingOk, msg::readingOk},
        {"a collection with 8-byte reports is skipped", {shortReports}, 9, msg::writingOk, msg::readingOk},
        {"30 other collections first", desktop, 9, msg::writingOk, msg::readingOk},
        {"none takes the reports", {sameIds}, 8, msg::usbWritingDone, msg::usbReadingError},
        {"only the wrong length", {}, 8, msg::noUsbReader, msg::noUsbReader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsbRig rig;
        SimHidInterface reader = rig.reader.interfaces.front();
        reader.featureReportLength = c.readerLength;
        rig.reader.interfaces = c.before;
        rig.reader.interfaces.push_back(reader);
        WriteOverUSB(rig.ctx);
        ReadOverUSB(rig.ctx);
        EXPECT_EQ(rig.sink.messages, (std::vector<std::string>{c.writeMessage, c.readMessage}));
        EXPECT_EQ(rig.memory.Image() == rig.doc.image, c.writeMessage == msg::writingOk);
        EXPECT_EQ(rig.reader.openNow, 0);
        EXPECT_LE(rig.reader.opens, 2 * 6 * 2) << "only what may be the reader is opened";
    }
}

TEST(UsbWindowsAccess, KeyboardCollectionsAreOpenedWithoutAccess)
{
    struct Calls : IHidOpenCalls {
        unsigned long readWriteError = 0, noAccessError = 0;
        std::vector<bool> asked;
        int handle = 0;
        void* Open(const std::string&, bool readWrite, unsigned long& error) override
        {
            asked.push_back(readWrite);
            error = readWrite ? readWriteError : noAccessError;
            return error ? nullptr : &handle;
        }
    };
    struct Case {
        const char* name;
        unsigned long readWriteError, noAccessError;
        bool opened, noAccess;
        std::vector<bool> asked;
        unsigned long error;
    };
    const Case cases[] = {
        {"read and write granted", 0, 0, true, false, {true}, 0},
        {"access denied: opened again without access", 5, 0, true, true, {true, false}, 5},
        {"denied both ways", 5, 31, false, false, {true, false}, 5},
        {"not there: no second try", 2, 0, false, false, {true}, 2},
    };
    for (const Case& c : cases) {
        Calls calls;
        calls.readWriteError = c.readWriteError;
        calls.noAccessError = c.noAccessError;
        unsigned long error = 99;
        bool noAccess = !c.noAccess;
        EXPECT_EQ(OpenHidInterface(calls, "\\\\?\\hid#vid_1209", error, noAccess) != nullptr, c.opened) << c.name;
        EXPECT_EQ(noAccess, c.noAccess) << c.name;
        EXPECT_EQ(calls.asked, c.asked) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

// A get-feature report cut short counts as refused, wherever it comes.
TEST(UsbLink, ShortReadReportIsRefused)
{
    for (int report : {1, 5, 9}) {
        SCOPED_TRACE(report);
        UsbRig rig;
        rig.reader.shortReport = report;  // counted from the 0xE6 report
        ASSERT_TRUE(rig.usb.FindDevice());
        ASSERT_TRUE(rig.usb.OpenDevice());
        EXPECT_FALSE(rig.usb.ReadImage(rig.sleeper));
        EXPECT_EQ(rig.reader.getReports, report);
        EXPECT_EQ(rig.reader.setReports.back()[1], 0xE8);
    }
    UsbRig rig;
    rig.reader.shortReport = 3;
    ReadOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::usbReadingError});
    EXPECT_EQ(rig.doc.image, DefaultImage());
}

TEST(UsbLink, ListingShowsEachPathOnceWithWhatCouldBeRead)
{
    SimReaderMemory memory;
    SimUsbReader bus(memory, vid, pid);
    std::vector<SimHidInterface> all = SimDesktopInterfaces();
    all.push_back(bus.interfaces.front());
    bus.interfaces = all;
    std::vector<HidListing> list;
    ASSERT_TRUE(ListHidInterfaces(bus, {vid, pid}, list));
    std::vector<std::string> rows;
    for (const HidListing& l : list)
        rows.push_back(l.path + " " + UsbIdText(l.vendorId) + ":" + UsbIdText(l.productId) + " " + l.manufacturer +
                       "/" + l.product + (l.openable ? " open" : " closed:" + l.whyNot) + (l.reader ? " reader" : ""));
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "sim:keyboard 046d:c31c Logitech/USB Keyboard open",
                        "sim:mouse 093a:2510 PixArt/USB Optical Mouse closed:Permission denied",
                        "sim:headset 0d8c:0014 C-Media/USB Audio Device open",
                        "sim:usb-reader 1209:0001 Tovask/Simulated MR open reader",
                    }));
    EXPECT_EQ(bus.openNow, 0);
    ASSERT_TRUE(ListHidInterfaces(bus, {0x0C2E, 0x0720}, list));
    for (const HidListing& l : list)
        EXPECT_FALSE(l.reader) << l.path;
}

TEST(UsbIds, ParsingAndPrecedence)
{
    struct Case {
        const char* text;
        bool ok;
        std::uint16_t value;
    };
    for (const Case& c : {Case{"0c2e", true, 0x0C2E}, Case{"0x0C2E", true, 0x0C2E}, Case{"C2E", true, 0x0C2E},
                          Case{"ffff", true, 0xFFFF}, Case{"0", true, 0}, Case{"10000", false, 0},
                          Case{"0x", false, 0}, Case{"", false, 0}, Case{"12g4", false, 0}, Case{"-1", false, 0},
                          Case{" 0c2e", false, 0}}) {
        SCOPED_TRACE(c.text);
        std::uint16_t value = 0;
        EXPECT_EQ(ParseUsbId(c.text, value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }

    std::uint16_t id = 0;
    std::string error;
    EXPECT_TRUE(PickUsbId({{"--vid", std::nullopt}, {"TOVASK_USB_VID", "16c0"}}, 0x1209, id, error));
    EXPECT_EQ(id, 0x16C0);
    EXPECT_TRUE(PickUsbId({{"--vid", "0c2e"}, {"TOVASK_USB_VID", "16c0"}}, 0x1209, id, error));
    EXPECT_EQ(id, 0x0C2E);
    EXPECT_TRUE(PickUsbId({{"--vid", std::nullopt}, {"TOVASK_USB_VID", ""}}, 0x1209, id, error));
    EXPECT_EQ(id, 0x1209);
    // A malformed value is an error naming where it came from, even when a
    // later source would have given a good one.
    EXPECT_FALSE(PickUsbId({{"TOVASK_USB_PID", "07 20"}, {"USB/ProductId", "0720"}}, 0x0001, id, error));
    EXPECT_EQ(error, "TOVASK_USB_PID: \"07 20\" is not a USB identifier (1 to 4 hex digits, such as 0c2e)");
}

// The seat only: uaccess on the configuration interface, no group and no
// mode unless a group is asked for.
TEST(UsbIds, UdevRuleGivesTheSeatAndAGroupOnlyWhenAsked)
{
    const std::string rule = UdevRuleText({0x0C2E, 0x0720});
    EXPECT_NE(rule.find("KERNEL==\"hidraw*\", ATTRS{idVendor}==\"0c2e\", ATTRS{idProduct}==\"0720\", "
                        "ENV{TOVASK_MR}=\"config\""),
              std::string::npos)
        << rule;
    EXPECT_NE(rule.find("ATTRS{bInterfaceProtocol}==\"01\", ENV{TOVASK_MR}=\"keyboard\""), std::string::npos);
    EXPECT_NE(rule.find("ENV{TOVASK_MR}==\"config\", TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(rule.find("KERNEL==\"serio_raw[0-9]*\", SUBSYSTEM==\"misc\", TAG+=\"uaccess\""), std::string::npos);
    EXPECT_EQ(rule.find('@'), std::string::npos);
    EXPECT_EQ(rule.find("GROUP="), std::string::npos) << rule;
    EXPECT_EQ(rule.find("MODE="), std::string::npos) << rule;

    const std::string grouped = UdevRuleText({0x0C2E, 0x0720}, "mrshop");
    EXPECT_EQ(grouped.substr(0, rule.size()), rule);
    EXPECT_NE(grouped.find("ENV{TOVASK_MR}==\"config\", MODE=\"0660\", GROUP=\"mrshop\""), std::string::npos);
    EXPECT_NE(grouped.find("SUBSYSTEM==\"misc\", MODE=\"0660\", GROUP=\"mrshop\""), std::string::npos);
    for (const char* name : {"plugdev", "mr_shop-1", "a.b"})
        EXPECT_TRUE(IsUdevGroupName(name)) << name;
    for (const char* name : {"", "-x", "a\"b", "a b", "x,GROUP=\"root"})
        EXPECT_FALSE(IsUdevGroupName(name)) << name;
}

TEST(UsbProcedures, WriteStoresImageAndTrailerAndReadsItBack)
{
    UsbRig rig;
    rig.doc.record.formatFields[0].text = "AB";
    rig.doc.record.formatFields[0].enabled = 1;
    WriteOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
    EXPECT_EQ(rig.memory.Image(), rig.doc.image);
    EXPECT_EQ(rig.memory.Trailer(), rig.doc.imageTrailer);
    EXPECT_EQ(rig.memory.imageWrites, 1);
    EXPECT_EQ(rig.sleeper.waits, (std::vector<int>{200, 50, 100}));
    EXPECT_EQ(rig.reader.openNow, 0);

    rig.memory.SetImage(ConfigImage{});  // an all-zero image is taken as it comes
    ReadOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages.back(), msg::readingOk);
    EXPECT_EQ(rig.doc.image, ConfigImage{});
    EXPECT_EQ(rig.host.panelUpdates, 1);
    EXPECT_EQ(rig.reader.openNow, 0);
}

TEST(UsbProcedures, DifferentReadBackEveryTimeEndsInErrorTwo)
{
    UsbRig rig;
    int reads = 0;
    rig.reader.alterReadBack = [&](std::vector<std::uint8_t>& bytes) { bytes[5] ^= static_cast<std::uint8_t>(++reads); };
    WriteOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::usbWritingError2});
    EXPECT_EQ(reads, 5);
    EXPECT_EQ(rig.memory.imageWrites, 5);
    std::vector<int> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert(expected.end(), {200, 50, 100, 400});
    EXPECT_EQ(rig.sleeper.waits, expected);
    EXPECT_EQ(rig.reader.openNow, 0);
}

TEST(UsbProcedures, RefusedFirstDataReportEndsAtOnce)
{
    UsbRig rig;
    rig.reader.refuseReport = 1;  // the first data report
    WriteOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::usbWritingDone});
    EXPECT_EQ(rig.sleeper.waits, std::vector<int>{200});
    EXPECT_EQ(rig.reader.getReports, 0);
    EXPECT_EQ(rig.reader.setReports.back()[1], 0xE8);
    EXPECT_EQ(rig.reader.openNow, 0);
}

TEST(UsbProcedures, NoReaderMessages)
{
    UsbRig rig;
    rig.reader.interfaces = {OtherInterface("kbd", false), OtherInterface("mouse", true)};
    WriteOverUSB(rig.ctx);
    ReadOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, (std::vector<std::string>{msg::noUsbReader, msg::noUsbReader}));
    EXPECT_TRUE(rig.sleeper.waits.empty());
    EXPECT_EQ(rig.reader.openNow, 0);
}

TEST(UsbProcedures, RefusedPanelSendsNothing)
{
    UsbRig rig;
    rig.host.acceptPanel = false;
    WriteOverUSB(rig.ctx);
    EXPECT_TRUE(rig.sink.messages.empty());
    EXPECT_EQ(rig.reader.opens, 0);
}

TEST(UsbProcedures, FailedReadKeepsImageAndClosesDevice)
{
    UsbRig rig;
    const ConfigImage before = rig.doc.image;
    rig.reader.alterReadBack = [](std::vector<std::uint8_t>& bytes) { bytes.resize(40); };
    ReadOverUSB(rig.ctx);
    EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::usbReadingError});
    EXPECT_EQ(rig.doc.image, before);
    EXPECT_EQ(rig.reader.setReports.back()[1], 0xE8);
    EXPECT_EQ(rig.host.panelUpdates, 0);
    EXPECT_EQ(rig.reader.openNow, 0);
}

}  // namespace

namespace {

// Which reader a search takes among two identical ones (and a composite
// reader that answers on two interfaces at one location), with and without
// a device chosen by path or location.
TEST(UsbLink, ChoosingOneReaderAmongSeveral)
{
    struct Case {
        const char* what;
        std::string chosen;
        bool onlyOne;
        bool composite;  // the second reader is another interface of the first
        bool found;
        std::string path;
        std::vector<std::string> several;
    };
    const Case cases[] = {
        {"first found", "", false, false, true, "sim:usb-reader", {}},
        {"refused", "", true, false, false, "", {"sim:usb-reader", "sim:usb-reader-2"}},
        {"by path", "sim:usb-reader-2", true, false, true, "sim:usb-reader-2", {}},
        {"by location", "1-1", true, false, true, "sim:usb-reader", {}},
        {"unknown", "1-9", true, false, false, "", {}},
        {"composite is one", "", true, true, true, "sim:usb-reader", {}},
        {"by serial number", "SIM-0002", true, false, true, "sim:usb-reader-2", {}},
    };
    for (const Case& c : cases) {
        UsbRig rig;
        rig.reader.interfaces.insert(rig.reader.interfaces.begin(), OtherInterface("sim:keyboard", true));
        rig.reader.AddIdenticalReader();
        rig.reader.interfaces.back().serialNumber = L"SIM-0002";
        if (c.composite)
            rig.reader.interfaces.back().location = "1-1";
        rig.usb.chosenDevice = c.chosen;
        rig.usb.onlyOneReader = c.onlyOne;
        EXPECT_EQ(rig.usb.FindDevice(), c.found) << c.what;
        EXPECT_EQ(rig.usb.devicePath, c.path) << c.what;
        std::vector<std::string> several;
        for (const HidListing& l : rig.usb.severalReaders)
            several.push_back(l.path + "@" + l.location);
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < c.several.size(); ++i)
            expected.push_back(c.several[i] + "@1-" + std::to_string(i + 1));
        EXPECT_EQ(several, expected) << c.what;
        // The list a poll looks at opens nothing and names each reader once.
        std::vector<HidListing> readers;
        const int opens = rig.reader.opens;
        ASSERT_TRUE(ListReaders(rig.reader, {vid, pid}, readers));
        EXPECT_EQ(readers.size(), c.composite ? 1u : 2u) << c.what;
        EXPECT_EQ(rig.reader.opens, opens) << c.what;
        // What was found can be opened and written.
        if (c.found) {
            EXPECT_TRUE(rig.usb.OpenDevice()) << c.what;
            EXPECT_TRUE(rig.usb.WriteImage(rig.sleeper)) << c.what;
        }
    }
}

// A composite reader whose keyboard interface, listed first at its place,
// has the reader's identifiers and refuses feature reports: a reader chosen
// by its place (or serial number) keeps the next interface to try; pinned to
// the first interface's path it has none.
TEST(UsbProcedures, CompositeReaderChosenByPlaceKeepsTheNextInterface)
{
    const std::pair<std::string, const char*> cases[] = {
        {"1-1", msg::writingOk}, {"SIM-0001", msg::writingOk}, {"sim:reader-keyboard", msg::usbWritingDone}};
    for (const auto& [chosen, message] : cases) {
        UsbRig rig;
        SimHidInterface keyboard = OtherInterface("sim:reader-keyboard", true);
        keyboard.vendorId = vid;
        keyboard.productId = pid;
        keyboard.location = "1-1";
        keyboard.serialNumber = L"SIM-0001";
        rig.reader.interfaces.insert(rig.reader.interfaces.begin(), keyboard);
        rig.usb.onlyOneReader = true;
        rig.usb.chosenDevice = chosen;
        WriteOverUSB(rig.ctx);
        EXPECT_EQ(rig.sink.messages, std::vector<std::string>{message}) << chosen;
    }
}

// A USB device's serial number from the instance name Windows gives it.
TEST(UsbLink, UsbDeviceInstanceIds)
{
    const struct {
        const char* id;
        bool device;
        const char* serial;
    } cases[] = {
        {"USB\\VID_1209&PID_0001\\A1B2C3", true, "A1B2C3"},
        {"usb\\vid_1209&pid_0001\\5&2f3a1b&0&2", true, ""},
        {"USB\\VID_1209&PID_0001&MI_00\\6&1234&0&0000", false, ""},
        {"HID\\VID_1209&PID_0001\\7&abc&0&0000", false, ""},
        {"USB\\ROOT_HUB30", false, ""},
    };
    for (const auto& c : cases) {
        std::string serial = "stale";
        EXPECT_EQ(ParseUsbDeviceInstanceId(c.id, serial), c.device) << c.id;
        EXPECT_EQ(serial, c.serial) << c.id;
    }
}

#ifndef _WIN32
// The bus-port chain of a hidraw node, from a sysfs tree laid out as the
// kernel lays it out.
TEST(UsbLink, HidrawLocationFromSysfs)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tovask-sysfs-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const std::string usbDevice = "devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3.2";
    const struct {
        const char* node;
        std::string target;  // under root; "" no link
        const char* location;
    } cases[] = {
        {"hidraw5", usbDevice + "/1-3.2:1.0/0003:1209:0001.0005", "1-3.2"},
        {"hidraw6", "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.1/0003:046D:C31C.0006", "2-1"},
        {"hidraw7", "devices/platform/i8042/serio1/0018:06CB:7E7E.0007", ""},
        {"hidraw8", "", ""},
    };
    for (const auto& c : cases) {
        const fs::path node = root / "class/hidraw" / c.node;
        fs::create_directories(node);
        if (!c.target.empty()) {
            fs::create_directories(root / c.target);
            fs::create_directory_symlink(root / c.target, node / "device");
        }
        EXPECT_EQ(HidrawLocation(std::string("/dev/") + c.node, root.string()), c.location) << c.node;
    }
    EXPECT_EQ(HidrawLocation("sim:usb-reader", root.string()), "");
    fs::remove_all(root);
}
#endif

}  // namespace
