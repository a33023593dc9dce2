#include "device/trace.h"

#include <cstdio>

namespace {
TraceSink& Sink()
{
    static TraceSink sink;
    return sink;
}
}  // namespace

void SetTraceSink(TraceSink sink) { Sink() = std::move(sink); }

bool TraceOn() { return static_cast<bool>(Sink()); }

void Trace(const std::string& line)
{
    if (!Sink())
        return;
    if (!line.empty() && line.back() == '\n')
        Sink()(line);
    else
        Sink()(line + '\n');
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", bytes[i]);
        out += hex;
    }
    return out;
}
