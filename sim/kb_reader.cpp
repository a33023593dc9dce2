#include "sim/kb_reader.h"

#include <algorithm>

bool TakeBlockFault(std::map<int, int>& faults, int block)
{
    auto it = faults.find(block);
    if (it == faults.end() || it->second == 0)
        return false;
    if (it->second > 0)
        --it->second;
    return true;
}

SimKbReader::SimKbReader(SimReaderMemory& mem) : memory(mem) {}

void SimKbReader::Send(std::uint8_t value, std::deque<std::uint8_t>& out)
{
    if (sendLimit >= 0 && sentBytes >= sendLimit)
        return;
    ++sentBytes;
    out.push_back(value);
    line.push_back({false, value});
}

void SimKbReader::SendNibbles(std::uint8_t value, std::deque<std::uint8_t>& out)
{
    for (std::uint8_t nibble : {static_cast<std::uint8_t>(value >> 4), static_cast<std::uint8_t>(value & 0x0F)}) {
        std::uint8_t upper = nibbleUpper & 0xF0;
        if (garbageUpper)
            upper = static_cast<std::uint8_t>((0x30 + 0x50 * m_upperCounter++) & 0xF0);
        Send(static_cast<std::uint8_t>(upper | nibble), out);
    }
}

void SimKbReader::Receive(std::uint8_t value, std::deque<std::uint8_t>& out)
{
    const bool silent = answerLimit >= 0 && hostBytes >= answerLimit;
    ++hostBytes;
    if (silent) {
        line.push_back({true, value});
        return;
    }
    // What the reader had not sent yet is dropped when the host speaks;
    // those bytes are the newest in the log.
    line.resize(line.size() - out.size());
    out.clear();
    line.push_back({true, value});

    if (value == kbByte::identify) {
        m_state = State::Idle;
        Send(kbByte::ack, out);
        Send(kbByte::identifyFirst, out);
        for (std::uint8_t b : {std::uint8_t{0xAA}, std::uint8_t{0x5A}, std::uint8_t{0xFF}, std::uint8_t{0x55}, identityFifth})
            SendNibbles(b, out);
        return;
    }
    Send(kbByte::ack, out);
    switch (m_state) {
    case State::Idle:
        if (value == kbByte::readBlock || value == kbByte::writeBlock) {
            m_command = value;
            m_state = State::OffsetLow;
        }
        break;
    case State::OffsetLow:
        m_offset = value;
        m_state = State::OffsetHigh;
        break;
    case State::OffsetHigh:
        m_offset |= static_cast<unsigned>(value) << 8;
        if (m_command == kbByte::readBlock) {
            m_state = State::Idle;
            AnswerRead(out);
        } else {
            m_nibbles.clear();
            m_state = State::WriteData;
        }
        break;
    case State::WriteData:
        m_nibbles.push_back(value & 0x0F);
        if (silentInWriteAfter >= 0 && static_cast<int>(m_nibbles.size()) >= silentInWriteAfter) {
            answerLimit = hostBytes;
            break;
        }
        if (m_nibbles.size() == 2 * (kbBlockSize + 1)) {
            m_state = State::Idle;
            FinishWrite(out);
        }
        break;
    }
}

void SimKbReader::AnswerRead(std::deque<std::uint8_t>& out)
{
    const int block = static_cast<int>(m_offset / kbBlockSize);
    std::uint8_t bytes[SimReaderMemory::blockSize];
    memory.AnswerBlock(block, bytes);
    std::uint8_t check = 0;
    for (int i = 0; i < kbBlockSize; ++i) {
        SendNibbles(bytes[i], out);
        check ^= bytes[i];
    }
    if (TakeBlockFault(failReads, block))
        check ^= 0x01;
    SendNibbles(check, out);
}

void SimKbReader::FinishWrite(std::deque<std::uint8_t>& out)
{
    std::uint8_t bytes[kbBlockSize + 1];
    std::uint8_t check = 0;
    for (int i = 0; i <= kbBlockSize; ++i) {
        bytes[i] = static_cast<std::uint8_t>(m_nibbles[2 * i] | m_nibbles[2 * i + 1] << 4);
        check ^= bytes[i];
    }
    if (check != 0) {
        for (std::uint8_t b : {std::uint8_t{0x3F}, std::uint8_t{0x00}, std::uint8_t{0x00}})
            Send(b, out);
        return;
    }
    const int block = static_cast<int>(m_offset / kbBlockSize);
    if (block == SimReaderMemory::imageFirstBlock)
        TraceWriteCommand("the keyboard port");
    std::copy_n(bytes, kbBlockSize, memory.Block(block));
    ++blockWrites;
    if (block == SimReaderMemory::imageFirstBlock + 1)
        ++memory.imageWrites;
    for (std::uint8_t b : writeReply)
        Send(b, out);
}

SimKbController::SimKbController(SimKbReader& r) : reader(r) {}

std::uint8_t SimKbController::In(std::uint16_t port)
{
    switch (port) {
    case kbPort::status:
        ++statusReads;
        return static_cast<std::uint8_t>((output.empty() ? 0 : kbPort::outputFull) | (inputStuck ? kbPort::inputFull : 0));
    case kbPort::data:
        if (!output.empty()) {
            m_lastData = output.front();
            output.pop_front();
        }
        return m_lastData;
    case kbPort::masterMask:
        return masterMask;
    case kbPort::slaveMask:
        return slaveMask;
    default:
        return 0xFF;
    }
}

