#include "cli/key_input.h"

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

namespace {

termios savedTerminal;
bool terminalChanged = false;

void RestoreTerminal()
{
    if (terminalChanged)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    terminalChanged = false;
}

extern "C" void OnStopSignal(int signal)
{
    RestoreTerminal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Waits for fd to be readable; false on time-out.
bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    int r;
    while ((r = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return r > 0;
}

class TerminalInput : public KeyInput {
public:
    ~TerminalInput() override { RestoreTerminal(); }
    std::optional<unsigned char> Read(int timeoutMs) override
    {
        if (m_end || !WaitReadable(STDIN_FILENO, timeoutMs))
            return std::nullopt;
        unsigned char c;
        ssize_t n;
        while ((n = read(STDIN_FILENO, &c, 1)) < 0 && errno == EINTR) {
        }
        if (n != 1) {
            m_end = true;
            return std::nullopt;
        }
        return c;
    }
    bool AtEnd() const override { return m_end; }

private:
    bool m_end = false;
};

class EventInput : public DeviceInput {
public:
    explicit EventInput(int fd) : m_fd(fd) {}
    ~EventInput() override { close(m_fd); }
    EventInput(const EventInput&) = delete;
    EventInput& operator=(const EventInput&) = delete;
    std::optional<DeviceKeyEvent> Read(int timeoutMs) override
    {
        for (;;) {
            if (m_end || !WaitReadable(m_fd, timeoutMs))
                return std::nullopt;
            input_event e;
            ssize_t n;
            while ((n = read(m_fd, &e, sizeof e)) < 0 && errno == EINTR) {
            }
            if (n != static_cast<ssize_t>(sizeof e)) {
                m_end = true;
                return std::nullopt;
            }
            if (e.type == EV_KEY)
                return DeviceKeyEvent{e.code, e.value,
                                      static_cast<long long>(e.input_event_sec) * 1000 + e.input_event_usec / 1000};
        }
    }
    bool AtEnd() const override { return m_end; }

private:
    int m_fd;
    bool m_end = false;
};

}  // namespace

std::unique_ptr<KeyInput> OpenTerminalInput(std::string&)
{
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
        termios raw = savedTerminal;
        // Every key as it comes: no echo, no line editing, Enter as CR, no flow
        // control; Ctrl+C still stops the program (the terminal restored).
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        std::signal(SIGINT, OnStopSignal);
        std::signal(SIGTERM, OnStopSignal);
        std::signal(SIGHUP, OnStopSignal);
        terminalChanged = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    return std::make_unique<TerminalInput>();
}

std::unique_ptr<DeviceInput> OpenDeviceInput(const std::string& path, std::string& error)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno) +
                (errno == EACCES ? " (input devices are root's; run as root, or give your user read access)" : "");
        return nullptr;
    }
    return std::make_unique<EventInput>(fd);
}

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
