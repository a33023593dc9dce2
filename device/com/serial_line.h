// The rules of a serial write and of the port names and line settings that
// hold on every system. The platform backends supply the few calls these
// rules need, so the rules run the same on Linux, on Windows and in tests.
#pragma once

#include <cstdint>
#include <string>

#include "device/sleeper.h"

// The calls a serial write makes on the platform's open port.
class ISerialLineOps {
public:
    enum class Cts {
        Up,      // asserted, or the device has no modem lines (pseudo-terminals)
        Down,
        Failed,  // the modem status cannot be read: the device went away
    };
    virtual ~ISerialLineOps() = default;
    virtual Cts ReadCts() = 0;
    // Hands all count bytes to the driver and waits until they have left,
    // within timeoutMs; false, with why, otherwise.
    virtual bool Send(const std::uint8_t* bytes, int count, int timeoutMs, std::string& why) = 0;
    // Throws away what a failed Send left queued and clears the port's error
    // state, so nothing of it goes out later or holds up the close.
    virtual void Discard() = 0;
};

// How often the write looks at CTS while it waits for it.
constexpr int ctsPollMs = 10;

// One write: waits up to timeoutMs (through sleeper) for CTS, then sends
// within what is left of the bound. While CTS stays low not one byte is
// handed to the driver; a failed or short send is discarded. why is set to
// what failed, and left alone on success.
bool GatedSerialWrite(ISerialLineOps& ops, ISleeper& sleeper, const std::uint8_t* bytes, int count, int timeoutMs,
                      std::string& why);

// The name Windows opens a serial device by: "\\.\" before any name that
// does not already start with "\\.\" or "\\?\" ("COM12" alone is a relative
// file name there; the prefix is valid for COM1 to COM9 too).
std::string WindowsSerialDeviceName(const std::string& name);

// Sets the reader's line in a Win32 DCB (or any structure with its member
// names): 9600 baud 8N1, binary, output gated by CTS, RTS and DTR on, and
// every setting another program may have left in the driver that would make
// the port deaf or dumb (DSR gating, XON/XOFF, null stripping, abort on
// error, parity checking) switched off. Values are the Win32 constants.
template <class Dcb>
void SetReaderLineSettings(Dcb& dcb)
{
    constexpr unsigned noParity = 0, oneStopBit = 0, rtsControlEnable = 1, dtrControlEnable = 1;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = noParity;
    dcb.StopBits = oneStopBit;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = dtrControlEnable;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = rtsControlEnable;
    dcb.fAbortOnError = 0;
}

// Port kinds are those of transfer.h.
struct PortChoice {
    int portKind = -1;       // -1: not a port
    std::string devicePath;  // the serial device for the COM link, when not the usual COMn
};

// What a user's port name stands for: "USB", "PS2", "COM1".."COM8" (any
// case) as those links; "COMn" for n = 9..255 as the serial device of that
// number (/dev/ttyS<n-1>, on Windows \\.\COMn); a path (with '/', or on
// Windows one starting "\\.\" or "\\?\") as that serial device.
PortChoice ParsePortName(const std::string& name);