void SimKbController::Out(std::uint16_t port, std::uint8_t value)
{
    switch (port) {
    case kbPort::data:
        if ((masterMask & 0x1A) != 0x1A || (slaveMask & 0x10) != 0x10)
            ++unmaskedSends;
        reader.Receive(value, output);
        break;
    case kbPort::masterMask:
        masterMask = value;
        break;
    case kbPort::slaveMask:
        slaveMask = value;
        break;
    default:
        break;
    }
}

bool SimKbStream::Write(std::uint8_t value)
{
    if (breakAfterWrites >= 0 && m_writes >= breakAfterWrites)
        return false;
    ++m_writes;
    if (!m_stalled && stallAfterHostBytes >= 0 && m_reader.hostBytes >= stallAfterHostBytes) {
        m_stalled = true;
        m_busyUntil = std::max(m_busyUntil, nowMs + stallMs);
    }
    const bool busy = nowMs < m_busyUntil;
    if (busy && !busyAnswersLate) {
        ++lostBytes;
        return true;
    }
    const int stored = m_reader.blockWrites;
    if (busy) {
        std::deque<std::uint8_t> answer;
        m_reader.Receive(value, answer);
        Hold(answer, m_busyUntil);
    } else {
        m_reader.Receive(value, m_output);
    }
    // The acknowledgement goes at once, the identify answer later.
    if (value == kbByte::identify && identifyDelayMs > 0 && m_output.size() > 1) {
        std::deque<std::uint8_t> answer(m_output.begin() + 1, m_output.end());
        m_output.resize(1);
        Hold(answer, nowMs + identifyDelayMs);
    }
    if (m_reader.blockWrites != stored) {
        m_busyUntil = nowMs + busyMs;
        // The acknowledgement of the check byte goes at once, the reply later.
        if (writeReplyDelayMs > 0 && m_output.size() > 1) {
            std::deque<std::uint8_t> reply(m_output.begin() + 1, m_output.end());
            m_output.resize(1);
            Hold(reply, nowMs + writeReplyDelayMs);
        }
    }
    return true;
}

void SimKbStream::Hold(std::deque<std::uint8_t>& bytes, long long at)
{
    for (std::uint8_t b : bytes)
        m_held.push_back({std::max(at, m_held.empty() ? at : m_held.back().at), b});
    bytes.clear();
}

void SimKbStream::Inject(std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes)
        m_held.push_back({nowMs, b});
}

int SimKbStream::Read(std::uint8_t& value)
{
    if (breakAfterWrites >= 0 && m_writes >= breakAfterWrites)
        return -1;
    // Bytes held back were produced before anything sent at once since.
    if (!m_held.empty() && m_held.front().at <= nowMs + m_readTimeoutMs
        && (m_output.empty() || m_held.front().at <= nowMs)) {
        nowMs = std::max(nowMs, m_held.front().at);
        value = m_held.front().value;
        m_held.pop_front();
        return 1;
    }
    if (!m_output.empty()) {
        value = m_output.front();
        m_output.pop_front();
        return 1;
    }
    nowMs += m_readTimeoutMs;
    ++timeouts;
    return 0;
}

void SimKbStream::Discard()
{
    m_output.clear();
    while (!m_held.empty() && m_held.front().at <= nowMs)
        m_held.pop_front();
}

bool SimKbDriver::Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                          std::size_t outLength, std::uint32_t& returned)
{
    returned = 0;
    if (refuse || code != kbDriver::controlCode || inLength != kbDriver::blockSize || outLength != kbDriver::blockSize)
        return false;
    const std::uint8_t operation = in[kbDriver::operationByte];
    const std::uint8_t block = in[kbDriver::blockNumberByte];
    requests.push_back({operation, block});
    if (silent)
        return true;
    switch (operation) {
    case kbDriver::opIdentify: {
        const std::uint8_t identity[] = {0xD6, 0xAA, 0x5A, 0xFF, 0x55, 0x01};
        std::copy(identity, identity + 6, out);
        break;
    }
    case kbDriver::opRead:
        if (TakeBlockFault(failReads, block))
            return true;
        memory.AnswerBlock(block, out);
        break;
    case kbDriver::opWrite:
        if (block == SimReaderMemory::imageFirstBlock)
            TraceWriteCommand("the keyboard port");
        if (TakeBlockFault(failWrites, block))
            return true;
        std::copy_n(in, kbBlockSize, memory.Block(block));
        if (block == SimReaderMemory::imageFirstBlock + 1)
            ++memory.imageWrites;
        break;
    default:
        return false;
    }
    returned = static_cast<std::uint32_t>(kbDriver::blockSize);
    return true;
}

namespace {

// Hands the platform's one simulated driver to the link without giving it away.
class DriverHandle : public IKbDriver {
public:
    explicit DriverHandle(IKbDriver& driver) : m_driver(driver) {}
    bool Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                 std::size_t outLength, std::uint32_t& returned) override
    {
        return m_driver.Control(code, in, inLength, out, outLength, returned);
    }

private:
    IKbDriver& m_driver;
};

}  // namespace

SimKbPlatform::SimKbPlatform(SimReaderMemory& memory, int id) : platformId(id), reader(memory), driver(memory) {}

bool SimKbPlatform::QueryPlatformId(int& id)
{
    if (versionFails)
        return false;
    id = platformId;
    return true;
}

std::unique_ptr<IKbDriver> SimKbPlatform::OpenDriver()
{
    ++driverOpens;
    if (driverMissing)
        return nullptr;
    return std::make_unique<DriverHandle>(driver);
}
