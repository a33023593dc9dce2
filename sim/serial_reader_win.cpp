// Windows has no pseudo-terminal to offer as a COM port: the simulated serial
// reader does not open, and says so; its protocol side still works for Pump.
#include "sim/serial_reader.h"

SimSerialReader::SimSerialReader(SimReaderMemory& memory) : m_memory(memory)
{
    m_error = "the simulated serial reader needs a pseudo-terminal, which this platform does not have";
}

SimSerialReader::~SimSerialReader() = default;

void SimSerialReader::PumpLocked() { SendDue(); }

void SimSerialReader::WriteAll(const std::uint8_t*, std::size_t) {}

void SimSerialReader::SetHoldCts(bool) {}

void SimSerialReader::SetUnplugged(bool) {}

void SimSerialReader::Start() {}

void SimSerialReader::Stop() {}

void SimSerialReader::Serve() {}
