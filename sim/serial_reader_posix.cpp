#include "sim/serial_reader.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

SimSerialReader::SimSerialReader(SimReaderMemory& memory) : m_memory(memory)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        m_error = Errno("posix_openpt");
        return;
    }
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        m_error = Errno("pseudo-terminal set-up");
        ::close(master);
        return;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    // Holding the slave open keeps the master readable while the program has
    // the port closed. The line is raw: no echo, no line editing, 8 bits.
    const int holder = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (holder < 0) {
        m_error = Errno("open slave");
        ::close(master);
        return;
    }
    termios tio{};
    if (::tcgetattr(holder, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(holder, TCSANOW, &tio);
    }
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_error = Errno("pipe");
        ::close(holder);
        ::close(master);
        m_wake[0] = m_wake[1] = -1;
        return;
    }
    m_master = master;
    m_slaveHolder = holder;
    m_slavePath = name;
}

SimSerialReader::~SimSerialReader()
{
    Stop();
    for (int fd : {m_master, m_slaveHolder, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

long long SimSerialReader::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SimSerialReader::Pump()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PumpLocked();
}

void SimSerialReader::PumpLocked()
{
    if (m_master < 0)
        return;
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_received.insert(m_received.end(), buffer, buffer + n);
        for (ssize_t i = 0; i < n; ++i)
            Take(buffer[i]);
    }
    SendDue();
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
        std::vector<std::uint8_t> reply = BuildReply(m_memory.Image());
        if (m_faults.garbleIndex >= 0 && m_faults.garbleIndex < static_cast<int>(reply.size()))
            reply[m_faults.garbleIndex] ^= 0x01;
        m_pending.push_back({std::move(reply), NowMs() + std::max(m_faults.lateMs, 0)});
    } else if (code == imageFollows) {
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
    for (auto it = m_pending.begin(); it != due; ++it)
        WriteAll(it->bytes.data(), it->bytes.size());
    m_pending.erase(m_pending.begin(), due);
}

void SimSerialReader::WriteAll(const std::uint8_t* bytes, std::size_t count)
{
    std::size_t done = 0;
    int stalls = 0;
    while (done < count && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        // The line is full: the program is not reading. Give it a moment, then drop the rest.
        if (++stalls > 20)
            return;
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 50);
    }
}

void SimSerialReader::Swipe(const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    WriteAll(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> SimSerialReader::SampleCard()
{
    const std::string card =
        "%B4000123456789010^SAMPLE/CARD^29121010000000000000?\r"
        ";4000123456789010=29121010000000000000?\r";
    return std::vector<std::uint8_t>(card.begin(), card.end());
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
    m_faults = faults;
}

SimSerialReader::Faults SimSerialReader::GetFaults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

void SimSerialReader::SetHoldCts(bool hold)
{
    if (m_slaveHolder >= 0)
        ::tcflow(m_slaveHolder, hold ? TCOOFF : TCOON);
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

void SimSerialReader::Start()
{
    if (m_thread.joinable() || m_master < 0)
        return;
    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
}

void SimSerialReader::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(m_wake[1], &wake, 1);
    m_thread.join();
    char drain[16];
    while (::read(m_wake[0], drain, sizeof drain) > 0) {
    }
}

void SimSerialReader::Serve()
{
    while (!m_stop) {
        int timeout = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (const PendingReply& r : m_pending) {
                const long long left = std::max(0LL, r.dueMs - NowMs());
                timeout = timeout < 0 ? static_cast<int>(left) : std::min(timeout, static_cast<int>(left));
            }
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, timeout);
        if (m_stop)
            break;
        if (r < 0 && errno != EINTR)
            break;
        Pump();
        if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR)))
            ::poll(nullptr, 0, 10);  // the line is down; do not spin
    }
}
