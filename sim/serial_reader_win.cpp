// Windows has no pseudo-terminal to offer as a COM port: the simulated serial
// reader always has the in-process line.
#include "sim/serial_reader.h"

SimSerialReader::SimSerialReader(SimReaderMemory& memory, Line) : m_memory(memory) { m_inProcess = true; }

SimSerialReader::~SimSerialReader() = default;

void SimSerialReader::PumpLocked() { SendDue(); }

void SimSerialReader::WriteAll(const std::uint8_t* bytes, std::size_t count)
{
    m_toProgram.insert(m_toProgram.end(), bytes, bytes + count);
}

void SimSerialReader::SetHoldCts(bool hold)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ctsHeld = hold;
}

void SimSerialReader::SetUnplugged(bool unplugged)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugged = unplugged;
}

void SimSerialReader::Start() {}

void SimSerialReader::Stop() {}

void SimSerialReader::Serve() {}

void SimSerialReader::WakeServer() {}
