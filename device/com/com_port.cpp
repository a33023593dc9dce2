#include "device/com/com_port.h"

#include <array>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "device/trace.h"

namespace {

std::mutex g_overrideMutex;
std::map<int, std::string> g_overrides;
std::map<int, std::string> g_settings;

std::string Lookup(const std::map<int, std::string>& table, int n)
{
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    auto it = table.find(n);
    return it == table.end() ? std::string() : it->second;
}

void Store(std::map<int, std::string>& table, int n, const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    if (path.empty())
        table.erase(n);
    else
        table[n] = path;
}

}  // namespace

std::string ComDevicePath(int n)
{
    std::string path = Lookup(g_overrides, n);
    if (!path.empty())
        return path;
    const std::string number = std::to_string(n);
    if (const char* env = std::getenv(("TOVASK_COM" + number).c_str()); env && *env)
        return env;
    path = Lookup(g_settings, n);
    if (!path.empty())
        return path;
#ifdef _WIN32
    return "\\\\.\\COM" + number;
#else
    return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

void SetComDeviceOverride(int n, const std::string& path) { Store(g_overrides, n, path); }

void SetComDeviceSetting(int n, const std::string& path) { Store(g_settings, n, path); }

void SetAllComDeviceOverrides(const std::string& path)
{
    for (int n = 1; n <= 8; ++n)
        SetComDeviceOverride(n, path);
}

void ClearComDeviceOverrides()
{
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    g_overrides.clear();
}

CComPort::CComPort() : CComPort(CreateDefaultSerialBackend()) {}

CComPort::CComPort(std::unique_ptr<ISerialBackend> backend) : m_backend(std::move(backend)) {}

CComPort::~CComPort()
{
    if (m_backend)
        m_backend->Close();
}

bool CComPort::OpenPort(int n)
{
    if (n < 1 || n > 8)
        n = 1;
    if (m_backend->IsOpen())
        m_backend->Close();
    m_portName = "COM" + std::to_string(n);
    m_devicePath = ComDevicePath(n);
    const bool opened = m_backend->Open(m_devicePath);
    if (TraceOn())
        Trace(m_portName + ": open " + m_devicePath + ": " + (opened ? "done" : "failed (" + ErrorText() + ")"));
    return opened;
}

void CComPort::ClosePort() { m_backend->Close(); }

bool CComPort::IsOpen() const { return m_backend->IsOpen(); }

std::string CComPort::ErrorText() const { return m_backend->ErrorText(); }

bool CComPort::WriteBytes(const std::uint8_t* bytes, int count)
{
    if (!m_backend->IsOpen() || count < 0)
        return false;
    if (count == 0)
        return true;
    return m_backend->Write(bytes, count, m_writeTimeoutMs);
}

int CComPort::ReadBlock(std::uint8_t* buffer)
{
    if (!m_backend->IsOpen())
        return 0;
    const int n = m_backend->Read(buffer, readBlockSize);
    if (TraceOn())
        Trace(m_portName + ": received " + std::to_string(n > 0 ? n : 0) + " bytes"
              + (n > 0 ? ": " + HexBytes(buffer, static_cast<std::size_t>(n)) : std::string()));
    return n > 0 ? n : 0;
}

bool CComPort::ReadByte(std::uint8_t& byte)
{
    if (!m_backend->IsOpen())
        return false;
    std::uint8_t b = 0;
    if (m_backend->Read(&b, 1) != 1)
        return false;
    byte = b;
    return true;
}

bool CComPort::SendCommand(std::uint8_t code)
{
    const std::array<std::uint8_t, commandFrameSize> frame{0xAA, 0x55, 0xFF, 0x00, code};
    const bool sent = WriteBytes(frame.data(), commandFrameSize);
    if (TraceOn())
        Trace(m_portName + ": send " + HexBytes(frame.data(), frame.size()) + ": " + (sent ? "done" : "failed"));
    return sent;
}

bool CComPort::SendReadRequest() { return SendCommand(readRequestCode); }

bool CComPort::SendEnd() { return SendCommand(endCode); }

bool CComPort::SendImage(ISleeper& sleeper)
{
    if (!SendCommand(imageCode))
        return false;
    sleeper.Sleep(10);

    std::array<std::uint8_t, dataFrameSize> frame{};  // ends in ten 0x00
    std::uint8_t check = 0;
    int at = 0;
    for (std::uint8_t b : transmitBuffer) {
        frame[at++] = static_cast<std::uint8_t>(0x30 + (b & 0x0F));
        frame[at++] = static_cast<std::uint8_t>(0x30 + (b >> 4));
        check ^= b;
    }
    frame[at++] = static_cast<std::uint8_t>(0x30 + (check & 0x0F));
    frame[at++] = static_cast<std::uint8_t>(0x30 + (check >> 4));
    const bool sent = WriteBytes(frame.data(), dataFrameSize);
    if (TraceOn())
        Trace(m_portName + ": send data frame of " + std::to_string(dataFrameSize) + " bytes: " + (sent ? "done" : "failed"));
    return sent;
}
