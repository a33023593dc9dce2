#include <algorithm>

#include "device/kb/kb_io.h"

namespace kbProtocol {

namespace {

constexpr int identifyAttempts = 9;
constexpr int blockReplyBytes = 66;  // 32 data bytes and the check byte, as nibble bytes
constexpr int writeReplyBytes = 3;

// A request ends here because the reader stopped answering.
bool Lost(IKbLine& line)
{
    line.readerLost = true;
    return false;
}

// count bytes from the reader into out; false as soon as one does not come.
bool ReadReply(IKbLine& line, std::uint8_t* out, int count)
{
    for (int i = 0; i < count; ++i)
        if (!line.Read(out[i]))
            return Lost(line);
    return true;
}

// Two bytes from the reader, high nibble first, in their low 4 bits.
std::uint8_t NibblePair(const std::uint8_t* bytes)
{
    return static_cast<std::uint8_t>((bytes[0] & 0x0F) << 4 | (bytes[1] & 0x0F));
}

int NoReader(IKbLine& line)
{
    Lost(line);
    line.Discard();
    return 1;
}

bool SendOffset(IKbLine& line, std::uint8_t command, std::uint8_t block)
{
    const unsigned offset = block * 32u;
    line.Discard();
    return SendWithAck(line, command) && SendWithAck(line, static_cast<std::uint8_t>(offset & 0xFF))
           && SendWithAck(line, static_cast<std::uint8_t>(offset >> 8));
}

// To the reader a byte goes as two nibble bytes, low nibble first.
bool SendNibbles(IKbLine& line, std::uint8_t value)
{
    return SendWithAck(line, static_cast<std::uint8_t>(kbByte::nibbleBase + (value & 0x0F)))
           && SendWithAck(line, static_cast<std::uint8_t>(kbByte::nibbleBase + (value >> 4)));
}

// One identify answer: 0xD6 within nine reads (a time-out reads as 0), then
// ten nibble bytes.
bool TakeIdentity(IKbLine& line, KbIdentity& identity)
{
    std::uint8_t first = 0;
    for (int i = 0; i < identifyFirstReads && first != kbByte::identifyFirst; ++i)
        first = line.ReadData();
    if (first != kbByte::identifyFirst)
        return false;
    std::uint8_t nibbles[10];
    if (!ReadReply(line, nibbles, 10))
        return false;
    std::uint8_t answer[5];
    for (int i = 0; i < 5; ++i)
        answer[i] = NibblePair(nibbles + 2 * i);
    if (answer[0] != 0xAA || answer[1] != 0x5A || answer[2] != 0xFF
        || answer[3] != 0x55 || answer[4] < 0x01 || answer[4] > 0xFA)
        return false;
    identity[0] = first;
    std::copy(answer, answer + 5, identity.begin() + 1);
    return true;
}

}  // namespace

bool SendWithAck(IKbLine& line, std::uint8_t value)
{
    for (int i = 0; i < ackTries; ++i) {
        std::uint8_t answer = 0;
        if (line.WriteData(value) && line.Read(answer) && answer == kbByte::ack)
            return true;
    }
    return Lost(line);
}

int DetectReader(IKbLine& line, KbIdentity& identity)
{
    line.readerLost = false;
    line.Discard();
    if (!SendWithAck(line, kbByte::identify))
        return NoReader(line);
    for (int attempt = 0; attempt < identifyAttempts; ++attempt) {
        if (TakeIdentity(line, identity))
            return 0;
        line.Discard();
        if (!SendWithAck(line, kbByte::identify))
            return NoReader(line);
    }
    return NoReader(line);
}

bool ReadMemoryBlock(IKbLine& line, std::uint8_t block, KbBlockBuffer& buffer, KbIdentity& identity)
{
    if (DetectReader(line, identity) != 0 || !SendOffset(line, kbByte::readBlock, block))
        return false;
    // A reader that falls silent would otherwise pass for a block of zeros,
    // whose check holds.
    std::uint8_t reply[blockReplyBytes];
    if (!ReadReply(line, reply, blockReplyBytes))
        return false;
    std::uint8_t check = 0;
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = NibblePair(reply + 2 * i);
        check ^= buffer[i];
    }
    return check == 0;
}

