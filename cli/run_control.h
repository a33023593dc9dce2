// What ends a run of the tool, and the one file it keeps on disk as it goes.
// The signals that ask a run to end (SIGINT, SIGTERM, SIGHUP; on Windows
// Ctrl+C, Ctrl+Break and closing the console) are caught for the whole run:
// they set a flag that the run looks at between transfers, and while a
// transfer runs they are held, so no frame is cut in half. A signal that was
// ignored when the tool started (nohup, a background job) stays ignored.
// A closed pipe on standard output is a failed write, not a signal.
#pragma once

#include <string>

// Catches the end signals and ignores SIGPIPE; once, at start.
void CatchEndSignals();

// Holds the end signals back (true) during a transfer, or lets them in again;
// holds nest.
void HoldEndSignals(bool hold);

// The signal that asked the run to end (SIGINT is 2), or 0.
int EndSignal();

// 128 + the signal: the exit code of a run that a signal ended.
inline int EndSignalExitCode() { return 128 + EndSignal(); }

// The run has ended and said so: on Windows a console being closed waits for
// this before the system ends the process.
void RunEnded();

// A log kept line by line: each line is written whole, flushed and synced to
// the disk before Append returns; a line that cannot be written whole is
// taken back, so the file holds only whole lines. "-" is standard output.
class SyncedLog {
public:
    SyncedLog() = default;
    SyncedLog(const SyncedLog&) = delete;
    SyncedLog& operator=(const SyncedLog&) = delete;
    ~SyncedLog();
    // Opens (creates) the file for appending; false with the cause in error.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return m_fd >= 0; }
    // Appends the line and a newline; false with the cause in error.
    bool Append(const std::string& line, std::string& error);

private:
    int m_fd = -1;
    bool m_own = false;  // not standard output
};

// Waits for a line on standard input (Enter): false at the end of the input,
// or when an end signal came while waiting.
bool WaitForEnter();

// Standard input and output carry bytes as they are (Windows would turn
// 0x0A into 0x0D 0x0A); for template files given as "-".
void BinaryStandardStreams();
