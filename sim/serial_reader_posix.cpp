// The simulated reader's line: a pseudo-terminal, served on demand (Pump) or
// from a background thread.
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

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

SimSerialReader::SimSerialReader(SimReaderMemory& memory, Line line) : m_memory(memory)
{
    if (line == Line::InProcess) {
        m_inProcess = true;
        return;
    }
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

    // The name handed to the program is a link in a folder of our own, so
    // that unplugging can take it away; in TMPDIR when it is set.
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/tovask-sim-XXXXXX";
    if (::mkdtemp(folder.data())) {
        m_linkFolder = folder;
        m_devicePath = m_linkFolder + "/ttySIM0";
        if (::symlink(m_slavePath.c_str(), m_devicePath.c_str()) != 0)
            m_devicePath = m_slavePath;
    } else {
        m_devicePath = m_slavePath;
    }
}

void SimSerialReader::SetUnplugged(bool unplugged)
{
    if (m_inProcess) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unplugged = unplugged;
        return;
    }
    if (m_linkFolder.empty())
        return;
    if (unplugged)
        ::unlink(m_devicePath.c_str());
    else if (::symlink(m_slavePath.c_str(), m_devicePath.c_str()) != 0 && errno != EEXIST)
        m_error = Errno("symlink");
}

SimSerialReader::~SimSerialReader()
{
    Stop();
    for (int fd : {m_master, m_slaveHolder, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
    if (!m_linkFolder.empty()) {
        ::unlink(m_devicePath.c_str());
        ::rmdir(m_linkFolder.c_str());
    }
}

void SimSerialReader::PumpLocked()
{
    if (m_master < 0) {
        SendDue();
        return;
    }
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

void SimSerialReader::WriteAll(const std::uint8_t* bytes, std::size_t count)
{
    if (m_inProcess) {
        m_toProgram.insert(m_toProgram.end(), bytes, bytes + count);
        return;
    }
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

void SimSerialReader::SetHoldCts(bool hold)
{
    if (m_inProcess) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ctsHeld = hold;
        return;
    }
    if (m_slaveHolder >= 0)
        ::tcflow(m_slaveHolder, hold ? TCOOFF : TCOON);
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
    WakeServer();
    m_thread.join();
    char drain[16];
    while (::read(m_wake[0], drain, sizeof drain) > 0) {
    }
}

void SimSerialReader::WakeServer()
{
    if (m_wake[1] < 0)
        return;
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(m_wake[1], &wake, 1);
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
        if (r > 0 && (fds[1].revents & POLLIN)) {
            char drain[16];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }
        Pump();
        if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR)))
            ::poll(nullptr, 0, 10);  // the line is down; do not spin
    }
}
