// The serial link to a reader on COM1 .. COM8: opens the port with the
// reader's fixed line settings, sends the command frames and the image data
// frame, and hands over received bytes without ever waiting for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/sleeper.h"
#include "model/config_image.h"

// What the link needs of the platform's serial port. One object serves one
// open at a time.
class ISerialBackend {
public:
    virtual ~ISerialBackend() = default;
    // Opens the device for exclusive use with 9600 baud, 8 data bits, no
    // parity, 1 stop bit, output held back while CTS is low and RTS on, then
    // raises DTR (a failure to raise it is ignored). False when the device is
    // missing, held or refuses.
    virtual bool Open(const std::string& device) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Hands all count bytes to the line within timeoutMs milliseconds. False
    // on any error, on a partial write, or when the line would not take the
    // bytes in time; what was still queued is then discarded.
    virtual bool Write(const std::uint8_t* bytes, int count, int timeoutMs) = 0;
    // Returns at once with up to max bytes already received; 0 when nothing
    // has arrived or on failure.
    virtual int Read(std::uint8_t* buffer, int max) = 0;
    // The platform's words for the last failure, for diagnostics.
    virtual std::string ErrorText() const { return {}; }
};

// The backend on the platform's serial ports.
std::unique_ptr<ISerialBackend> CreateDefaultSerialBackend();

// The device that "COMn" (n = 1..8) stands for. In order: an in-process
// override, the environment variable TOVASK_COM<n>, the user's setting
// handed in by the editor, else /dev/ttyS<n-1> (on Windows \\.\COMn; the
// Windows backend puts \\.\ before any name given without it).
std::string ComDevicePath(int n);
// In-process overrides, e.g. to serve every COM port from a simulated reader.
// An empty path removes the override.
void SetComDeviceOverride(int n, const std::string& path);
// The user's own name for COMn (the editor's setting "Ports/COM<n>"); an
// empty path removes it.
void SetComDeviceSetting(int n, const std::string& path);
void SetAllComDeviceOverrides(const std::string& path);
void ClearComDeviceOverrides();

class CComPort {
public:
    static constexpr int readBlockSize = 180;
    static constexpr int dataFrameSize = 140;
    static constexpr int commandFrameSize = 5;
    static constexpr std::uint8_t readRequestCode = 0xE6;
    static constexpr std::uint8_t imageCode = 0xE7;
    static constexpr std::uint8_t endCode = 0xE8;
    // How long one write may wait for the line (CTS low) before it fails.
    static constexpr int defaultWriteTimeoutMs = 2000;

    CComPort();
    explicit CComPort(std::unique_ptr<ISerialBackend> backend);
    ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // Opens "COM1" .. "COM8" for n = 1..8; any other n opens "COM1".
    bool OpenPort(int n);
    void ClosePort();
    bool IsOpen() const;

    // One write; true only if all count bytes went out in time.
    bool WriteBytes(const std::uint8_t* bytes, int count);
    // Up to 180 bytes received so far into buffer (at least 180 bytes long);
    // returns at once, 0 when nothing has arrived or on failure.
    int ReadBlock(std::uint8_t* buffer);
    // One byte if one has arrived; returns at once.
    bool ReadByte(std::uint8_t& byte);

    bool SendReadRequest();
    // Command frame 0xE7, 10 ms later the data frame built from transmitBuffer.
    bool SendImage(ISleeper& sleeper = DefaultSleeper());
    bool SendEnd();

    const std::string& PortName() const { return m_portName; }
    const std::string& DevicePath() const { return m_devicePath; }
    std::string ErrorText() const;

    void SetWriteTimeout(int milliseconds) { m_writeTimeoutMs = milliseconds; }
    int WriteTimeout() const { return m_writeTimeoutMs; }

    // The image that SendImage sends.
    ConfigImage transmitBuffer{};

private:
    bool SendCommand(std::uint8_t code);

    std::unique_ptr<ISerialBackend> m_backend;
    std::string m_portName;
    std::string m_devicePath;
    int m_writeTimeoutMs = defaultWriteTimeoutMs;
};
