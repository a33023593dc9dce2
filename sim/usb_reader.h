// The simulated reader's USB face: a HID backend that lists the reader among
// other interfaces and answers its feature reports from the reader memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/usb/hid_backend.h"
#include "sim/reader_memory.h"

struct SimHidInterface {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0x0100;
    bool openable = true;
    bool isReader = false;
    std::wstring manufacturer = L"Tovask";
    std::wstring product = L"HID device";
    // The collection's feature report length, report number included.
    int featureReportLength = 9;
    // The system's list cannot read its identifiers (shows 0:0).
    bool listedWithoutIds = false;
    std::wstring serialNumber{};
    std::string location{};
    // Plugged in: listed and openable.
    bool present = true;
    // Just plugged in: listed as not ready (udev has not finished with it)
    // this many times, and refused with "Permission denied" this many opens.
    int unreadyListings = 0;
    int deniedOpens = 0;
};

// A desktop's other HID interfaces as the system lists them: a keyboard
// whose interface is listed once per top-level usage (the same path three
// times), a mouse the user may not open, and a headset.
std::vector<SimHidInterface> SimDesktopInterfaces();

class SimUsbReader : public IHidBackend {
public:
    // Lists one interface: the reader with these identifiers.
    SimUsbReader(SimReaderMemory& memory, std::uint16_t vendorId, std::uint16_t productId);

    // One more reader like the first, at the next path and location; all
    // the readers answer from the one reader memory.
    void AddIdenticalReader();

    bool Enumerate(std::vector<HidInterfaceInfo>& out) override;
    std::unique_ptr<IHidDevice> Open(const std::string& path, std::string* why = nullptr) override;

    // The interfaces the system shows, in order; the test may rearrange them.
    std::vector<SimHidInterface> interfaces;
    bool enumerateFails = false;

    // Every set-feature report the reader took or refused, in order (9 bytes each).
    std::vector<std::vector<std::uint8_t>> setReports;
    int getReports = 0;
    int opens = 0;
    int closes = 0;
    int openNow = 0;

    // Refuse every set-feature report.
    bool refuseAll = false;
    // Counted from the command report (0xE7 or 0xE6) that starts a sequence,
    // every set-feature and get-feature report: refuse the n-th of every
    // sequence (-1 none), or stop answering from the n-th on (-1 never).
    int refuseReport = -1;
    int stopAtReport = -1;
    // The n-th report of every sequence, if a get-feature report, delivers
    // only 5 of its 9 bytes (-1 none).
    int shortReport = -1;
    // The reader lets the search open it, then is gone: it cannot be opened
    // and is no longer listed, until unplugged is cleared.
    bool vanishAfterSearch = false;
    bool unplugged = false;
    // Changes the 72 bytes the reader is about to deliver for a read.
    std::function<void(std::vector<std::uint8_t>&)> alterReadBack;

    // Called by the open device.
    bool TakeSetFeature(const std::uint8_t* report, std::size_t length);
    int GiveGetFeature(std::uint8_t* report, std::size_t length);

    // Called by the open device when it is closed.
    void DeviceClosed(bool reader);

private:
    // Counts one report of the current sequence; false when it is refused.
    // number is set to the report's place in the sequence.
    bool CountReport(int& number);

    SimReaderMemory& m_memory;
    int m_sequenceReports = 0;
    enum class Mode { Idle, Writing, Reading } m_mode = Mode::Idle;
    std::vector<std::uint8_t> m_incoming;
    std::vector<std::uint8_t> m_outgoing;
    std::size_t m_outPos = 0;
};
