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
            m_simUsb = std::make_unique<SimUsbReader>(*m_memory, ReaderUsbVendorId(), ReaderUsbProductId());
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
    if (IsComPortKind(m_portKind)) {
        const int n = m_portKind - 1;
        if (m_simSerial) {
            if (!m_simSerial->IsOpen()) {
                sink.ShowMessage("The simulated reader could not start: " + m_simSerial->ErrorText());
                return StartResult::Fatal;
            }
            SetComDeviceOverride(n, m_simSerial->SlavePath());
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
}
