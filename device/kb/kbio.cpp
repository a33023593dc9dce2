#include "device/kb/kbio.h"

#include <algorithm>

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

int CKBIO::DetectReader() { return kbProtocol::DetectReader(m_line, identity); }

bool CKBIO::ReadMemoryBlock(std::uint8_t block)
{
    return kbProtocol::ReadMemoryBlock(m_line, block, blockBuffer, identity);
}

bool CKBIO::WriteMemoryBlock(std::uint8_t block)
{
    return kbProtocol::WriteMemoryBlock(m_line, block, blockBuffer, identity);
}

int CKBIO::DriverRequest(std::uint8_t operation, std::uint8_t block, std::uint8_t* out)
{
    if (!m_driver)
        return 2;
    std::uint8_t in[kbDriver::blockSize] = {};
    if (operation == kbDriver::opWrite)
        std::copy_n(blockBuffer.begin(), kbBlockSize, in);
    in[kbDriver::blockNumberByte] = block;
    in[kbDriver::operationByte] = operation;
    std::uint32_t returned = 0;
    if (!m_driver->Control(kbDriver::controlCode, in, sizeof in, out, kbDriver::blockSize, returned))
        return 2;
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
