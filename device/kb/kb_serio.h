// The kernel's raw serio device as a byte stream with time-outs (POSIX only).
#pragma once

#include <memory>
#include <string>

#include "device/kb/kb_io.h"

// TOVASK_KBPORT, or /dev/serio_raw0.
std::string KbPortDevicePath();

class SerioStream : public IKbByteStream {
public:
    // About the time the controller's poll counts used to take on a PC:
    // 20,000 status reads for a byte to come, 200,000 for one to leave.
    static constexpr int defaultReadTimeoutMs = 20;
    static constexpr int defaultWriteTimeoutMs = 200;

    // Takes over fd.
    explicit SerioStream(int fd, int readTimeoutMs = defaultReadTimeoutMs, int writeTimeoutMs = defaultWriteTimeoutMs);
    ~SerioStream() override;
    SerioStream(const SerioStream&) = delete;
    SerioStream& operator=(const SerioStream&) = delete;

    // Null when the device cannot be opened.
    static std::unique_ptr<SerioStream> Open(const std::string& path);

    bool Write(std::uint8_t value) override;
    int Read(std::uint8_t& value) override;
    void Discard() override;

private:
    // The events that are ready, 0 after the time-out, -1 on failure.
    int Poll(short events, int timeoutMs);

    int m_fd;
    int m_readTimeoutMs;
    int m_writeTimeoutMs;
};
