// Whatever the serial reader answers: the read procedure accepts exactly the
// replies the reply rules allow, takes the image from them, and leaves the
// document's image and record as they were when it refuses.
#include <algorithm>
#include <deque>
#include <memory>
#include <string>

#include "device/com/com_port.h"
#include "device/com/com_reply.h"
#include "device/transfer.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "model/message_sink.h"
#include "model/tovask_doc.h"

namespace {

// A port whose received bytes are the fuzz input; every write goes out.
class ScriptedPort : public ISerialBackend {
public:
    explicit ScriptedPort(std::deque<std::uint8_t>& incoming) : m_incoming(incoming) {}
    bool Open(const std::string&) override { return m_open = true; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool Write(const std::uint8_t*, int, int) override { return m_open; }
    int Read(std::uint8_t* buffer, int max) override
    {
        int n = 0;
        while (n < max && !m_incoming.empty()) {
            buffer[n++] = m_incoming.front();
            m_incoming.pop_front();
        }
        return n;
    }

private:
    std::deque<std::uint8_t>& m_incoming;
    bool m_open = false;
};

// The reply rules, stated on their own: the last non-zero byte among the
// received ones is 0xEE; a 0xEF among the first 150 bytes of the buffer;
// 65 bytes decoded after it, each starting below position 150, that XOR
// to 0; more than 128 bytes received.
ComReply Expected(const std::uint8_t* buffer, int count, ConfigImage& image)
{
    int last = -1;
    for (int i = 0; i < count; ++i)
        if (buffer[i] != 0)
            last = i;
    if (last < 0 || buffer[last] != 0xEE)
        return ComReply::WrongPacket;
    const std::uint8_t* start = std::find(buffer, buffer + 150, 0xEF);
    // Each byte begins at a position below 150; its second character may lie just past it.
    if (start == buffer + 150 || (start + 1 - buffer) + 2 * 64 >= 150 || count <= 128)
        return ComReply::Rejected;
    std::uint8_t check = 0;
    ConfigImage decoded{};
    for (int k = 0; k < 65; ++k) {
        const std::uint8_t b = static_cast<std::uint8_t>((start[1 + 2 * k] & 0x0F) | (start[2 + 2 * k] & 0x0F) << 4);
        if (k < imageSize)
            decoded[k] = b;
        check ^= b;
    }
    if (check != 0)
        return ComReply::Rejected;
    image = decoded;
    return ComReply::Accepted;
}

}  // namespace

int FuzzComReply(const std::uint8_t* data, std::size_t size)
{
    // The reply check on its own, over the 180-byte receive buffer.
    std::array<std::uint8_t, CComPort::readBlockSize> buffer{};
    const int count = static_cast<int>(std::min<std::size_t>(size, buffer.size()));
    std::copy_n(data, count, buffer.begin());
    const ConfigImage before = FuzzStartImage();
    ConfigImage image = before;
    ConfigImage expectedImage = before;
    const ComReply got = CheckComReply(buffer.data(), count, image);
    FUZZ_CHECK(got == Expected(buffer.data(), count, expectedImage));
    FUZZ_CHECK(image == expectedImage);
    if (got != ComReply::Accepted)
        FUZZ_CHECK(image == before);

    // The whole read procedure with these bytes on the line.
    std::deque<std::uint8_t> incoming(data, data + size);
    static bool overridden = false;
    if (!overridden) {
        SetComDeviceOverride(1, "scripted");
        overridden = true;
    }
    CComPort com(std::make_unique<ScriptedPort>(incoming));
    CTovaskDoc doc;
    doc.image = before;
    doc.DecodeImage();
    const TemplateRecord recordBefore = doc.record;
    PanelessHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindCOM1, true, &com, nullptr, nullptr};
    ReadOverCOM(ctx);

    FUZZ_CHECK(sink.messages.size() == 1);
    FUZZ_CHECK(!com.IsOpen());
    const std::string shown = sink.messages.empty() ? std::string() : sink.messages.front();
    switch (got) {
    case ComReply::Accepted:
        FUZZ_CHECK(shown == msg::readingOk);
        FUZZ_CHECK(doc.image == expectedImage);
        FUZZ_CHECK(host.panelUpdates == 1);
        {
            TemplateRecord decoded;
            DecodeImage(expectedImage, decoded);
            FUZZ_CHECK(doc.record == decoded);
        }
        CheckImageRoundTrip(doc.image);
        break;
    case ComReply::WrongPacket:
    case ComReply::Rejected:
        FUZZ_CHECK(shown == (got == ComReply::WrongPacket ? msg::wrongPacket : msg::comReadingError));
        FUZZ_CHECK(doc.image == before);
        FUZZ_CHECK(doc.record == recordBefore);
        FUZZ_CHECK(host.panelUpdates == 0);
        break;
    }
    return 0;
}
