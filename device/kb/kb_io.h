// The platform layers under the keyboard-port link, and the reader's byte
// protocol on the keyboard line, written once for every kind of line.
//
// Direct access drives the keyboard controller's ports; driver access sends
// one 48-byte request per operation to a keyboard-port driver. On Linux our
// own driver layer (KbLineDriver) does the driver's work over the kernel's
// raw serio device, speaking the same protocol as direct access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "device/sleeper.h"

namespace kbPort {
constexpr std::uint16_t data = 0x60;
constexpr std::uint16_t status = 0x64;
constexpr std::uint16_t masterMask = 0x21;
constexpr std::uint16_t slaveMask = 0xA1;
constexpr std::uint8_t outputFull = 0x01;  // status bit 0: a byte waits at the data port
constexpr std::uint8_t inputFull = 0x02;   // status bit 1: the controller has not taken the last byte
}  // namespace kbPort

namespace kbByte {
constexpr std::uint8_t identify = 0xE9;
constexpr std::uint8_t readBlock = 0xE6;
constexpr std::uint8_t writeBlock = 0xE7;
constexpr std::uint8_t ack = 0xFA;
constexpr std::uint8_t identifyFirst = 0xD6;
constexpr std::uint8_t nibbleBase = 0xD0;
constexpr std::uint8_t writeReplyOr = 0xC0;
}  // namespace kbByte

namespace kbDriver {
constexpr std::uint32_t controlCode = 0x100;
constexpr std::size_t blockSize = 48;
constexpr std::size_t blockNumberByte = 32;
constexpr std::size_t operationByte = 33;
constexpr std::uint8_t opRead = 1;
constexpr std::uint8_t opIdentify = 2;
constexpr std::uint8_t opWrite = 3;
}  // namespace kbDriver

constexpr int kbBlockSize = 32;
using KbIdentity = std::array<std::uint8_t, 6>;
using KbBlockBuffer = std::array<std::uint8_t, kbBlockSize + 1>;  // 32 data bytes, check byte

// The keyboard controller's I/O ports (direct access).
class IKbPorts {
public:
    virtual ~IKbPorts() = default;
    virtual std::uint8_t In(std::uint16_t port) = 0;
    virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
};

// The keyboard-port driver: one device I/O control call per request.
class IKbDriver {
public:
    virtual ~IKbDriver() = default;
    // False when the call itself failed; returned is the number of output bytes.
    virtual bool Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                         std::size_t outLength, std::uint32_t& returned) = 0;
    // The last request ended because the reader stopped answering (rather
    // than with a wrong answer): nothing more should be asked of it in the
    // same command. Drivers that cannot tell say false.
    virtual bool ReaderLost() const { return false; }
};

// What the platform offers the link.
class IKbPlatform {
public:
    virtual ~IKbPlatform() = default;
    // The platform family: 1 = direct access, 2 = driver access. False when
    // the platform could not say.
    virtual bool QueryPlatformId(int& id) = 0;
    // The keyboard-port driver, or null when it cannot be opened.
    virtual std::unique_ptr<IKbDriver> OpenDriver() = 0;
    // The controller's ports for direct access; null where there are none.
    virtual IKbPorts* Ports() = 0;
};

// The platform this program runs on. Linux: driver access over the raw serio
// device named by TOVASK_KBPORT, else the one bound to the keyboard port. Windows: the version
// query, \\.\KBport, and the controller's ports on the 9x family.
std::unique_ptr<IKbPlatform> CreateSystemKbPlatform();

// One byte in each direction on the keyboard line.
class IKbLine {
public:
    virtual ~IKbLine() = default;
    // The next byte from the reader; false when none came in time.
    virtual bool Read(std::uint8_t& value) = 0;
    // The next byte, or 0 when none came in time.
    std::uint8_t ReadData()
    {
        std::uint8_t value = 0;
        return Read(value) ? value : 0;
    }
    // Hands one byte to the keyboard; false when it could not be sent in time.
    virtual bool WriteData(std::uint8_t value) = 0;
    // Drops what is already waiting on the line (keystrokes, a swipe, a late
    // answer to an earlier request) without waiting for more.
    virtual void Discard() {}
    // Set by the protocol when a request ended because the reader left a
    // host byte unacknowledged, gave no identity or stopped in the middle of
    // a reply; cleared when the next request starts.
    bool readerLost = false;
};

// The reader's protocol on any line: identify handshake, block read and
// block write, with the retry counts the reader has always been driven with.
// Whatever waits on the line is dropped before each request. A byte the
// reader leaves unacknowledged after all its sends ends the request, and a
// reply that stops short is a failed reply; either marks the reader lost.
namespace kbProtocol {
// Each host byte is sent up to 99 times, each followed by one read for 0xFA.
constexpr int ackTries = 99;
// The identify answer's first byte, 0xD6, is looked for in this many reads
// (a read that times out counts): a reader may take that long to start.
constexpr int identifyFirstReads = 9;
// The reply to a block write may come once the block is stored: the first
// reply byte is given this many reads (about 250 ms of 20 ms time-outs).
constexpr int writeReplyPatienceReads = 13;
bool SendWithAck(IKbLine& line, std::uint8_t value);
// 0 = reader found (identity filled in), 1 = no reader.
int DetectReader(IKbLine& line, KbIdentity& identity);
// Block k into buffer (32 data bytes and the check byte); true when all 66
// nibble bytes came and the check holds.
bool ReadMemoryBlock(IKbLine& line, std::uint8_t block, KbBlockBuffer& buffer, KbIdentity& identity);
// The first 32 bytes of buffer into block k; true when the reader's reply says so.
bool WriteMemoryBlock(IKbLine& line, std::uint8_t block, const KbBlockBuffer& buffer, KbIdentity& identity);
}  // namespace kbProtocol

// A byte stream to the keyboard line with time-outs (the raw serio device).
class IKbByteStream {
public:
    virtual ~IKbByteStream() = default;
    virtual bool Write(std::uint8_t value) = 0;
    // 1: a byte came; 0: none within the time-out; -1: the stream failed.
    virtual int Read(std::uint8_t& value) = 0;
    // Drops the bytes already received, without waiting.
    virtual void Discard() {}
    // The last failed Write was refused because no device took the byte (the
    // controller gave up on it), not because the stream broke.
    virtual bool WriteRefused() const { return false; }
};

// A keyboard-port driver made of our own protocol over a byte stream. A
// request whose operation cannot be carried out returns no bytes; so does
// one whose byte no device took. The call fails only for a malformed
// request or a broken stream; with a reopen function, a stream that broke
// (the device went away) is opened again at the next request. After a block
// write the reader is left 200 ms to store the block before the next request.
class KbLineDriver : public IKbDriver {
public:
    static constexpr int blockStoreWaitMs = 200;
    using Reopen = std::function<std::unique_ptr<IKbByteStream>()>;

    // sleeper, when given, must outlive the driver; else the program's sleeper waits.
    explicit KbLineDriver(std::unique_ptr<IKbByteStream> stream, ISleeper* sleeper = nullptr, Reopen reopen = {});
    bool Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                 std::size_t outLength, std::uint32_t& returned) override;
    bool ReaderLost() const override { return m_readerLost; }

private:
    std::unique_ptr<IKbByteStream> m_stream;
    ISleeper* m_sleeper;
    Reopen m_reopen;
    bool m_readerLost = false;
};