bool WriteMemoryBlock(IKbLine& line, std::uint8_t block, const KbBlockBuffer& buffer, KbIdentity& identity)
{
    if (DetectReader(line, identity) != 0 || !SendOffset(line, kbByte::writeBlock, block))
        return false;
    std::uint8_t check = 0;
    for (int i = 0; i < kbBlockSize; ++i) {
        if (!SendNibbles(line, buffer[i]))
            return false;
        check ^= buffer[i];
    }
    if (!SendNibbles(line, check))
        return false;
    std::uint8_t reply[writeReplyBytes] = {};
    bool first = false;
    for (int i = 0; i < writeReplyPatienceReads && !first; ++i)
        first = line.Read(reply[0]);
    if (!first)
        return Lost(line);
    if (!ReadReply(line, reply + 1, writeReplyBytes - 1))
        return false;
    return (reply[0] | reply[1] | reply[2]) == kbByte::writeReplyOr;
}

}  // namespace kbProtocol

namespace {

// The byte stream as a keyboard line: a time-out reads as 0; a broken stream
// is remembered so that the request can fail as a whole, and a refused byte
// so that it ends as one without a reader.
class StreamLine : public IKbLine {
public:
    explicit StreamLine(IKbByteStream& stream) : m_stream(stream) {}
    bool WriteData(std::uint8_t value) override
    {
        if (broken || refused)
            return false;
        if (!m_stream.Write(value)) {
            // No device took the byte: the request ends as one without a
            // reader, at once (every further try would cost the
            // controller's own wait again).
            if (m_stream.WriteRefused())
                refused = true;
            else
                broken = true;
            return false;
        }
        return true;
    }
    bool Read(std::uint8_t& value) override
    {
        if (broken || refused)
            return false;
        const int got = m_stream.Read(value);
        if (got < 0)
            broken = true;
        return got > 0;
    }
    void Discard() override
    {
        if (!broken && !refused)
            m_stream.Discard();
    }
    bool broken = false;
    bool refused = false;

private:
    IKbByteStream& m_stream;
};

}  // namespace

KbLineDriver::KbLineDriver(std::unique_ptr<IKbByteStream> stream, ISleeper* sleeper, Reopen reopen)
    : m_stream(std::move(stream)), m_sleeper(sleeper), m_reopen(std::move(reopen))
{
}

bool KbLineDriver::Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                           std::size_t outLength, std::uint32_t& returned)
{
    returned = 0;
    m_readerLost = false;
    if (code != kbDriver::controlCode || !in || !out || inLength < kbDriver::blockSize
        || outLength < kbDriver::blockSize)
        return false;
    if (!m_stream && m_reopen)
        m_stream = m_reopen();
    if (!m_stream)
        return false;
    StreamLine line(*m_stream);
    KbIdentity identity{};
    KbBlockBuffer buffer{};
    const std::uint8_t block = in[kbDriver::blockNumberByte];
    bool done = false;
    switch (in[kbDriver::operationByte]) {
    case kbDriver::opIdentify:
        done = kbProtocol::DetectReader(line, identity) == 0;
        if (done)
            std::copy(identity.begin(), identity.end(), out);
        break;
    case kbDriver::opRead:
        done = kbProtocol::ReadMemoryBlock(line, block, buffer, identity);
        if (done)
            std::copy_n(buffer.begin(), kbBlockSize, out);
        break;
    case kbDriver::opWrite:
        std::copy_n(in, kbBlockSize, buffer.begin());
        done = kbProtocol::WriteMemoryBlock(line, block, buffer, identity);
        // A reader busy storing the block would answer the next request
        // late and put the byte stream out of step.
        if (!line.broken && !line.refused)
            (m_sleeper ? *m_sleeper : DefaultSleeper()).Sleep(blockStoreWaitMs);
        break;
    default:
        return false;
    }
    m_readerLost = line.readerLost;
    if (line.broken) {
        // The device went away (or failed): with a way to open it again,
        // that is tried at the next request.
        if (m_reopen)
            m_stream.reset();
        return false;
    }
    if (done)
        returned = static_cast<std::uint32_t>(kbDriver::blockSize);
    return true;
}
