// The kernel's raw serio device as a byte stream with time-outs (POSIX only).
#pragma once

#include <memory>
#include <string>

#include "device/kb/kb_io.h"

// TOVASK_KBPORT, else FindSerioRawDevice on the system's folders.
std::string KbPortDevicePath();
// The raw serio device bound to the keyboard port: serio_rawN counts up at
// every bind since the module was loaded, so the name is read from sysfs
// (<sysRoot>/bus/serio/devices/serio0/misc/serio_raw*), else the
// lowest-numbered <devDir>/serio_raw* is taken, else <devDir>/serio_raw0.
std::string FindSerioRawDevice(const std::string& sysRoot, const std::string& devDir);

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

    // Opens the device and locks it against a second opener; null, with
    // the reason in error, when it cannot be opened or is locked.
    static std::unique_ptr<SerioStream> Open(const std::string& path, std::string* error = nullptr);

    bool Write(std::uint8_t value) override;
    int Read(std::uint8_t& value) override;
    void Discard() override;
    bool WriteRefused() const override { return m_writeRefused; }

private:
    // The events that are ready, 0 after the time-out, -1 on failure.
    int Poll(short events, int timeoutMs);

    int m_fd;
    int m_readTimeoutMs;
    int m_writeTimeoutMs;
    bool m_writeRefused = false;
};
