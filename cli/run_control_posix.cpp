#include "cli/run_control.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_signal = 0;

void OnEndSignal(int signal)
{
    if (g_signal == 0)
        g_signal = signal;
}

sigset_t EndSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kEndSignals)
        sigaddset(&set, s);
    return set;
}

std::string Cause(int err) { return std::strerror(err); }

}  // namespace

void CatchEndSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = OnEndSignal;
    sa.sa_mask = EndSet();
    sa.sa_flags = SA_RESTART;  // a print or a wait goes on; the flag is looked at after it
    for (int s : kEndSignals) {
        struct sigaction old = {};
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(s, &sa, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

void HoldEndSignals(bool hold)
{
    static int depth = 0;  // holds nest: a reader's write and read-back within its whole turn
    depth += hold ? 1 : -1;
    if (depth == (hold ? 1 : 0)) {
        const sigset_t set = EndSet();
        pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
    }
}

int EndSignal() { return g_signal; }

void RunEnded() {}

bool WaitForEnter()
{
    for (;;) {
        if (g_signal)
            return false;
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int r = ::poll(&p, 1, 50);
        if (r < 0 && errno != EINTR)
            return false;
        if (r <= 0)
            continue;
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (c == '\n')
            return !g_signal;
    }
}

SyncedLog::~SyncedLog()
{
    if (m_own && m_fd >= 0)
        ::close(m_fd);
}

bool SyncedLog::Open(const std::string& path, std::string& error)
{
    if (path == "-") {
        m_fd = STDOUT_FILENO;
        m_own = false;
        return true;
    }
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    m_own = m_fd >= 0;
    if (m_fd < 0)
        error = Cause(errno);
    return m_fd >= 0;
}

bool SyncedLog::Append(const std::string& line, std::string& error)
{
    struct stat st = {};
    const bool regular = ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? Cause(errno) : "nothing could be written";
            // A part line would spoil the file for every reader of it.
            if (regular && done > 0) {
                [[maybe_unused]] const int ignored = ::ftruncate(m_fd, st.st_size);
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (regular && ::fsync(m_fd) != 0) {
        error = Cause(errno);
        return false;
    }
    return true;
}

void BinaryStandardStreams() {}
