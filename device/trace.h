// What the links asked of the reader and what came back, one line at a time,
// for a support person to read (tovask-cli --verbose). Nothing is traced
// unless a sink is set; the links never show any of it to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

using TraceSink = std::function<void(const std::string& line)>;

// An empty sink turns tracing off.
void SetTraceSink(TraceSink sink);
bool TraceOn();
// One line; a trailing newline is added where missing.
void Trace(const std::string& line);
// "AA 55 FF 00 E6"
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);
