#include "sim/simulated_reader.h"

#include "device/kb/kbio.h"
#include "sim/kb_reader.h"
#include "sim/serial_reader.h"
#include "sim/usb_reader.h"

SimReader::SimReader(int portKind, SimSerialReader::Line serialLine) : m_portKind(portKind)
{
    if (IsComPortKind(portKind)) {
        m_serial = std::make_unique<SimSerialReader>(m_memory, serialLine);
        m_serial->Start();
    } else if (portKind == portKindUSB) {
        // The reader has the build's pair, as a real reader has its own; it
        // sits among the other devices of a desktop, one of them listed
        // several times, as a real system lists them.
        const UsbIds ids = BuildUsbIds();
        m_usb = std::make_unique<SimUsbReader>(m_memory, ids.vendorId, ids.productId);
        std::vector<SimHidInterface> bus = SimDesktopInterfaces();
        bus.insert(bus.begin() + 3, m_usb->interfaces.begin(), m_usb->interfaces.end());
        m_usb->interfaces = bus;
    } else if (portKind == portKindPS2) {
        m_kb = std::make_unique<SimKbPlatform>(m_memory, kbPlatformDriver);
    }
}

SimReader::~SimReader()
{
    if (m_serial)
        m_serial->Stop();
}

std::unique_ptr<ISerialBackend> SimReader::SerialBackend()
{
    return m_serial ? m_serial->InProcessBackend() : nullptr;
}

std::string SimReader::SerialDevicePath() { return m_serial ? m_serial->DevicePath() : std::string(); }

std::string SimReader::SerialError()
{
    if (!m_serial)
        return "the simulated reader has no serial face on this link";
    return m_serial->IsOpen() ? std::string() : m_serial->ErrorText();
}

IHidBackend& SimReader::HidBackend()
{
    if (!m_usb) {
        const UsbIds ids = BuildUsbIds();
        m_usb = std::make_unique<SimUsbReader>(m_memory, ids.vendorId, ids.productId);
    }
    return *m_usb;
}

IKbPlatform& SimReader::KbPlatform()
{
    if (!m_kb)
        m_kb = std::make_unique<SimKbPlatform>(m_memory, kbPlatformDriver);
    return *m_kb;
}

std::function<void()> SimReader::SwipeAction()
{
    SimSerialReader* serial = m_serial.get();
    if (!serial)
        return {};
    return [serial] { serial->SwipeSample(); };
}

void SimReader::Started()
{
    // A fault set beforehand strikes only now that the reader was found.
    m_started = true;
    ApplyFault();
}

bool SimReader::SetFault(const SimFaultSwitch& fault)
{
    if (!SimFaultApplies(fault.fault, m_portKind))
        return false;
    m_fault = fault;
    if (m_started)
        ApplyFault();
    return true;
}

void SimReader::ApplyFault()
{
    const SimFault f = m_fault.fault;
    m_memory.SetDriftFromRead(f == SimFault::Drift ? m_fault.n : 0);
    if (m_serial) {
        SimSerialReader::Faults faults;
        faults.stopMidway = f == SimFault::StopMidway;
        faults.lateMs = f == SimFault::Late ? 400 : 0;
        if (f == SimFault::Garble) {
            faults.garbleIndex = 21;       // a data character of the reply
            faults.garbleFrameIndex = 20;  // a data character of the image frame
        }
        m_serial->SetFaults(faults);
        m_serial->SetHoldCts(f == SimFault::CtsLow);
        m_serial->SetUnplugged(f == SimFault::Vanish);
    }
    if (m_usb) {
        SimUsbReader& usb = *m_usb;
        usb.stopAtReport = f == SimFault::StopMidway ? 5 : -1;
        usb.refuseReport = f == SimFault::Refuse ? m_fault.n : -1;
        usb.vanishAfterSearch = f == SimFault::Vanish;
        usb.unplugged = false;
        if (f == SimFault::Garble)
            usb.alterReadBack = [](std::vector<std::uint8_t>& bytes) { bytes[10] ^= 0x01; };
        else
            usb.alterReadBack = nullptr;
    }
    if (m_kb) {
        SimKbDriver& driver = m_kb->driver;
        driver.failReads.clear();
        driver.failWrites.clear();
        driver.silent = f == SimFault::Vanish;
        if (f == SimFault::StopMidway) {
            // Block 61 goes through, then the reader answers no more.
            driver.failReads[62] = -1;
            driver.failWrites[62] = -1;
            driver.failWrites[63] = -1;
        } else if (f == SimFault::Garble) {
            // The driver finds one block with a bad check byte.
            driver.failReads[61] = 1;
            driver.failWrites[62] = 1;
        }
    }
}
