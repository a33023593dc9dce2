// The simulated reader's serial face. The reader takes a new image from the
// 0xE7 data frame, answers the read request 0xE6 with its image, and sends a
// card's output bytes when a swipe is simulated. Its image lives in the
// shared SimReaderMemory.
//
// Its line is one of two:
// - a pseudo-terminal (POSIX) whose slave side is the "serial port" the
//   program opens with its own serial backend, so the real serial code runs;
// - an in-process line (every platform): the serial backend that
//   InProcessBackend() gives talks to the reader directly.
//
// Two ways to run a pseudo-terminal: Pump() handles what has arrived and
// answers at once (tests call it from RecordingSleeper::onSleep), or Start()
// serves the line from a background thread until Stop() (the editor and the
// command-line tool). The in-process line is served by its backend's calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/com/com_port.h"
#include "model/reader_output.h"
#include "sim/reader_memory.h"

class SimSerialReader {
public:
    // Switches that make the reader misbehave.
    struct Faults {
        bool silent = false;   // read requests get no answer
        int lateMs = 0;        // answers go out this long after the request
        int garbleIndex = -1;  // this byte of each reply has its low bit flipped
        // This character of each data frame arrives with its low bit flipped.
        int garbleFrameIndex = -1;
        // Replies stop halfway; the reader stops listening halfway through
        // a data frame and hears nothing more until the switch is off.
        bool stopMidway = false;
    };

    enum class Line {
        PseudoTerminal,
        InProcess,
        Default,  // a pseudo-terminal where the platform has one
    };

    // Opens the line; see IsOpen and ErrorText.
    explicit SimSerialReader(SimReaderMemory& memory, Line line = Line::Default);
    ~SimSerialReader();
    SimSerialReader(const SimSerialReader&) = delete;
    SimSerialReader& operator=(const SimSerialReader&) = delete;

    bool IsOpen() const { return m_inProcess || m_master >= 0; }
    bool InProcess() const { return m_inProcess; }
    // A serial backend on the in-process line; null on a pseudo-terminal.
    std::unique_ptr<ISerialBackend> InProcessBackend();
    const std::string& ErrorText() const { return m_error; }
    // The pseudo-terminal's own device, e.g. "/dev/pts/3".
    const std::string& SlavePath() const { return m_slavePath; }
    // The name the program opens: a link to the slave side that disappears
    // while the reader is unplugged; empty on the in-process line.
    const std::string& DevicePath() const { return m_devicePath; }
    // Takes the reader's device name away (true) or brings it back (false).
    // A port the program already has open stays usable.
    void SetUnplugged(bool unplugged);

    // Handles every byte that has arrived and sends the answers that are due.
    void Pump();
    // Serves the line from a background thread.
    void Start();
    void Stop();
    bool Running() const { return m_thread.joinable(); }

    // Sends bytes on the line at once, as a reader's output.
    void Swipe(const std::vector<std::uint8_t>& bytes);
    // A card swiped: sends what the template in the reader's memory makes of
    // it, one byte every output delay by the reader's clock.
    void SwipeCard(const CardSwipe& card);
    void SwipeSample() { SwipeCard(SampleSwipe()); }
    // What the reader sends for this card with the template it holds now.
    ReaderOutput OutputFor(const CardSwipe& card) const;
    // The reader's clock in milliseconds (a steady clock unless a test sets one).
    void SetClock(std::function<long long()> nowMs);
    // The answer to a read request for this image: 0xEF, 130 nibble characters, 0xEE.
    static std::vector<std::uint8_t> BuildReply(const ConfigImage& image);

    void SetFaults(const Faults& faults);
    Faults GetFaults() const;
    // Holds the line's CTS low: the program's writes cannot go out.
    void SetHoldCts(bool hold);

    // Everything the program sent since the start or the last ClearReceived.
    std::vector<std::uint8_t> Received() const;
    void ClearReceived();
    int ReadRequests() const;
    int ImagesTaken() const;
    int FramesRejected() const;
    int EndCommands() const;

private:
    friend class InProcessLine;
    struct PendingReply {
        std::vector<std::uint8_t> bytes;
        long long dueMs;
    };
    enum class State { Idle, Command, Data };

    void PumpLocked();
    void Take(std::uint8_t b);
    void OnCommand(std::uint8_t code);
    void OnDataFrameComplete();
    void SendDue();
    void WriteAll(const std::uint8_t* bytes, std::size_t count);
    void Serve();
    // Makes the serving thread look at the queue again.
    void WakeServer();
    long long NowMs() const;

    // The in-process line, both directions, and its switches.
    void TakeFromProgram(const std::uint8_t* bytes, std::size_t count);
    int GiveToProgram(std::uint8_t* buffer, int max);

    SimReaderMemory& m_memory;
    bool m_inProcess = false;
    std::vector<std::uint8_t> m_toProgram;
    bool m_ctsHeld = false;
    bool m_unplugged = false;
    bool m_lineInUse = false;
    int m_master = -1;
    int m_slaveHolder = -1;  // keeps the line up while the program has it closed
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::string m_linkFolder;
    std::string m_devicePath;
    std::string m_error;

    mutable std::mutex m_mutex;
    std::function<long long()> m_clock;
    Faults m_faults;
    State m_state = State::Idle;
    std::uint32_t m_header = 0;  // the last four bytes, for spotting AA 55 FF 00
    std::vector<std::uint8_t> m_data;
    std::vector<std::uint8_t> m_received;
    std::vector<PendingReply> m_pending;
    int m_readRequests = 0;
    int m_imagesTaken = 0;
    int m_framesRejected = 0;
    int m_endCommands = 0;

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};
