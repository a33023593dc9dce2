// The keyboard port on Linux: driver access, where the driver is our own
// protocol layer over the kernel's raw serio device bound to the keyboard
// port (found through sysfs, or the device named by TOVASK_KBPORT).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include "device/kb/kb_io.h"
#include "device/kb/kb_serio.h"
#include "device/trace.h"

SerioStream::SerioStream(int fd, int readTimeoutMs, int writeTimeoutMs)
    : m_fd(fd), m_readTimeoutMs(readTimeoutMs), m_writeTimeoutMs(writeTimeoutMs)
{
}

SerioStream::~SerioStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<SerioStream> SerioStream::Open(const std::string& path, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return nullptr;
    }
    // The device keeps one queue for all its openers: a second Tovask would
    // take this one's answers.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = errno == EWOULDBLOCK ? "in use by another program" : std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
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

// serio_raw always reports room to write: the real bound is the keyboard
// controller's own wait inside write(), after which it fails with EIO.
bool SerioStream::Write(std::uint8_t value)
{
    m_writeRefused = false;
    const int ready = Poll(POLLOUT, m_writeTimeoutMs);
    if (ready <= 0 || !(ready & POLLOUT))
        return false;
    ssize_t n;
    do {
        n = ::write(m_fd, &value, 1);
    } while (n < 0 && errno == EINTR);
    // EIO: the keyboard controller waited for the device to take the byte
    // and gave up; the device itself is still there.
    m_writeRefused = n < 0 && errno == EIO;
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

namespace {

// N of a name "serio_rawN", or -1.
long SerioRawNumber(const std::string& name)
{
    const std::string prefix = "serio_raw";
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size())
        return -1;
    long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The lowest-numbered serio_rawN entry of folder, or an empty name.
std::string LowestSerioRaw(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::string best;
    long bestNumber = -1;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const long n = SerioRawNumber(name);
        if (n >= 0 && (bestNumber < 0 || n < bestNumber)) {
            best = name;
            bestNumber = n;
        }
    }
    return best;
}

}  // namespace

std::string FindSerioRawDevice(const std::string& sysRoot, const std::string& devDir)
{
    std::string name = LowestSerioRaw(std::filesystem::path(sysRoot) / "bus/serio/devices/serio0/misc");
    if (name.empty())
        name = LowestSerioRaw(devDir);
    return devDir + "/" + (name.empty() ? "serio_raw0" : name);
}

std::string KbPortDevicePath()
{
    const char* path = std::getenv("TOVASK_KBPORT");
    return path && *path ? path : FindSerioRawDevice("/sys", "/dev");
}

namespace {

std::unique_ptr<IKbByteStream> OpenStream()
{
    const std::string path = KbPortDevicePath();
    std::string error;
    std::unique_ptr<SerioStream> stream = SerioStream::Open(path, &error);
    if (TraceOn())
        Trace("PS2: open " + path + ": " + (stream ? "done" : "failed (" + error + ")"));
    return stream;
}

class LinuxKbPlatform : public IKbPlatform {
public:
    bool QueryPlatformId(int& id) override
    {
        id = 2;
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override
    {
        std::unique_ptr<IKbByteStream> stream = OpenStream();
        if (!stream)
            return nullptr;
        // A device that went away (the port handed back and bound again,
        // under a new number) is looked for and opened afresh.
        return std::make_unique<KbLineDriver>(std::move(stream), nullptr, [] { return OpenStream(); });
    }
    IKbPorts* Ports() override { return nullptr; }
};

}  // namespace

std::unique_ptr<IKbPlatform> CreateSystemKbPlatform() { return std::make_unique<LinuxKbPlatform>(); }
