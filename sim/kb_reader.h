// The simulated reader's keyboard-port face, on the same SimReaderMemory as
// the other faces:
// - SimKbReader: the reader on the keyboard line, answering host bytes with
//   0xFA, the identify answer and the block read and write answers;
// - SimKbController: a keyboard controller with that reader behind it, for
//   direct access (status bits, data port, interrupt mask registers);
// - SimKbStream: the same reader behind a byte stream, as the raw serio
//   device would carry it;
// - SimKbDriver: a keyboard-port driver that serves the 48-byte requests
//   straight from the memory;
// - SimKbPlatform: the platform offering one of the two access methods.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

#include "device/kb/kb_io.h"
#include "sim/reader_memory.h"

class SimKbReader {
public:
    explicit SimKbReader(SimReaderMemory& memory);

    // One byte from the host; the reader's answer goes to the end of out.
    // A new host byte cuts off whatever the reader had not yet sent.
    void Receive(std::uint8_t value, std::deque<std::uint8_t>& out);

    SimReaderMemory& memory;

    // The fifth identity byte (a reader answers 0x01..0xFA).
    std::uint8_t identityFifth = 0x01;
    // Upper 4 bits of the nibble bytes the reader sends; with garbageUpper
    // they change from byte to byte instead.
    std::uint8_t nibbleUpper = 0xD0;
    bool garbageUpper = false;
    // The three bytes that end a block write the reader took.
    std::array<std::uint8_t, 3> writeReply{0x40, 0x80, 0x00};
    // Per block: how many of the next reads go out with a wrong check byte (-1: all).
    std::map<int, int> failReads;
    // After this many host bytes the reader falls silent for good (-1: never).
    int answerLimit = -1;
    // After sending this many bytes in all, the reader falls silent for good
    // (-1: never); it may stop in the middle of an answer.
    int sendLimit = -1;
    // In the middle of a block write: once it has taken this many of the
    // block's nibble bytes, the reader falls silent for good (-1: never).
    int silentInWriteAfter = -1;

    struct LineByte {
        bool fromHost;
        std::uint8_t value;
        bool operator==(const LineByte&) const = default;
    };
    // Every byte on the line, both directions, in order.
    std::vector<LineByte> line;
    int hostBytes = 0;
    int sentBytes = 0;
    int blockWrites = 0;

private:
    enum class State { Idle, OffsetLow, OffsetHigh, WriteData };
    void Send(std::uint8_t value, std::deque<std::uint8_t>& out);
    void SendNibbles(std::uint8_t value, std::deque<std::uint8_t>& out);
    void AnswerRead(std::deque<std::uint8_t>& out);
    void FinishWrite(std::deque<std::uint8_t>& out);

    State m_state = State::Idle;
    std::uint8_t m_command = 0;
    unsigned m_offset = 0;
    std::vector<std::uint8_t> m_nibbles;
    unsigned m_upperCounter = 0;
};

class SimKbController : public IKbPorts {
public:
    explicit SimKbController(SimKbReader& reader);

    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    SimKbReader& reader;
    std::deque<std::uint8_t> output;  // bytes waiting at the data port
    // The keyboard never takes a byte: status bit 1 stays set.
    bool inputStuck = false;
    std::uint8_t masterMask = 0xB8;
    std::uint8_t slaveMask = 0x8F;
    // Bytes sent to the keyboard while its interrupt or the mouse's was unmasked.
    int unmaskedSends = 0;
    long long statusReads = 0;

private:
    std::uint8_t m_lastData = 0;
};

// The reader behind a byte stream, on a clock of its own: a read that finds
// nothing spends its time-out, and the test moves the clock on by the
// sleeper's waits (Advance), so what a command spends can be added up.
class SimKbStream : public IKbByteStream {
public:
    explicit SimKbStream(SimKbReader& reader, int readTimeoutMs = 20) : m_reader(reader), m_readTimeoutMs(readTimeoutMs) {}
    bool Write(std::uint8_t value) override;
    int Read(std::uint8_t& value) override;
    void Discard() override;

    void Advance(int ms) { nowMs += ms; }
    // Bytes on the line that the reader did not send (keystrokes, a swipe).
    void Inject(std::initializer_list<std::uint8_t> bytes);

    // The stream breaks after this many writes (-1: never).
    int breakAfterWrites = -1;
    // After each block it stored, the reader is busy for busyMs: host bytes
    // are lost, or with busyAnswersLate taken but answered only once the
    // time is over.
    int busyMs = 0;
    bool busyAnswersLate = false;
    // The reply to a block write comes this long after the block's last byte.
    int writeReplyDelayMs = 0;
    // The identify answer starts this long after the reader acknowledged 0xE9.
    int identifyDelayMs = 0;
    // Once the reader has taken this many host bytes (-1: never), it ignores
    // the line for stallMs, as a device holding the clock: bytes sent
    // meanwhile are lost. Then it answers again.
    int stallAfterHostBytes = -1;
    int stallMs = 0;

    long long nowMs = 0;
    int timeouts = 0;  // reads that found nothing
    int lostBytes = 0;  // host bytes the busy reader did not take

private:
    struct Held {
        long long at;
        std::uint8_t value;
    };
    void Hold(std::deque<std::uint8_t>& bytes, long long at);

    SimKbReader& m_reader;
    int m_readTimeoutMs;
    std::deque<std::uint8_t> m_output;  // sent at once
    std::deque<Held> m_held;            // comes later, in order
    long long m_busyUntil = 0;
    int m_writes = 0;
    bool m_stalled = false;
};

class SimKbDriver : public IKbDriver {
public:
    explicit SimKbDriver(SimReaderMemory& memory) : memory(memory) {}
    bool Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                 std::size_t outLength, std::uint32_t& returned) override;

    SimReaderMemory& memory;
    bool refuse = false;  // the control call fails
    bool silent = false;  // the call succeeds with no bytes
    // Per block: how many of the next reads or writes return no bytes (-1: all).
    std::map<int, int> failReads;
    std::map<int, int> failWrites;

    struct Request {
        std::uint8_t operation;
        std::uint8_t block;
        bool operator==(const Request&) const = default;
    };
    std::vector<Request> requests;
};

class SimKbPlatform : public IKbPlatform {
public:
    // platformId 1: direct access to a simulated controller; 2: the simulated driver.
    SimKbPlatform(SimReaderMemory& memory, int platformId);

    bool QueryPlatformId(int& id) override;
    std::unique_ptr<IKbDriver> OpenDriver() override;
    IKbPorts* Ports() override { return &controller; }

    int platformId;
    bool versionFails = false;
    bool driverMissing = false;
    int driverOpens = 0;
    SimKbReader reader;
    SimKbController controller{reader};
    SimKbDriver driver;
};

// True once per consumed failure: counts down a per-block fault table.
bool TakeBlockFault(std::map<int, int>& faults, int block);
