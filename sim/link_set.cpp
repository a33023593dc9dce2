#include "sim/link_set.h"

#include "device/com/com_port.h"
#include "device/usb/usb_port.h"
#include "device/kb/kbio.h"
#include "device/kb/kb_io.h"
#include "sim/kb_reader.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"
#include "sim/usb_reader.h"

LinkSet::LinkSet(int portKind, bool simulate, const std::string& devicePath)
    : m_portKind(portKind), m_simulate(simulate), m_devicePath(devicePath)
{
    if (simulate)
        m_memory = std::make_unique<SimReaderMemory>();
    if (IsComPortKind(portKind)) {
        if (simulate) {
            m_simSerial = std::make_unique<SimSerialReader>(*m_memory);
            m_simSerial->Start();
        }
        m_com = std::make_unique<CComPort>();
    } else if (portKind == portKindUSB) {
        if (simulate) {
            const UsbIds ids = BuildUsbIds();
            m_simUsb = std::make_unique<SimUsbReader>(*m_memory, ids.vendorId, ids.productId);
            // The reader behind the other devices of a desktop, one of them
            // listed several times, as a real system lists them.
            std::vector<SimHidInterface> bus = SimDesktopInterfaces();
            bus.insert(bus.begin() + 3, m_simUsb->interfaces.begin(), m_simUsb->interfaces.end());
            m_simUsb->interfaces = bus;
            m_usb = std::make_unique<CUSBport>(*m_simUsb);
        } else {
            m_usb = std::make_unique<CUSBport>();
        }
    } else if (portKind == portKindPS2) {
        if (simulate)
            m_kbPlatform = std::make_unique<SimKbPlatform>(*m_memory, kbPlatformDriver);
        else
            m_kbPlatform = CreateSystemKbPlatform();
        m_kb = std::make_unique<CKBIO>(*m_kbPlatform);
    }
}

LinkSet::~LinkSet()
{
    m_com.reset();
    m_usb.reset();
    m_kb.reset();
    if (m_simSerial) {
        m_simSerial->Stop();
        ClearComDeviceOverrides();
    }
}

LinkSet::StartResult LinkSet::Start(IMessageSink& sink)
{
    const StartResult result = StartChecks(sink);
    // A fault set beforehand strikes only now that the reader was found.
    m_started = true;
    ApplyFault();
    return result;
}

LinkSet::StartResult LinkSet::StartChecks(IMessageSink& sink)
{
    if (IsComPortKind(m_portKind)) {
        const int n = m_portKind - 1;
        if (m_simSerial) {
            if (!m_simSerial->IsOpen()) {
                sink.ShowMessage("The simulated reader could not start: " + m_simSerial->ErrorText());
                return StartResult::Fatal;
            }
            SetComDeviceOverride(n, m_simSerial->DevicePath());
        } else if (!m_devicePath.empty()) {
            SetComDeviceOverride(n, m_devicePath);
        }
        m_comPortReady = m_com->OpenPort(n);
        if (!m_comPortReady) {
            sink.ShowMessage(msg::cantOpenThisComPort);
            return StartResult::ComPortNotReady;
        }
        m_com->ClosePort();
        return StartResult::Ok;
    }
    // The keyboard-port link stays open for the whole run.
    if (m_kb && !ReportKbOpen(m_kb->Open(), sink))
        return StartResult::Fatal;
    return StartResult::Ok;
}

void LinkSet::Fill(TransferContext& ctx)
{
    ctx.portKind = m_portKind;
    ctx.comPortReady = m_comPortReady;
    ctx.com = m_com.get();
    ctx.kb = m_kb.get();
    ctx.usb = m_usb.get();
    ctx.usbIds = m_usbIds;
}

bool LinkSet::SetFault(const SimFaultSwitch& fault)
{
    if (!m_simulate || !SimFaultApplies(fault.fault, m_portKind))
        return false;
    m_fault = fault;
    if (m_started)
        ApplyFault();
    return true;
}

void LinkSet::ApplyFault()
{
    const SimFault f = m_fault.fault;
    if (m_simSerial) {
        SimSerialReader::Faults faults;
        faults.stopMidway = f == SimFault::StopMidway;
        faults.lateMs = f == SimFault::Late ? 400 : 0;
        if (f == SimFault::Garble) {
            faults.garbleIndex = 21;       // a data character of the reply
            faults.garbleFrameIndex = 20;  // a data character of the image frame
        }
        m_simSerial->SetFaults(faults);
        m_simSerial->SetHoldCts(f == SimFault::CtsLow);
        m_simSerial->SetUnplugged(f == SimFault::Vanish);
    }
    if (m_simUsb) {
        SimUsbReader& usb = *m_simUsb;
        usb.stopAtReport = f == SimFault::StopMidway ? 5 : -1;
        usb.refuseReport = f == SimFault::Refuse ? m_fault.n : -1;
        usb.vanishAfterSearch = f == SimFault::Vanish;
        usb.unplugged = false;
        if (f == SimFault::Garble)
            usb.alterReadBack = [](std::vector<std::uint8_t>& bytes) { bytes[10] ^= 0x01; };
        else
            usb.alterReadBack = nullptr;
    }
    if (auto* platform = dynamic_cast<SimKbPlatform*>(m_kbPlatform.get())) {
        SimKbDriver& driver = platform->driver;
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
