// Every fault switch of the simulated reader, on every link it can happen
// on, with both commands: the command ends in its one message within its
// waits, keeps what it promises to keep, and the next command, with the
// reader put right, works again.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/com/com_port.h"
#include "device/com_test_support.h"
#include "device/transfer.h"
#include "model/tovask_doc.h"
#include "sim/fault_switch.h"
#include "device/link_set.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"
#include "sim/sim_link_rig.h"
#include "sim/simulated_reader.h"

namespace fs = std::filesystem;

namespace {

constexpr int com3 = portKindCOM1 + 2;

enum class Command { Write, Read };

// What the faulty command leaves behind, beyond its message.
enum class Outcome {
    Unchanged,          // document record and image as before, reader memory as before
    ReaderTookImage,    // document as before; the reader holds the written image
    ReaderTookBlock61,  // document as before; only the first half of the image reached the reader
    ImageReset,         // record as before, image blank (the keyboard port's failed read)
    ReadAsGarbled,      // the read was taken: one byte differs from the reader's
    ReadAsIs,           // the read was taken as the reader holds it
};

struct FaultCase {
    const char* name;
    int portKind;
    SimFaultSwitch fault;
    Command command;
    std::string message;
    Outcome outcome;
};

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Ps2ReadError(int block)
{
    char text[64];
    std::snprintf(text, sizeof text, msg::ps2ReadErrorFormat, block);
    return text;
}

// A document with a template of its own, saved to a file, and a reader that
// holds a different image.
struct FaultRig : SimLinkRig {
    explicit FaultRig(int portKind) : SimLinkRig(portKind)
    {
        folder = fs::temp_directory_path() / ("tovask-faults-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        file = folder / "template.mtl";

        doc.image = PatternImage(3);
        doc.DecodeImage();
        doc.EncodeImage();
        EXPECT_EQ(doc.SaveDocument(file.string()).result, CTovaskDoc::SaveResult::Ok);
        fileBytes = Bytes(file);

        memory().SetImage(PatternImage(90));
    }
    ~FaultRig()
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    SimReaderMemory& memory() { return sim.Memory(); }

    void Run(Command command)
    {
        sink.messages.clear();
        sleeper.waits.clear();
        if (command == Command::Write)
            OnWriteIntoMR(ctx);
        else
            OnReadFromMR(ctx);
    }

    fs::path folder;
    fs::path file;
    std::string fileBytes;
};

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

}  // namespace

TEST_P(FaultMatrix, EndsInItsMessageKeepsWhatItPromisesAndRecovers)
{
    const FaultCase& c = GetParam();
    FaultRig rig(c.portKind);
    ASSERT_TRUE(rig.startSink.messages.empty());
    ASSERT_TRUE(rig.sim.SetFault(c.fault));

    const TemplateRecord recordBefore = rig.doc.record;
    const ConfigImage imageBefore = rig.doc.image;
    const ConfigImage readerBefore = rig.memory().Image();

    rig.Run(c.command);

    ASSERT_EQ(rig.sink.messages, std::vector<std::string>{c.message});
    // Bounded: the USB write's five attempts are the longest sequence of waits.
    EXPECT_LE(rig.sleeper.Total(), 5 * (200 + 50 + 100 + 400));
    EXPECT_EQ(Bytes(rig.file), rig.fileBytes);
    EXPECT_TRUE(rig.host.busyNotices.empty() || rig.host.busyNotices.back().empty());

    const ConfigImage reader = rig.memory().Image();
    switch (c.outcome) {
    case Outcome::Unchanged:
        EXPECT_EQ(rig.doc.record, recordBefore);
        EXPECT_EQ(rig.doc.image, imageBefore);
        EXPECT_EQ(reader, readerBefore);
        break;
    case Outcome::ReaderTookImage:
        EXPECT_EQ(rig.doc.record, recordBefore);
        EXPECT_EQ(rig.doc.image, imageBefore);
        EXPECT_EQ(reader, imageBefore);
        break;
    case Outcome::ReaderTookBlock61:
        EXPECT_EQ(rig.doc.record, recordBefore);
        EXPECT_EQ(rig.doc.image, imageBefore);
        EXPECT_TRUE(std::equal(reader.begin(), reader.begin() + 32, imageBefore.begin()));
        EXPECT_TRUE(std::equal(reader.begin() + 32, reader.end(), readerBefore.begin() + 32));
        break;
    case Outcome::ImageReset:
        EXPECT_EQ(rig.doc.record, recordBefore);
        EXPECT_EQ(rig.doc.image, DefaultImage());
        EXPECT_EQ(reader, readerBefore);
        break;
    case Outcome::ReadAsGarbled: {
        ConfigImage garbled = readerBefore;
        garbled[10] ^= 0x01;
        EXPECT_EQ(rig.doc.image, garbled);
        break;
    }
    case Outcome::ReadAsIs:
        EXPECT_EQ(rig.doc.image, readerBefore);
        break;
    }

    // Put right, the reader serves the next command.
    ASSERT_TRUE(rig.sim.SetFault({}));
    rig.doc.image = imageBefore;
    rig.doc.record = recordBefore;
    rig.Run(c.command);
    if (c.command == Command::Write) {
        EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::writingOk});
        EXPECT_EQ(rig.memory().Image(), imageBefore);
    } else {
        EXPECT_EQ(rig.sink.messages, std::vector<std::string>{msg::readingOk});
        EXPECT_EQ(rig.doc.image, rig.memory().Image());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Values(
        // Serial: a write is never answered, so the program cannot tell; the reader keeps its image.
        FaultCase{"ComStopWrite", com3, {SimFault::StopMidway}, Command::Write, msg::writingOk, Outcome::Unchanged},
        FaultCase{"ComStopRead", com3, {SimFault::StopMidway}, Command::Read, msg::wrongPacket, Outcome::Unchanged},
        FaultCase{"ComLateWrite", com3, {SimFault::Late}, Command::Write, msg::writingOk, Outcome::ReaderTookImage},
        FaultCase{"ComLateRead", com3, {SimFault::Late}, Command::Read, msg::wrongPacket, Outcome::Unchanged},
        FaultCase{"ComGarbleWrite", com3, {SimFault::Garble}, Command::Write, msg::writingOk, Outcome::Unchanged},
        FaultCase{"ComGarbleRead", com3, {SimFault::Garble}, Command::Read, msg::comReadingError, Outcome::Unchanged},
        FaultCase{"ComVanishWrite", com3, {SimFault::Vanish}, Command::Write, msg::cantOpenComPort, Outcome::Unchanged},
        FaultCase{"ComVanishRead", com3, {SimFault::Vanish}, Command::Read, msg::cantOpenComPort, Outcome::Unchanged},
        FaultCase{"ComCtsLowWrite", com3, {SimFault::CtsLow}, Command::Write, msg::writingError, Outcome::Unchanged},
        FaultCase{"ComCtsLowRead", com3, {SimFault::CtsLow}, Command::Read, msg::wrongPacket, Outcome::Unchanged},
        // USB.
        FaultCase{"UsbStopWrite", portKindUSB, {SimFault::StopMidway}, Command::Write, msg::usbWritingDone,
                  Outcome::Unchanged},
        FaultCase{"UsbStopRead", portKindUSB, {SimFault::StopMidway}, Command::Read, msg::usbReadingError,
                  Outcome::Unchanged},
        FaultCase{"UsbGarbleWrite", portKindUSB, {SimFault::Garble}, Command::Write, msg::usbWritingError2,
                  Outcome::ReaderTookImage},
        FaultCase{"UsbGarbleRead", portKindUSB, {SimFault::Garble}, Command::Read, msg::readingOk,
                  Outcome::ReadAsGarbled},
        FaultCase{"UsbRefuseWrite", portKindUSB, {SimFault::Refuse, 3}, Command::Write, msg::usbWritingDone,
                  Outcome::Unchanged},
        FaultCase{"UsbRefuseLastWrite", portKindUSB, {SimFault::Refuse, 14}, Command::Write, msg::usbWritingDone,
                  Outcome::Unchanged},
        FaultCase{"UsbRefuseRead", portKindUSB, {SimFault::Refuse, 3}, Command::Read, msg::usbReadingError,
                  Outcome::Unchanged},
        FaultCase{"UsbRefuseRequestRead", portKindUSB, {SimFault::Refuse, 0}, Command::Read, msg::usbReadingError,
                  Outcome::Unchanged},
        FaultCase{"UsbVanishWrite", portKindUSB, {SimFault::Vanish}, Command::Write, msg::noUsbReader,
                  Outcome::Unchanged},
        FaultCase{"UsbVanishRead", portKindUSB, {SimFault::Vanish}, Command::Read, msg::noUsbReader,
                  Outcome::Unchanged},
        // Keyboard port, driver access.
        FaultCase{"Ps2StopWrite", portKindPS2, {SimFault::StopMidway}, Command::Write, msg::writingError,
                  Outcome::ReaderTookBlock61},
        FaultCase{"Ps2StopRead", portKindPS2, {SimFault::StopMidway}, Command::Read, Ps2ReadError(62),
                  Outcome::ImageReset},
        FaultCase{"Ps2GarbleWrite", portKindPS2, {SimFault::Garble}, Command::Write, msg::writingError,
                  Outcome::ReaderTookBlock61},
        FaultCase{"Ps2GarbleRead", portKindPS2, {SimFault::Garble}, Command::Read, msg::readingOk, Outcome::ReadAsIs},
        FaultCase{"Ps2VanishWrite", portKindPS2, {SimFault::Vanish}, Command::Write, msg::ps2WriteNotDetected,
                  Outcome::Unchanged},
        FaultCase{"Ps2VanishRead", portKindPS2, {SimFault::Vanish}, Command::Read, msg::ps2ReadNotDetected,
                  Outcome::Unchanged}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(FaultSwitch, NamesParseAndOnlyApplyWhereTheyCanHappen)
{
    SimFaultSwitch f;
    EXPECT_TRUE(ParseSimFault("refuse=12", f));
    EXPECT_EQ(f, (SimFaultSwitch{SimFault::Refuse, 12}));
    EXPECT_EQ(SimFaultName(f), "refuse=12");
    for (const char* bad : {"", "Late", "refuse=", "refuse=x", "refuse=-1", "stop=2", "cts"}) {
        SimFaultSwitch untouched{SimFault::Late};
        EXPECT_FALSE(ParseSimFault(bad, untouched)) << bad;
        EXPECT_EQ(untouched.fault, SimFault::Late) << bad;
    }
    EXPECT_TRUE(ParseSimFault("cts-low", f));
    EXPECT_FALSE(SimFaultApplies(SimFault::CtsLow, portKindUSB));
    EXPECT_FALSE(SimFaultApplies(SimFault::Refuse, com3));
    EXPECT_FALSE(SimFaultApplies(SimFault::Late, portKindPS2));
    EXPECT_TRUE(SimFaultApplies(SimFault::Vanish, portKindPS2));
}

// A fault set before the start checks spares them: the reader is found at
// start and vanishes only afterwards.
TEST(FaultSwitch, VanishSetBeforeStartStrikesAtTheFirstCommand)
{
    SimReader sim(com3);
    LinkSet links(com3, &sim);
    ASSERT_TRUE(sim.SetFault({SimFault::Vanish}));
    EXPECT_FALSE(sim.SetFault({SimFault::Refuse}));
    RecordingMessageSink sink;
    ASSERT_EQ(links.Start(sink), LinkSet::StartResult::Ok);
    EXPECT_TRUE(links.ComPortReady());
    CTovaskDoc doc;
    RecordingHost host;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper};
    links.Fill(ctx);
    OnReadFromMR(ctx);
    EXPECT_EQ(sink.messages, std::vector<std::string>{msg::cantOpenComPort});
}

// Where there is no pseudo-terminal the serial face is reached in process,
// behind the same link class: the commands, the faults and the exclusive
// open behave as on a real line.
TEST(InProcessSerialLine, CarriesCommandsAndFaults)
{
    SimReader sim(com3, SimSerialReader::Line::InProcess);
    LinkSet links(com3, &sim);
    RecordingMessageSink sink;
    ASSERT_EQ(links.Start(sink), LinkSet::StartResult::Ok);
    EXPECT_TRUE(links.ComPortReady());
    CTovaskDoc doc;
    doc.record.outputDelay = 33;
    RecordingHost host;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper};
    links.Fill(ctx);
    OnWriteIntoMR(ctx);
    EXPECT_EQ(sim.Memory().Image(), doc.image);
    doc.record.outputDelay = 5;
    OnReadFromMR(ctx);
    EXPECT_EQ(doc.record.outputDelay, 33);
    EXPECT_EQ(sink.messages, (std::vector<std::string>{msg::writingOk, msg::readingOk}));

    ASSERT_TRUE(links.Com()->OpenPort(3));
    CComPort second(sim.SerialBackend());
    EXPECT_FALSE(second.OpenPort(3));
    links.Com()->ClosePort();

    sink.messages.clear();
    ASSERT_TRUE(sim.SetFault({SimFault::CtsLow}));
    OnWriteIntoMR(ctx);
    ASSERT_TRUE(sim.SetFault({SimFault::Vanish}));
    OnReadFromMR(ctx);
    EXPECT_EQ(sink.messages, (std::vector<std::string>{msg::writingError, msg::cantOpenComPort}));
}
