// The link chosen at start, with everything it needs for the run: the link
// object on the system's devices, or, with --simulate, on a simulated
// reader's backends. The editor and the command-line tool set up their link
// through this one class.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/transfer.h"
#include "device/usb/usb_ids.h"
#include "model/message_sink.h"

class IHidBackend;
class IKbPlatform;
class ISerialBackend;

// A reader behind the links instead of the system's devices (--simulate).
class ISimulatedReader {
public:
    virtual ~ISimulatedReader() = default;
    // COM: a serial backend that reaches the reader, or null when the system's
    // serial backend is to open SerialDevicePath().
    virtual std::unique_ptr<ISerialBackend> SerialBackend() = 0;
    virtual std::string SerialDevicePath() = 0;
    // Empty when the reader's serial face is up, else why it is not.
    virtual std::string SerialError() = 0;
    virtual IHidBackend& HidBackend() = 0;
    virtual IKbPlatform& KbPlatform() = 0;
    // The start-up checks have found the reader.
    virtual void Started() = 0;
    // Sends a sample card on the serial line; empty where there is none.
    virtual std::function<void()> SwipeAction() = 0;
};

class LinkSet {
public:
    // portKind 0 = USB, 1 = PS2, 2..9 = COM1..COM8. simulated, when given,
    // must outlive the link set. devicePath, when set, names the serial
    // device of the COM port instead of the usual mapping.
    explicit LinkSet(int portKind, ISimulatedReader* simulated = nullptr, const std::string& devicePath = {});
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

    // The reader the USB link looks for; the build's pair unless set.
    void SetUsbIds(UsbIds ids) { m_usbIds = ids; }
    UsbIds GetUsbIds() const { return m_usbIds; }

    int PortKind() const { return m_portKind; }
    bool Simulated() const { return m_simulated != nullptr; }
    bool ComPortReady() const { return m_comPortReady; }

    // Puts the link, the port kind, ComPortReady and the USB identifiers into a context.
    void Fill(TransferContext& ctx);

    CComPort* Com() { return m_com.get(); }
    CKBIO* Kb() { return m_kb.get(); }
    CUSBport* Usb() { return m_usb.get(); }
    // Sends a sample card from a simulated serial reader; empty otherwise.
    std::function<void()> SwipeAction();

private:
    StartResult StartChecks(IMessageSink& sink);

    int m_portKind;
    ISimulatedReader* m_simulated;
    std::string m_devicePath;
    bool m_comPortReady = false;
    bool m_overridesSet = false;
    UsbIds m_usbIds = BuildUsbIds();
    std::unique_ptr<CComPort> m_com;
    std::unique_ptr<CUSBport> m_usb;
    std::unique_ptr<IKbPlatform> m_kbPlatform;
    std::unique_ptr<CKBIO> m_kb;
};
