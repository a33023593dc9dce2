// The reader's side of the serial protocol, the same on every platform; the
// line itself is in serial_reader_posix.cpp (a pseudo-terminal).
#include "sim/serial_reader.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr std::uint32_t commandHeader = 0xAA55FF00;
constexpr std::uint8_t readRequest = 0xE6;
constexpr std::uint8_t imageFollows = 0xE7;
constexpr std::uint8_t endOfWrite = 0xE8;
constexpr std::size_t dataCharacters = 2 * (imageSize + 1);

bool IsNibbleCharacter(std::uint8_t c) { return c >= 0x30 && c <= 0x3F; }

void AppendNibbles(std::vector<std::uint8_t>& out, std::uint8_t b)
{
    out.push_back(static_cast<std::uint8_t>(0x30 + (b & 0x0F)));
    out.push_back(static_cast<std::uint8_t>(0x30 + (b >> 4)));
}

}  // namespace

// The in-process line: what the program writes goes to the reader at once,
// what the reader sends waits here until the program reads it.
class InProcessLine : public ISerialBackend {
public:
    explicit InProcessLine(SimSerialReader& reader) : m_reader(reader) {}
    ~InProcessLine() override { Close(); }

    bool Open(const std::string&) override
    {
        Close();
        std::lock_guard<std::mutex> lock(m_reader.m_mutex);
        if (m_reader.m_unplugged) {
            m_error = "the simulated reader is unplugged";
            return false;
        }
        if (m_reader.m_lineInUse) {
            m_error = "the port is in use";
            return false;
        }
        m_reader.m_lineInUse = m_open = true;
        m_reader.SendDue();
        m_reader.m_toProgram.clear();
        return true;
    }
    void Close() override
    {
        if (!m_open)
            return;
        std::lock_guard<std::mutex> lock(m_reader.m_mutex);
        m_reader.m_lineInUse = m_open = false;
    }
    bool IsOpen() const override { return m_open; }
    bool Write(const std::uint8_t* bytes, int count, int) override
    {
        std::lock_guard<std::mutex> lock(m_reader.m_mutex);
        if (!m_open || count < 0)
            return false;
        if (m_reader.m_ctsHeld) {
            m_error = "the line did not take the bytes in time";
            return false;
        }
        m_reader.TakeFromProgram(bytes, static_cast<std::size_t>(count));
        return true;
    }
    int Read(std::uint8_t* buffer, int max) override
    {
        std::lock_guard<std::mutex> lock(m_reader.m_mutex);
        return m_open ? m_reader.GiveToProgram(buffer, max) : 0;
    }
    std::string ErrorText() const override { return m_error; }

private:
    SimSerialReader& m_reader;
    bool m_open = false;
    std::string m_error;
};

std::unique_ptr<ISerialBackend> SimSerialReader::InProcessBackend()
{
    return m_inProcess ? std::make_unique<InProcessLine>(*this) : nullptr;
}

void SimSerialReader::TakeFromProgram(const std::uint8_t* bytes, std::size_t count)
{
    m_received.insert(m_received.end(), bytes, bytes + count);
    for (std::size_t i = 0; i < count; ++i)
        Take(bytes[i]);
    SendDue();
}

int SimSerialReader::GiveToProgram(std::uint8_t* buffer, int max)
{
    SendDue();
    const int n = std::min(max, static_cast<int>(m_toProgram.size()));
    if (n <= 0)
        return 0;
    std::copy_n(m_toProgram.begin(), n, buffer);
    m_toProgram.erase(m_toProgram.begin(), m_toProgram.begin() + n);
    return n;
}

void SimSerialReader::SetClock(std::function<long long()> nowMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock = std::move(nowMs);
}

long long SimSerialReader::NowMs() const
{
    if (m_clock)
        return m_clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SimSerialReader::Pump()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PumpLocked();
}

void SimSerialReader::Take(std::uint8_t b)
{
    switch (m_state) {
    case State::Idle:
        m_header = (m_header << 8) | b;
        if (m_header == commandHeader)
            m_state = State::Command;
        return;
    case State::Command:
        m_header = 0;
        m_state = State::Idle;
        OnCommand(b);
        return;
    case State::Data:
        if (m_faults.stopMidway && m_data.size() >= dataCharacters / 2)
            return;
        if (static_cast<int>(m_data.size()) == m_faults.garbleFrameIndex)
            b ^= 0x01;
        if (!IsNibbleCharacter(b)) {
            // A broken frame: drop it and look at this byte afresh.
            ++m_framesRejected;
            m_state = State::Idle;
            Take(b);
            return;
        }
        m_data.push_back(b);
        if (m_data.size() == dataCharacters) {
            m_state = State::Idle;
            OnDataFrameComplete();
        }
        return;
    }
}

