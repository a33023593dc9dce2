#include "cli/run_control.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

std::atomic<int> g_signal{0};
HANDLE g_ended = nullptr;  // set when the run has said how it ended

// Runs on a thread of its own while the main thread goes on, so a transfer is
// never cut: the flag is looked at between readers. Closing the console, a
// log-off or a shut-down ends the process when this returns, so those wait
// until the run has ended and said so (the system allows a few seconds).
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT: signal = SIGINT; break;
    case CTRL_BREAK_EVENT: signal = SIGBREAK; break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: signal = SIGTERM; break;
    default: return FALSE;
    }
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
    if (signal == SIGTERM && g_ended)
        WaitForSingleObject(g_ended, INFINITE);
    return TRUE;
}

std::string Cause(int err) { return std::strerror(err); }

}  // namespace

void CatchEndSignals()
{
    g_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void HoldEndSignals(bool) {}  // the handler never interrupts the main thread

int EndSignal() { return g_signal.load(); }

void RunEnded()
{
    if (g_ended)
        SetEvent(g_ended);
}

bool WaitForEnter()
{
    std::string answer;
    return std::getline(std::cin, answer) && !g_signal.load();
}

SyncedLog::~SyncedLog()
{
    if (m_own && m_fd >= 0)
        _close(m_fd);
}

bool SyncedLog::Open(const std::string& path, std::string& error)
{
    if (path == "-") {
        m_fd = _fileno(stdout);
        m_own = false;
        return true;
    }
    m_fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    m_own = m_fd >= 0;
    if (m_fd < 0)
        error = Cause(errno);
    return m_fd >= 0;
}

bool SyncedLog::Append(const std::string& line, std::string& error)
{
    struct _stat64 st = {};
    const bool regular = _fstat64(m_fd, &st) == 0 && (st.st_mode & _S_IFREG);
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const int n = _write(m_fd, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n <= 0) {
            error = n < 0 ? Cause(errno) : "nothing could be written";
            // A part line would spoil the file for every reader of it.
            if (regular && done > 0)
                _chsize_s(m_fd, st.st_size);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (regular && _commit(m_fd) != 0) {
        error = Cause(errno);
        return false;
    }
    return true;
}

void BinaryStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
