// The simulated reader behind the link chosen at start (--simulate): one
// reader memory, answered over the face of that link, with its fault switch.
#pragma once

#include <memory>

#include "device/link_set.h"
#include "sim/fault_switch.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"

class SimKbPlatform;
class SimUsbReader;

class SimReader : public ISimulatedReader {
public:
    // serialLine: how a COM port reaches the serial face.
    explicit SimReader(int portKind, SimSerialReader::Line serialLine = SimSerialReader::Line::Default);
    ~SimReader() override;
    SimReader(const SimReader&) = delete;
    SimReader& operator=(const SimReader&) = delete;

    std::unique_ptr<ISerialBackend> SerialBackend() override;
    std::string SerialDevicePath() override;
    std::string SerialError() override;
    IHidBackend& HidBackend() override;
    IKbPlatform& KbPlatform() override;
    void Started() override;
    std::function<void()> SwipeAction() override;

    SimReaderMemory& Memory() { return m_memory; }
    // The faces; each is null unless it is the chosen link's.
    SimSerialReader* Serial() { return m_serial.get(); }
    SimUsbReader* Usb() { return m_usb.get(); }
    SimKbPlatform* Kb() { return m_kb.get(); }

    // Makes the reader misbehave, from the next command on; None puts it
    // right again. Set before the start checks, it strikes once they have
    // found the reader. False when the fault cannot happen on this link.
    bool SetFault(const SimFaultSwitch& fault);

private:
    void ApplyFault();

    int m_portKind;
    bool m_started = false;
    SimFaultSwitch m_fault;
    SimReaderMemory m_memory;
    std::unique_ptr<SimSerialReader> m_serial;
    std::unique_ptr<SimUsbReader> m_usb;
    std::unique_ptr<SimKbPlatform> m_kb;
};
