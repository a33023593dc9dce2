#include "device/kb/kbio.h"

#include <algorithm>
#include <string>

#include "device/trace.h"

namespace {

void TraceRequest(const char* access, const char* what, int block, const std::string& outcome)
{
    if (!TraceOn())
        return;
    std::string line = std::string("PS2 ") + access + ": " + what;
    if (block >= 0)
        line += " block " + std::to_string(block);
    Trace(line + ": " + outcome);
}

const char* OperationName(std::uint8_t operation)
{
    switch (operation) {
    case kbDriver::opRead: return "read";
    case kbDriver::opIdentify: return "identify";
    case kbDriver::opWrite: return "write";
    default: return "request";
    }
}

}  // namespace

CKBIO::CKBIO(IKbPlatform& platform) : m_platform(platform) {}

CKBIO::~CKBIO() { Close(); }

CKBIO::OpenResult CKBIO::Open()
{
    if (!m_platform.QueryPlatformId(m_platformId))
        return OpenResult::NoSystemInfo;
    if (m_platformId == kbPlatformDriver) {
        m_driver = m_platform.OpenDriver();
        if (!m_driver)
            return OpenResult::NoDriver;
    }
    return OpenResult::Ok;
}

void CKBIO::Close() { m_driver.reset(); }

IKbPorts* CKBIO::DirectPorts() { return m_platformId == kbPlatformDirect ? m_platform.Ports() : nullptr; }

// The keyboard (1), serial (3, 4) and PS/2 mouse (12) interrupts are masked
// on top of whatever the system had masked, and exactly that is put back.
void CKBIO::MaskInterrupts()
{
    IKbPorts* ports = DirectPorts();
    if (!ports || m_masked)
        return;
    m_savedMaster = ports->In(kbPort::masterMask);
    m_savedSlave = ports->In(kbPort::slaveMask);
    ports->Out(kbPort::masterMask, static_cast<std::uint8_t>(m_savedMaster | 0x1A));
    ports->Out(kbPort::slaveMask, static_cast<std::uint8_t>(m_savedSlave | 0x10));
    m_masked = true;
}

void CKBIO::UnmaskInterrupts()
{
    IKbPorts* ports = DirectPorts();
    if (!ports || !m_masked)
        return;
    ports->Out(kbPort::masterMask, m_savedMaster);
    ports->Out(kbPort::slaveMask, m_savedSlave);
    m_masked = false;
}

std::uint8_t CKBIO::ReadData() { return m_line.ReadData(); }

bool CKBIO::ReadByte(std::uint8_t& value)
{
    IKbPorts* ports = DirectPorts();
    if (!ports)
        return false;
    for (int i = 0; i < readPolls; ++i) {
        if (ports->In(kbPort::status) & kbPort::outputFull) {
            value = ports->In(kbPort::data);
            return true;
        }
    }
    return false;
}

void CKBIO::DiscardInput()
{
    IKbPorts* ports = DirectPorts();
    for (int i = 0; ports && i < 16 && (ports->In(kbPort::status) & kbPort::outputFull); ++i)
        ports->In(kbPort::data);
}

bool CKBIO::WriteData(std::uint8_t value)
{
    IKbPorts* ports = DirectPorts();
    if (!ports)
        return false;
    for (int i = 0; i < writePolls; ++i) {
        if (!(ports->In(kbPort::status) & kbPort::inputFull)) {
            ports->Out(kbPort::data, value);
            return true;
        }
    }
    return false;
}

bool CKBIO::SendWithAck(std::uint8_t value) { return kbProtocol::SendWithAck(m_line, value); }

int CKBIO::DetectReader()
{
    const int result = kbProtocol::DetectReader(m_line, identity);
    TraceRequest("direct", "identify", -1, result == 0 ? "reader found" : "no reader");
    return result;
}

bool CKBIO::ReadMemoryBlock(std::uint8_t block)
{
    const bool ok = kbProtocol::ReadMemoryBlock(m_line, block, blockBuffer, identity);
    TraceRequest("direct", "read", block, ok ? "done" : "failed");
    return ok;
}

bool CKBIO::WriteMemoryBlock(std::uint8_t block)
{
    const bool ok = kbProtocol::WriteMemoryBlock(m_line, block, blockBuffer, identity);
    TraceRequest("direct", "write", block, ok ? "done" : "failed");
    return ok;
}

int CKBIO::DriverRequest(std::uint8_t operation, std::uint8_t block, std::uint8_t* out)
{
    const int shownBlock = operation == kbDriver::opIdentify ? -1 : block;
    if (!m_driver) {
        TraceRequest("driver", OperationName(operation), shownBlock, "no driver");
        return 2;
    }
    std::uint8_t in[kbDriver::blockSize] = {};
    if (operation == kbDriver::opWrite)
        std::copy_n(blockBuffer.begin(), kbBlockSize, in);
    in[kbDriver::blockNumberByte] = block;
    in[kbDriver::operationByte] = operation;
    std::uint32_t returned = 0;
    if (!m_driver->Control(kbDriver::controlCode, in, sizeof in, out, kbDriver::blockSize, returned)) {
        TraceRequest("driver", OperationName(operation), shownBlock, "the driver refused the request");
        return 2;
    }
    TraceRequest("driver", OperationName(operation), shownBlock,
                 returned != 0 ? std::to_string(returned) + " bytes" : "no bytes (the reader did not answer)");
    return returned != 0 ? 0 : 1;
}

int CKBIO::DetectReaderByDriver()
{
    std::uint8_t out[kbDriver::blockSize] = {};
    const int result = DriverRequest(kbDriver::opIdentify, 0, out);
    if (result == 0)
        std::copy_n(out, identity.size(), identity.begin());
    return result;
}

bool CKBIO::ReadMemoryBlockByDriver(std::uint8_t block)
{
    std::uint8_t out[kbDriver::blockSize] = {};
    if (DriverRequest(kbDriver::opRead, block, out) != 0)
        return false;
    std::copy_n(out, kbBlockSize, blockBuffer.begin());
    return true;
}

bool CKBIO::WriteMemoryBlockByDriver(std::uint8_t block)
{
    std::uint8_t out[kbDriver::blockSize] = {};
    return DriverRequest(kbDriver::opWrite, block, out) == 0;
}
