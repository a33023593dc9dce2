// The serial backend on termios. The port is held exclusively: TIOCEXCL keeps
// other users out, and a lock on the device keeps out a second opener
// running as root, which TIOCEXCL lets through. Reads never wait. A write
// waits for CTS before it hands over a single byte (a USB-serial adapter
// would otherwise hold the bytes in its own buffer, where no flush reaches
// them and the close waits for them), is bounded in time, and waits within
// the same bound until the driver's output queue has drained, so that
// "written" means the bytes left the port. The close never waits for output.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "device/com/com_port.h"
#include "device/com/serial_line.h"
#include "device/trace.h"

namespace {

class TermiosBackend : public ISerialBackend, private ISerialLineOps {
public:
    ~TermiosBackend() override { Close(); }

    bool Open(const std::string& device) override
    {
        Close();
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Fail(device);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            m_error = errno == EWOULDBLOCK ? "the port is in use" : std::strerror(errno);
            ::close(fd);
            return false;
        }
        termios tio{};
        if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &tio) != 0) {
            m_error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        // 9600 baud, 8 data bits, no parity, 1 stop bit; CTS gates our
        // output and RTS is raised while the port can take bytes.
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
        tio.c_cflag |= CS8 | CLOCAL | CREAD | CRTSCTS;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
            m_error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        // Modem lines are missing on some devices (pseudo-terminals): a DTR
        // that cannot be raised is no reason to refuse the port.
        int dtr = TIOCM_DTR;
        ::ioctl(fd, TIOCMBIS, &dtr);
        ::tcflush(fd, TCIFLUSH);
        m_fd = fd;
        m_error.clear();
        return true;
    }

    void Close() override
    {
        if (m_fd < 0)
            return;
        // Whatever is still queued is dropped, and the driver is told not to
        // wait for output at the close (its default is 30 s, spent polling an
        // adapter whose CTS is low). Drivers without the setting, or that
        // refuse it to a user, keep their own wait; the CTS check before
        // every write keeps their queue empty.
        // (Only when something is queued: on a pseudo-terminal the flush
        // would drop what the other side has not read yet.)
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0 || pending > 0)
            ::tcflush(m_fd, TCOFLUSH);
        serial_struct serial{};
        if (::ioctl(m_fd, TIOCGSERIAL, &serial) == 0 && serial.closing_wait != ASYNC_CLOSING_WAIT_NONE) {
            serial.closing_wait = ASYNC_CLOSING_WAIT_NONE;
            if (::ioctl(m_fd, TIOCSSERIAL, &serial) != 0 && TraceOn())
                Trace(std::string("serial: the driver's closing wait stays: ") + std::strerror(errno));
        }
        // Give up the exclusive mode before the close: the kernel clears it
        // only when the last user closes, which another opener may delay.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);  // releases the lock
        m_fd = -1;
    }

    bool IsOpen() const override { return m_fd >= 0; }

    bool Write(const std::uint8_t* bytes, int count, int timeoutMs) override
    {
        if (m_fd < 0 || count < 0)
            return false;
        return GatedSerialWrite(*this, DefaultSleeper(), bytes, count, timeoutMs, m_error);
    }

    int Read(std::uint8_t* buffer, int max) override
    {
        if (m_fd < 0 || max <= 0)
            return 0;
        ssize_t n;
        do {
            n = ::read(m_fd, buffer, static_cast<std::size_t>(max));
        } while (n < 0 && errno == EINTR);
        return n > 0 ? static_cast<int>(n) : 0;
    }

    std::string ErrorText() const override { return m_error; }

private:
    Cts ReadCts() override
    {
        int lines = 0;
        if (::ioctl(m_fd, TIOCMGET, &lines) == 0)
            return (lines & TIOCM_CTS) ? Cts::Up : Cts::Down;
        // No modem lines at all (a pseudo-terminal): nothing gates the output.
        return errno == ENOTTY || errno == EINVAL ? Cts::Up : Cts::Failed;
    }

    bool Send(const std::uint8_t* bytes, int count, int timeoutMs, std::string& why) override
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
        auto left = [&] {
            return static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        };
        int done = 0;
        while (done < count) {
            const ssize_t n = ::write(m_fd, bytes + done, static_cast<std::size_t>(count - done));
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                why = std::strerror(errno);
                return false;
            }
            if (left() <= 0) {
                why = "the line did not take the bytes in time";
                return false;
            }
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, left());
        }
        for (;;) {
            int pending = 0;
            if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0) {
                why = std::string("the line's output queue cannot be read: ") + std::strerror(errno);
                return false;
            }
            if (pending <= 0)
                return true;
            if (left() <= 0) {
                why = "the line did not send the bytes in time";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void Discard() override { ::tcflush(m_fd, TCOFLUSH); }

    bool Fail(const std::string& device)
    {
        m_error = device + ": " + std::strerror(errno);
        return false;
    }

    int m_fd = -1;
    std::string m_error;
};

}  // namespace

std::unique_ptr<ISerialBackend> CreateDefaultSerialBackend() { return std::make_unique<TermiosBackend>(); }
