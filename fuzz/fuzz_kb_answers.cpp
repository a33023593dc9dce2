// Whatever the reader sends on the keyboard line: the identify handshake and
// the block read never take a block whose check fails, and the read
// procedure ends in one of its messages with the image and record it promises.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "device/kb/kb_io.h"
#include "device/kb/kbio.h"
#include "device/transfer.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "model/message_sink.h"
#include "model/tovask_doc.h"

namespace {

// The reader's bytes, in order, whatever the host sends; then silence. A
// 0x00 stands for a read that timed out (the reader sends no 0x00 while
// answering an identify request or a block read).
struct Script {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool Next(std::uint8_t& value)
    {
        if (pos >= size)
            return false;
        value = data[pos++];
        return value != 0x00;
    }
};

class ScriptedLine : public IKbLine {
public:
    explicit ScriptedLine(Script& script) : m_script(script) {}
    bool Read(std::uint8_t& value) override { return m_script.Next(value); }
    bool WriteData(std::uint8_t) override { return true; }

private:
    Script& m_script;
};

class ScriptedStream : public IKbByteStream {
public:
    explicit ScriptedStream(Script& script) : m_script(script) {}
    bool Write(std::uint8_t) override { return true; }
    int Read(std::uint8_t& value) override { return m_script.Next(value) ? 1 : 0; }

private:
    Script& m_script;
};

class ScriptedPlatform : public IKbPlatform {
public:
    explicit ScriptedPlatform(Script& script) : m_script(script) {}
    bool QueryPlatformId(int& id) override
    {
        id = kbPlatformDriver;
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override
    {
        return std::make_unique<KbLineDriver>(std::make_unique<ScriptedStream>(m_script));
    }
    IKbPorts* Ports() override { return nullptr; }

private:
    Script& m_script;
};

std::string ReadErrorText(int block)
{
    char text[64];
    std::snprintf(text, sizeof text, msg::ps2ReadErrorFormat, block);
    return text;
}

}  // namespace

int FuzzKbAnswers(const std::uint8_t* data, std::size_t size)
{
    // The protocol on a line of its own.
    {
        Script script{data, size};
        ScriptedLine line(script);
        KbIdentity identity{};
        const int found = kbProtocol::DetectReader(line, identity);
        FUZZ_CHECK(found == 0 || found == 1);
        KbBlockBuffer buffer{};
        if (kbProtocol::ReadMemoryBlock(line, 61, buffer, identity))
            FUZZ_CHECK(XorOf(buffer.data(), kbBlockSize + 1) == 0);
    }

    // The read procedure, through the driver layer over the same bytes.
    Script script{data, size};
    ScriptedPlatform platform(script);
    CKBIO kb(platform);
    FUZZ_CHECK(kb.Open() == CKBIO::OpenResult::Ok);
    CTovaskDoc doc;
    doc.image = FuzzStartImage();
    doc.DecodeImage();
    const ConfigImage imageBefore = doc.image;
    const TemplateRecord recordBefore = doc.record;
    PanelessHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindPS2, false, nullptr, &kb, nullptr};
    ReadOverPS2(ctx);

    FUZZ_CHECK(sink.messages.size() == 1);
    FUZZ_CHECK(host.busyNotice.empty());
    const std::string shown = sink.messages.empty() ? std::string() : sink.messages.front();
    if (shown == msg::readingOk) {
        TemplateRecord decoded;
        DecodeImage(doc.image, decoded);
        FUZZ_CHECK(doc.record == decoded);
        FUZZ_CHECK(host.panelUpdates == 1);
        CheckImageRoundTrip(doc.image);
    } else if (shown == ReadErrorText(61) || shown == ReadErrorText(62)) {
        FUZZ_CHECK(doc.image == DefaultImage());
        FUZZ_CHECK(doc.record == recordBefore);
    } else {
        FUZZ_CHECK(shown == msg::ps2ReadNotDetected || shown == msg::ps2ReadNoDriver);
        FUZZ_CHECK(doc.image == imageBefore);
        FUZZ_CHECK(doc.record == recordBefore);
    }
    // Every wait is one of the 200 ms after a block try: at most ten of them.
    FUZZ_CHECK(sleeper.waits.size() <= 10);
    return 0;
}
