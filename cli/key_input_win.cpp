#include "cli/key_input.h"

#include <windows.h>

#include <chrono>

namespace {

class ConsoleInput : public KeyInput {
public:
    ConsoleInput(HANDLE in, DWORD savedMode, bool console) : m_in(in), m_savedMode(savedMode), m_console(console) {}
    ~ConsoleInput() override
    {
        if (m_console)
            SetConsoleMode(m_in, m_savedMode);
    }
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;
    std::optional<unsigned char> Read(int timeoutMs) override
    {
        if (m_end)
            return std::nullopt;
        if (m_pending.empty()) {
            if (m_console && WaitForSingleObject(m_in, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) !=
                                 WAIT_OBJECT_0)
                return std::nullopt;
            wchar_t c[2];
            DWORD n = 0;
            if (m_console ? !ReadConsoleW(m_in, c, 1, &n, nullptr) : !ReadFile(m_in, c, 1, &n, nullptr))
                n = 0;
            if (n == 0) {
                m_end = true;
                return std::nullopt;
            }
            if (!m_console)
                return static_cast<unsigned char>(reinterpret_cast<char*>(c)[0]);
            char utf8[8];
            const int size = WideCharToMultiByte(CP_UTF8, 0, c, 1, utf8, sizeof utf8, nullptr, nullptr);
            m_pending.assign(utf8, utf8 + (size > 0 ? size : 0));
            if (m_pending.empty())
                return std::nullopt;
        }
        const unsigned char first = static_cast<unsigned char>(m_pending.front());
        m_pending.erase(m_pending.begin());
        return first;
    }
    bool AtEnd() const override { return m_end; }

private:
    HANDLE m_in;
    DWORD m_savedMode;
    bool m_console;
    bool m_end = false;
    std::string m_pending;
};

}  // namespace

std::unique_ptr<KeyInput> OpenTerminalInput(std::string&)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    if (console)  // every key as it comes; Ctrl+C still stops the program
        SetConsoleMode(in, (mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT);
    return std::make_unique<ConsoleInput>(in, mode, console);
}

std::unique_ptr<DeviceInput> OpenDeviceInput(const std::string&, std::string& error)
{
    error = "--device reads Linux input devices; on Windows swipe into the console instead";
    return nullptr;
}

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
