// The keyboard port on Linux: driver access, where the driver is our own
// protocol layer over the kernel's raw serio device bound to the keyboard
// port (/dev/serio_raw0, or the device named by TOVASK_KBPORT).
#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "device/kb/kb_io.h"
#include "device/kb/kb_serio.h"

SerioStream::SerioStream(int fd, int readTimeoutMs, int writeTimeoutMs)
    : m_fd(fd), m_readTimeoutMs(readTimeoutMs), m_writeTimeoutMs(writeTimeoutMs)
{
}

SerioStream::~SerioStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<SerioStream> SerioStream::Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::make_unique<SerioStream>(fd);
}

int SerioStream::Poll(short events, int timeoutMs)
{
    pollfd p{m_fd, events, 0};
    int n;
    do {
        n = ::poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return -1;
    return n == 0 ? 0 : p.revents;
}

bool SerioStream::Write(std::uint8_t value)
{
    const int ready = Poll(POLLOUT, m_writeTimeoutMs);
    if (ready <= 0 || !(ready & POLLOUT))
        return false;
    ssize_t n;
    do {
        n = ::write(m_fd, &value, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

int SerioStream::Read(std::uint8_t& value)
{
    const int ready = Poll(POLLIN, m_readTimeoutMs);
    if (ready <= 0)
        return ready;
    if (!(ready & POLLIN))
        return -1;  // hung up or failed with nothing left to read
    ssize_t got;
    do {
        got = ::read(m_fd, &value, 1);
    } while (got < 0 && errno == EINTR);
    if (got == 1)
        return 1;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    return -1;
}

void SerioStream::Discard()
{
    // Bounded, so that a line that never stops talking cannot hold us here.
    std::uint8_t byte = 0;
    for (int i = 0; i < 256 && Poll(POLLIN, 0) > 0; ++i) {
        ssize_t got;
        do {
            got = ::read(m_fd, &byte, 1);
        } while (got < 0 && errno == EINTR);
        if (got != 1)
            break;
    }
}

std::string KbPortDevicePath()
{
    const char* path = std::getenv("TOVASK_KBPORT");
    return path && *path ? path : "/dev/serio_raw0";
}

namespace {

class LinuxKbPlatform : public IKbPlatform {
public:
    bool QueryPlatformId(int& id) override
    {
        id = 2;
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override
    {
        std::unique_ptr<SerioStream> stream = SerioStream::Open(KbPortDevicePath());
        if (!stream)
            return nullptr;
        return std::make_unique<KbLineDriver>(std::move(stream));
    }
    IKbPorts* Ports() override { return nullptr; }
};

}  // namespace

std::unique_ptr<IKbPlatform> CreateSystemKbPlatform() { return std::make_unique<LinuxKbPlatform>(); }
