// The write and read procedures of the three links, and the commands that
// dispatch on the link chosen at start.
#pragma once

#include <string>

#include "device/sleeper.h"
#include "device/usb/usb_ids.h"
#include "model/message_sink.h"
#include "model/tovask_doc.h"

class CComPort;
class CKBIO;
class CUSBport;

// PortKind: 0 = USB, 1 = PS2, 2 to 9 = COM1 to COM8 (serial port number PortKind - 1).
constexpr int portKindUSB = 0;
constexpr int portKindPS2 = 1;
constexpr int portKindCOM1 = 2;
constexpr int portKindCOM8 = 9;
inline bool IsComPortKind(int portKind) { return portKind >= portKindCOM1 && portKind <= portKindCOM8; }
// "USB", "PS2", "COM1" .. "COM8"; empty for any other value.
std::string PortKindName(int portKind);

// What the procedures need of the window they run in (the editor's view, or
// the command-line tool's stand-in).
class IProcedureHost {
public:
    virtual ~IProcedureHost() = default;
    // False when a panel value was refused (the host has shown its message).
    virtual bool UpdateTemplateFromPanel() = 0;
    virtual void UpdatePanelFromTemplate() = 0;
    // Shows the keyboard-port busy notice with this text; an empty text hides it.
    virtual void SetBusyNotice(const std::string& text) = 0;
    // Invalidates the whole view.
    virtual void Redraw() = 0;
};

// A host with no panel (the command-line tool, fuzzing, benchmarks): the
// record is the template as it stands; it counts what the procedures ask.
class PanelessHost : public IProcedureHost {
public:
    bool UpdateTemplateFromPanel() override { return true; }
    void UpdatePanelFromTemplate() override { ++panelUpdates; }
    void SetBusyNotice(const std::string& text) override { busyNotice = text; }
    void Redraw() override { ++redraws; }

    int panelUpdates = 0;
    int redraws = 0;
    std::string busyNotice;  // the one shown now; empty when hidden
};

struct TransferContext {
    CTovaskDoc& doc;
    IProcedureHost& host;
    IMessageSink& sink;
    ISleeper& sleeper;
    int portKind = portKindUSB;
    bool comPortReady = false;
    CComPort* com = nullptr;  // set for COM1..COM8
    CKBIO* kb = nullptr;      // set for PS2
    CUSBport* usb = nullptr;  // set for USB
    UsbIds usbIds = BuildUsbIds();  // the reader the USB procedures look for
};

// Message texts shared by the procedures.
namespace msg {
constexpr const char* noComPortOpened = "No COMx port opened!";
constexpr const char* cantOpenComPort = "Can't open the COM port!!";
constexpr const char* cantOpenThisComPort = "Can't open this COM port!!";
constexpr const char* writingOk = "programmable MR writing OK, Check MR data please !";
constexpr const char* writingError = "programmable MR writing error!";
constexpr const char* readingOk = "programmable MR reading OK!";
constexpr const char* wrongPacket = "Wrong MR data packet!";
constexpr const char* comReadingError = "programmable MR reading error!\nTry it again!";
constexpr const char* noUsbReader = "There is no programmable MR connected!";
constexpr const char* usbWritingDone = "MR writing done, Check MR data after reading !";
constexpr const char* usbWritingError2 = "programmable MR writing error-2!";
constexpr const char* usbReadingError = "programmable MR reading error!";
constexpr const char* ps2WriteNotDetected =
    "No Programmable MR detected!\nPlease check the connection!\n\nTry to write programmable MR again please!";
constexpr const char* ps2WriteNoDriver =
    "Can't access programmable MR!\nPlease check the driver setup!\n\nTry to write programmable MR again please!";
constexpr const char* ps2ReadNotDetected =
    "No Programmable MR detected!\nPlease check the connection!\n\nTry to read again please!";
constexpr const char* ps2ReadNoDriver =
    "Can't access programmable MR!\nPlease to check the driver setup!\n\nTry to read again please!";
constexpr const char* ps2ReadErrorFormat = "Data Read Error, Count=%d";
constexpr const char* ps2Writing = "Writng data, don't use mouse and/or keyboard!";
constexpr const char* ps2Reading = "Reading data, don't use mouse and/or keyboard!";
constexpr const char* verifySame = "The MR holds the same values as this template.";
constexpr const char* verifyDiffers = "The MR holds other values than this template:";
}  // namespace msg

// Write into MR / Read from MR: dispatch on ctx.portKind.
void OnWriteIntoMR(TransferContext& ctx);
void OnReadFromMR(TransferContext& ctx);
// Verify MR: reads the reader and compares it with the template as the panel
// holds it, in one message that names each differing value; the document and
// the panel stay as they are. A failed read shows the read's own message.
void OnVerifyMR(TransferContext& ctx);

void WriteOverCOM(TransferContext& ctx);
void ReadOverCOM(TransferContext& ctx);
void WriteOverPS2(TransferContext& ctx);
void ReadOverPS2(TransferContext& ctx);
void WriteOverUSB(TransferContext& ctx);
void ReadOverUSB(TransferContext& ctx);
