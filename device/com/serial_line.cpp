#include "device/com/serial_line.h"

#include <cctype>

#include "device/transfer.h"

bool GatedSerialWrite(ISerialLineOps& ops, ISleeper& sleeper, const std::uint8_t* bytes, int count, int timeoutMs,
                      std::string& why)
{
    int waited = 0;
    for (;;) {
        const ISerialLineOps::Cts cts = ops.ReadCts();
        if (cts == ISerialLineOps::Cts::Up)
            break;
        if (cts == ISerialLineOps::Cts::Failed) {
            why = "the line's modem status cannot be read";
            return false;
        }
        if (waited >= timeoutMs) {
            why = "CTS stayed low: the reader does not take bytes";
            return false;
        }
        sleeper.Sleep(ctsPollMs);
        waited += ctsPollMs;
    }
    if (ops.Send(bytes, count, timeoutMs - waited, why))
        return true;
    ops.Discard();
    return false;
}

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsDevicePrefixed(const std::string& name) { return StartsWith(name, "\\\\.\\") || StartsWith(name, "\\\\?\\"); }

}  // namespace

std::string WindowsSerialDeviceName(const std::string& name)
{
    return IsDevicePrefixed(name) ? name : "\\\\.\\" + name;
}

PortChoice ParsePortName(const std::string& name)
{
    std::string upper;
    for (char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (int kind = portKindUSB; kind <= portKindCOM8; ++kind)
        if (upper == PortKindName(kind))
            return {kind, {}};
    if (StartsWith(upper, "COM") && upper.size() > 3 && upper.size() <= 6 && upper[3] != '0') {
        int n = 0;
        for (std::size_t i = 3; i < upper.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(upper[i])))
                return {};
            n = n * 10 + (upper[i] - '0');
        }
        if (n > 255)
            return {};
#ifdef _WIN32
        return {portKindCOM1, "\\\\.\\" + upper};
#else
        return {portKindCOM1, "/dev/ttyS" + std::to_string(n - 1)};
#endif
    }
    if (name.find('/') != std::string::npos)
        return {portKindCOM1, name};
#ifdef _WIN32
    if (IsDevicePrefixed(name))
        return {portKindCOM1, name};
#endif
    return {};
}