void SimSerialReader::OnCommand(std::uint8_t code)
{
    if (code == readRequest) {
        ++m_readRequests;
        if (m_faults.silent)
            return;
        std::vector<std::uint8_t> reply = BuildReply(m_memory.AnswerImage());
        if (m_faults.garbleIndex >= 0 && m_faults.garbleIndex < static_cast<int>(reply.size()))
            reply[m_faults.garbleIndex] ^= 0x01;
        if (m_faults.stopMidway)
            reply.resize(reply.size() / 2);
        m_pending.push_back({std::move(reply), NowMs() + std::max(m_faults.lateMs, 0)});
    } else if (code == imageFollows) {
        TraceWriteCommand("the serial line");
        m_data.clear();
        m_state = State::Data;
    } else if (code == endOfWrite) {
        ++m_endCommands;
    }
}

void SimSerialReader::OnDataFrameComplete()
{
    ConfigImage image{};
    std::uint8_t check = 0;
    for (int k = 0; k <= imageSize; ++k) {
        const auto b = static_cast<std::uint8_t>((m_data[2 * k] & 0x0F) | ((m_data[2 * k + 1] & 0x0F) << 4));
        if (k < imageSize)
            image[k] = b;
        check ^= b;
    }
    if (check != 0) {
        ++m_framesRejected;
        return;
    }
    m_memory.SetImage(image);
    ++m_memory.imageWrites;
    ++m_imagesTaken;
}

void SimSerialReader::SendDue()
{
    const long long now = NowMs();
    auto due = std::stable_partition(m_pending.begin(), m_pending.end(),
                                     [now](const PendingReply& r) { return r.dueMs <= now; });
    // One write for all that is due: a reader on the other end of a
    // pseudo-terminal then finds it all at once, as it would from a UART's
    // receive buffer, rather than the first of many pieces.
    std::vector<std::uint8_t> bytes;
    for (auto it = m_pending.begin(); it != due; ++it)
        bytes.insert(bytes.end(), it->bytes.begin(), it->bytes.end());
    m_pending.erase(m_pending.begin(), due);
    if (!bytes.empty())
        WriteAll(bytes.data(), bytes.size());
}

void SimSerialReader::Swipe(const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    WriteAll(bytes.data(), bytes.size());
}

ReaderOutput SimSerialReader::OutputFor(const CardSwipe& card) const
{
    TemplateRecord record;
    DecodeImage(m_memory.Image(), record);
    return ReaderOutputFor(record, card);
}

void SimSerialReader::SwipeCard(const CardSwipe& card)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const ReaderOutput out = OutputFor(card);
    // Queued behind anything still going out, one byte per output delay.
    long long due = NowMs();
    for (const PendingReply& r : m_pending)
        due = std::max(due, r.dueMs + out.byteDelayMs);
    for (std::uint8_t b : out.bytes) {
        m_pending.push_back({{b}, due});
        due += out.byteDelayMs;
    }
    SendDue();
    WakeServer();
}

std::vector<std::uint8_t> SimSerialReader::BuildReply(const ConfigImage& image)
{
    std::vector<std::uint8_t> reply;
    reply.reserve(2 + dataCharacters);
    reply.push_back(0xEF);
    std::uint8_t check = 0;
    for (std::uint8_t b : image) {
        AppendNibbles(reply, b);
        check ^= b;
    }
    AppendNibbles(reply, check);
    reply.push_back(0xEE);
    return reply;
}

void SimSerialReader::SetFaults(const Faults& faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A reader put right forgets the late answers it has not sent yet.
    if (faults.lateMs <= 0 && m_faults.lateMs > 0)
        m_pending.clear();
    m_faults = faults;
}

SimSerialReader::Faults SimSerialReader::GetFaults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

std::vector<std::uint8_t> SimSerialReader::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void SimSerialReader::ClearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
}

int SimSerialReader::ReadRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_readRequests;
}

int SimSerialReader::ImagesTaken() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_imagesTaken;
}

int SimSerialReader::FramesRejected() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_framesRejected;
}

int SimSerialReader::EndCommands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_endCommands;
}
