// Writes the seed corpus of every fuzz target into the folder given (one
// subfolder per target). The seeds are kept in the source tree; run this
// again when a format changes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/kb/kb_io.h"
#include "device/kb/kbio.h"
#include "device/transfer.h"
#include "fuzz/fuzz_targets.h"
#include "model/message_sink.h"
#include "model/tovask_doc.h"
#include "sim/kb_reader.h"
#include "sim/serial_reader.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Write(const fs::path& folder, const std::string& target, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(folder / target);
    std::ofstream out(folder / target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Of(const ConfigImage& image) { return Bytes(image.begin(), image.end()); }

// The simulated reader's answers during one keyboard-port read, with 0x00
// for every read that found nothing.
class RecordingStream : public IKbByteStream {
public:
    RecordingStream(SimKbReader& reader, Bytes& out) : m_inner(reader), m_out(out) {}
    bool Write(std::uint8_t value) override { return m_inner.Write(value); }
    int Read(std::uint8_t& value) override
    {
        const int got = m_inner.Read(value);
        m_out.push_back(got == 1 ? value : 0x00);
        return got;
    }

private:
    SimKbStream m_inner;
    Bytes& m_out;
};

class StreamPlatform : public IKbPlatform {
public:
    StreamPlatform(SimKbReader& reader, Bytes& out) : m_reader(reader), m_out(out) {}
    bool QueryPlatformId(int& id) override
    {
        id = kbPlatformDriver;
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override
    {
        return std::make_unique<KbLineDriver>(std::make_unique<RecordingStream>(m_reader, m_out));
    }
    IKbPorts* Ports() override { return nullptr; }

private:
    SimKbReader& m_reader;
    Bytes& m_out;
};

Bytes KbReadSession(const ConfigImage& image, int badReadsOf62)
{
    SimReaderMemory memory;
    memory.SetImage(image);
    SimKbReader reader(memory);
    if (badReadsOf62)
        reader.failReads[62] = badReadsOf62;
    Bytes answers;
    StreamPlatform platform(reader, answers);
    CKBIO kb(platform);
    kb.Open();
    CTovaskDoc doc;
    PanelessHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindPS2, false, nullptr, &kb, nullptr};
    ReadOverPS2(ctx);
    return answers;
}

// Nine get-feature reports carrying image and then eight trailer bytes.
Bytes UsbReports(std::uint8_t refuse, const ConfigImage& image)
{
    Bytes payload(image.begin(), image.end());
    const ImageTrailer trailer = DefaultTrailer();
    payload.insert(payload.end(), trailer.begin(), trailer.begin() + 8);
    Bytes out{refuse};
    for (int k = 0; k < 9; ++k) {
        out.push_back(0x00);
        for (int i = 0; i < 8; ++i)
            out.push_back(payload[static_cast<std::size_t>(8 * k + 7 - i)]);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const fs::path folder = argv[1];

    const ConfigImage start = FuzzStartImage();
    Write(folder, "template_file", "empty", {});
    Write(folder, "template_file", "one-byte", {0x41});
    Write(folder, "template_file", "63-bytes", Bytes(63, 0xFF));
    Write(folder, "template_file", "default", Of(DefaultImage()));
    Write(folder, "template_file", "pattern", Of(start));
    Bytes longer = Of(start);
    longer.resize(100, 0x20);
    Write(folder, "template_file", "100-bytes", longer);

    int n = 0;
    for (const char* t : {"[CR][LF][TB][[", "AB[X", "A[CXB", "[[CR]", "%B?[CR]", "a]b", "[C"})
        Write(folder, "escape_text", "text-" + std::to_string(++n), Text(t));

    const Bytes reply = SimSerialReader::BuildReply(start);
    Write(folder, "com_reply", "reply", reply);
    Bytes padded = reply;
    padded.insert(padded.end(), 10, 0x00);
    Write(folder, "com_reply", "reply-zeros", padded);
    Bytes garbled = reply;
    garbled[20] ^= 0x01;
    Write(folder, "com_reply", "reply-garbled", garbled);
    Bytes late(20 + reply.size(), 0x30);
    std::copy(reply.begin(), reply.end(), late.begin() + 20);
    Write(folder, "com_reply", "reply-late-marker", late);
    Bytes shortReply(reply.begin(), reply.begin() + 100);
    shortReply.push_back(0xEE);
    Write(folder, "com_reply", "reply-short", shortReply);

    Write(folder, "kb_answers", "read", KbReadSession(start, 0));
    Write(folder, "kb_answers", "read-retry", KbReadSession(DefaultImage(), 2));
    Write(folder, "kb_answers", "read-fails", KbReadSession(start, -1));

    ConfigImage normal = start;
    {
        TemplateRecord record;
        DecodeImage(start, record);
        EncodeImage(record, normal);
    }
    Write(folder, "usb_readback", "read-default", UsbReports(0xFF, DefaultImage()));
    Write(folder, "usb_readback", "write-matches", UsbReports(0xFF, normal));
    Write(folder, "usb_readback", "refuse-data-report", UsbReports(3, normal));
    Bytes cut = UsbReports(0xFF, normal);
    cut.resize(40);
    Write(folder, "usb_readback", "cut-short", cut);
    return 0;
}
