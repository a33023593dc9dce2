#include "device/link_set.h"

#include "device/com/com_port.h"
#include "device/kb/kb_io.h"
#include "device/kb/kbio.h"
#include "device/usb/usb_port.h"

LinkSet::LinkSet(int portKind, ISimulatedReader* simulated, const std::string& devicePath)
    : m_portKind(portKind), m_simulated(simulated), m_devicePath(devicePath)
{
    if (IsComPortKind(portKind)) {
        std::unique_ptr<ISerialBackend> backend = simulated ? simulated->SerialBackend() : nullptr;
        m_com = backend ? std::make_unique<CComPort>(std::move(backend)) : std::make_unique<CComPort>();
    } else if (portKind == portKindUSB) {
        m_usb = simulated ? std::make_unique<CUSBport>(simulated->HidBackend()) : std::make_unique<CUSBport>();
    } else if (portKind == portKindPS2) {
        if (!simulated)
            m_kbPlatform = CreateSystemKbPlatform();
        m_kb = std::make_unique<CKBIO>(simulated ? simulated->KbPlatform() : *m_kbPlatform);
    }
}

LinkSet::~LinkSet()
{
    m_com.reset();
    m_usb.reset();
    m_kb.reset();
    if (m_overridesSet)
        SetComDeviceOverride(m_portKind - 1, {});
}

LinkSet::StartResult LinkSet::Start(IMessageSink& sink)
{
    const StartResult result = StartChecks(sink);
    if (m_simulated)
        m_simulated->Started();
    return result;
}

LinkSet::StartResult LinkSet::StartChecks(IMessageSink& sink)
{
    if (IsComPortKind(m_portKind)) {
        const int n = m_portKind - 1;
        std::string path = m_devicePath;
        if (m_simulated) {
            const std::string error = m_simulated->SerialError();
            if (!error.empty()) {
                sink.ShowMessage("The simulated reader could not start: " + error);
                return StartResult::Fatal;
            }
            path = m_simulated->SerialDevicePath();
        }
        if (!path.empty()) {
            SetComDeviceOverride(n, path);
            m_overridesSet = true;
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

std::function<void()> LinkSet::SwipeAction()
{
    return m_simulated && IsComPortKind(m_portKind) ? m_simulated->SwipeAction() : std::function<void()>();
}
