#include <algorithm>

#include "device/kb/kb_io.h"

namespace kbProtocol {

namespace {

constexpr int ackTries = 99;
constexpr int identifyAttempts = 9;
constexpr int identifyFirstTries = 9;
constexpr int blockReplyBytes = 78;  // 66 nibble bytes, the rest ignored
constexpr int writeReplyBytes = 3;

// Two bytes from the reader, high nibble first, in their low 4 bits.
std::uint8_t ReadNibblePair(IKbLine& line)
{
    const std::uint8_t high = line.ReadData() & 0x0F;
    const std::uint8_t low = line.ReadData() & 0x0F;
    return static_cast<std::uint8_t>(high << 4 | low);
}

int NoReader(IKbLine& line)
{
    line.ReadData();
    line.ReadData();
    return 1;
}

void SendOffset(IKbLine& line, std::uint8_t command, std::uint8_t block)
{
    const unsigned offset = block * 32u;
    SendWithAck(line, command);
    SendWithAck(line, static_cast<std::uint8_t>(offset & 0xFF));
    SendWithAck(line, static_cast<std::uint8_t>(offset >> 8));
}

// To the reader a byte goes as two nibble bytes, low nibble first.
void SendNibbles(IKbLine& line, std::uint8_t value)
{
    SendWithAck(line, static_cast<std::uint8_t>(kbByte::nibbleBase + (value & 0x0F)));
    SendWithAck(line, static_cast<std::uint8_t>(kbByte::nibbleBase + (value >> 4)));
}

}  // namespace

bool SendWithAck(IKbLine& line, std::uint8_t value)
{
    for (int i = 0; i < ackTries; ++i)
        if (line.WriteData(value) && line.ReadData() == kbByte::ack)
            return true;
    return false;
}

int DetectReader(IKbLine& line, KbIdentity& identity)
{
    if (!SendWithAck(line, kbByte::identify))
        return NoReader(line);
    for (int attempt = 0; attempt < identifyAttempts; ++attempt) {
        std::uint8_t first = 0;
        for (int i = 0; i < identifyFirstTries; ++i) {
            first = line.ReadData();
            if (first == kbByte::identifyFirst)
                break;
        }
        std::uint8_t answer[5];
        for (std::uint8_t& b : answer)
            b = ReadNibblePair(line);
        if (first == kbByte::identifyFirst && answer[0] == 0xAA && answer[1] == 0x5A && answer[2] == 0xFF
            && answer[3] == 0x55 && answer[4] >= 0x01 && answer[4] <= 0xFA) {
            identity[0] = first;
            std::copy(answer, answer + 5, identity.begin() + 1);
            return 0;
        }
        if (!SendWithAck(line, kbByte::identify))
            return NoReader(line);
    }
    return NoReader(line);
}

bool ReadMemoryBlock(IKbLine& line, std::uint8_t block, KbBlockBuffer& buffer, KbIdentity& identity)
{
    if (DetectReader(line, identity) != 0)
        return false;
    SendOffset(line, kbByte::readBlock, block);
    // A reader that falls silent would otherwise pass for a block of zeros,
    // whose check holds.
    std::uint8_t reply[blockReplyBytes] = {};
    bool complete = true;
    for (int i = 0; i < blockReplyBytes; ++i)
        if (!line.Read(reply[i]) && i < 2 * static_cast<int>(buffer.size()))
            complete = false;
    std::uint8_t check = 0;
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<std::uint8_t>((reply[2 * i] & 0x0F) << 4 | (reply[2 * i + 1] & 0x0F));
        check ^= buffer[i];
    }
    return complete && check == 0;
}

bool WriteMemoryBlock(IKbLine& line, std::uint8_t block, const KbBlockBuffer& buffer, KbIdentity& identity)
{
    if (DetectReader(line, identity) != 0)
        return false;
    SendOffset(line, kbByte::writeBlock, block);
    std::uint8_t check = 0;
    for (int i = 0; i < kbBlockSize; ++i) {
        SendNibbles(line, buffer[i]);
        check ^= buffer[i];
    }
    SendNibbles(line, check);
    std::uint8_t reply = 0;
    for (int i = 0; i < writeReplyBytes; ++i)
        reply |= line.ReadData();
    return reply == kbByte::writeReplyOr;
}

}  // namespace kbProtocol

namespace {

// The byte stream as a keyboard line: a time-out reads as 0, and a broken
// stream is remembered so that the request can fail as a whole.
class StreamLine : public IKbLine {
public:
    explicit StreamLine(IKbByteStream& stream) : m_stream(stream) {}
    bool Read(std::uint8_t& value) override
    {
        if (broken)
            return false;
        const int got = m_stream.Read(value);
        if (got < 0)
            broken = true;
        return got > 0;
    }
    bool WriteData(std::uint8_t value) override
    {
        if (broken)
            return false;
        if (!m_stream.Write(value)) {
            broken = true;
            return false;
        }
        return true;
    }
    bool broken = false;

private:
    IKbByteStream& m_stream;
};

}  // namespace

KbLineDriver::KbLineDriver(std::unique_ptr<IKbByteStream> stream) : m_stream(std::move(stream)) {}

bool KbLineDriver::Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                           std::size_t outLength, std::uint32_t& returned)
{
    returned = 0;
    if (code != kbDriver::controlCode || !m_stream || !in || !out || inLength < kbDriver::blockSize
        || outLength < kbDriver::blockSize)
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
        break;
    default:
        return false;
    }
    if (line.broken)
        return false;
    if (done)
        returned = static_cast<std::uint32_t>(kbDriver::blockSize);
    return true;
}
