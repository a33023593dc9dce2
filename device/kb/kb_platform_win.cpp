// The keyboard port on Windows: the platform family from the version query,
// the keyboard-port driver \\.\KBport on the NT family, and the keyboard
// controller's ports on the 9x family.
#include <windows.h>

#include "device/kb/kb_io.h"

namespace {

class KbPortDriver : public IKbDriver {
public:
    explicit KbPortDriver(HANDLE handle) : m_handle(handle) {}
    ~KbPortDriver() override { CloseHandle(m_handle); }
    KbPortDriver(const KbPortDriver&) = delete;
    KbPortDriver& operator=(const KbPortDriver&) = delete;

    bool Control(std::uint32_t code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                 std::size_t outLength, std::uint32_t& returned) override
    {
        DWORD got = 0;
        const BOOL ok = DeviceIoControl(m_handle, code, const_cast<std::uint8_t*>(in), static_cast<DWORD>(inLength),
                                        out, static_cast<DWORD>(outLength), &got, nullptr);
        returned = got;
        return ok != FALSE;
    }

private:
    HANDLE m_handle;
};

// Port I/O from user mode, as the 9x family allows it.
class ControllerPorts : public IKbPorts {
public:
    std::uint8_t In(std::uint16_t port) override
    {
        std::uint8_t value;
        __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(port));
        return value;
    }
    void Out(std::uint16_t port, std::uint8_t value) override
    {
        __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(port));
    }
};

class WindowsKbPlatform : public IKbPlatform {
public:
    bool QueryPlatformId(int& id) override
    {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!GetVersionExA(&info))
            return false;
        id = static_cast<int>(info.dwPlatformId);
        return true;
    }
    std::unique_ptr<IKbDriver> OpenDriver() override
    {
        HANDLE handle = CreateFileA("\\\\.\\KBport", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<KbPortDriver>(handle);
    }
    IKbPorts* Ports() override { return &m_ports; }

private:
    ControllerPorts m_ports;
};

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version query takes the 148-byte structure");

}  // namespace

std::unique_ptr<IKbPlatform> CreateSystemKbPlatform() { return std::make_unique<WindowsKbPlatform>(); }
