// The link chosen at start, real or simulated, with everything it needs for
// the run: the link object, and with --simulate the simulated reader behind it.
// The editor and the command-line tool set up their link through this one class.
#pragma once

#include <memory>
#include <string>

#include "device/transfer.h"
#include "model/message_sink.h"
#include "sim/fault_switch.h"

class SimReaderMemory;
class SimSerialReader;
class SimUsbReader;
class IKbPlatform;

class LinkSet {
public:
    // portKind 0 = USB, 1 = PS2, 2..9 = COM1..COM8. devicePath, when set,
    // names the serial device of the COM port instead of the usual mapping.
    LinkSet(int portKind, bool simulate, const std::string& devicePath = {});
    ~LinkSet();
    LinkSet(const LinkSet&) = delete;
    LinkSet& operator=(const LinkSet&) = delete;

    enum class StartResult {
        Ok,
        ComPortNotReady,  // "Can't open this COM port!!" was shown; the run goes on
        Fatal,            // the link cannot be used at all; the message was shown
    };
    // The checks at start: a COM port is opened and closed at once; the
    // keyboard-port link is opened for the run; USB waits for the first transfer.
    StartResult Start(IMessageSink& sink);

    // The reader the USB link looks for; the build's pair unless set. The
    // simulated reader always has the build's pair, as a real reader has its own.
    void SetUsbIds(UsbIds ids) { m_usbIds = ids; }
    UsbIds GetUsbIds() const { return m_usbIds; }

    int PortKind() const { return m_portKind; }
    bool Simulated() const { return m_simulate; }
    bool ComPortReady() const { return m_comPortReady; }

    // Puts the link, the port kind and ComPortReady into a context.
    void Fill(TransferContext& ctx);

    CComPort* Com() { return m_com.get(); }
    CKBIO* Kb() { return m_kb.get(); }
    CUSBport* Usb() { return m_usb.get(); }
    SimReaderMemory* Memory() { return m_memory.get(); }
    // The simulated serial reader, for swipes; null unless simulating a COM port.
    SimSerialReader* SimSerial() { return m_simSerial.get(); }

    // Makes the simulated reader misbehave, from the next command on; None
    // puts it right again. Set before Start, it takes effect once the start
    // checks have found the reader. False when not simulating or when the
    // fault cannot happen on this link.
    bool SetFault(const SimFaultSwitch& fault);

private:
    StartResult StartChecks(IMessageSink& sink);
    void ApplyFault();

    int m_portKind;
    bool m_simulate;
    std::string m_devicePath;
    bool m_comPortReady = false;
    UsbIds m_usbIds = BuildUsbIds();
    bool m_started = false;
    SimFaultSwitch m_fault;
    std::unique_ptr<SimReaderMemory> m_memory;
    std::unique_ptr<SimSerialReader> m_simSerial;
    std::unique_ptr<CComPort> m_com;
    std::unique_ptr<SimUsbReader> m_simUsb;
    std::unique_ptr<CUSBport> m_usb;
    std::unique_ptr<IKbPlatform> m_kbPlatform;
    std::unique_ptr<CKBIO> m_kb;
};
