// The serial backend on the Win32 communications calls. Reads return at once
// with what has arrived (ReadIntervalTimeout MAXDWORD, no totals); a write
// that the line does not take within its bound (CTS held low) ends there,
// with fewer bytes written, and fails.
#include <windows.h>

#include "device/com/com_port.h"
#include "model/win_error.h"

namespace {

std::string LastErrorText() { return WindowsErrorText(GetLastError()); }

class Win32SerialBackend : public ISerialBackend {
public:
    ~Win32SerialBackend() override { Close(); }

    bool Open(const std::string& device) override
    {
        Close();
        // Exclusive, synchronous I/O.
        HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            m_error = device + ": " + LastErrorText();
            return false;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle, &dcb)) {
            m_error = LastErrorText();
            CloseHandle(handle);
            return false;
        }
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = TRUE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        if (!SetCommState(handle, &dcb)) {
            m_error = LastErrorText();
            CloseHandle(handle);
            return false;
        }
        m_handle = handle;
        m_writeTimeoutMs = -1;
        SetWriteTimeout(CComPort::defaultWriteTimeoutMs);
        EscapeCommFunction(handle, SETDTR);  // its result does not matter
        m_error.clear();
        return true;
    }

    void Close() override
    {
        if (m_handle == INVALID_HANDLE_VALUE)
            return;
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

    bool IsOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    bool Write(const std::uint8_t* bytes, int count, int timeoutMs) override
    {
        if (!IsOpen() || count < 0)
            return false;
        if (count == 0)
            return true;
        SetWriteTimeout(timeoutMs);
        DWORD written = 0;
        if (!WriteFile(m_handle, bytes, static_cast<DWORD>(count), &written, nullptr)) {
            m_error = LastErrorText();
            return false;
        }
        if (written != static_cast<DWORD>(count)) {
            m_error = "the line did not take the bytes in time";
            return false;
        }
        return true;
    }

    int Read(std::uint8_t* buffer, int max) override
    {
        if (!IsOpen() || max <= 0)
            return 0;
        DWORD got = 0;
        if (!ReadFile(m_handle, buffer, static_cast<DWORD>(max), &got, nullptr))
            return 0;
        return static_cast<int>(got);
    }

    std::string ErrorText() const override { return m_error; }

private:
    // Reads never wait; a write may take timeoutMs in all.
    void SetWriteTimeout(int timeoutMs)
    {
        if (timeoutMs == m_writeTimeoutMs)
            return;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1);
        SetCommTimeouts(m_handle, &timeouts);
        m_writeTimeoutMs = timeoutMs;
    }

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    int m_writeTimeoutMs = -1;
    std::string m_error;
};

}  // namespace

std::unique_ptr<ISerialBackend> CreateDefaultSerialBackend() { return std::make_unique<Win32SerialBackend>(); }
