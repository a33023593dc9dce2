// The link to a reader on USB: finds it among the HID interfaces by its vendor
// and product identifiers, and moves the image in 8-byte feature reports.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include <vector>

#include "device/sleeper.h"
#include "device/usb/hid_backend.h"
#include "device/usb/usb_ids.h"

// One HID interface as tovask-cli devices shows it.
struct HidListing {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    // Narrowed to one byte per character, as the reader check reads them;
    // empty when unreadable.
    std::string manufacturer;
    std::string product;
    std::string serialNumber;  // as the system's list shows it, narrowed
    std::string location;      // see HidInterfaceInfo
    bool ready = true;         // see HidInterfaceInfo
    bool openable = false;
    std::string whyNot;  // the system's reason when it could not be opened
    bool reader = false;  // its identifiers are the wanted ones
};

// Every HID interface the system shows, each path once, in the system's
// order; each is opened to read its names and attributes. False when the
// system could not list them.
bool ListHidInterfaces(IHidBackend& backend, UsbIds wanted, std::vector<HidListing>& out);

// The interfaces the system lists with the wanted identifiers, without
// opening any (so it can be asked every poll interval): one per location,
// as a composite reader answers on several interfaces at one, ready when
// all of them are. False when the system could not list them.
bool ListReaders(IHidBackend& backend, UsbIds wanted, std::vector<HidListing>& out);

class CUSBport {
public:
    static constexpr int reportLength = 9;  // report number + 8 data bytes
    static constexpr int reportBufferSize = 150;
    static constexpr int writeLength = 98;  // 14 data reports of 7 bytes
    static constexpr int readLength = 72;   // 9 read reports of 8 bytes
    static constexpr int searchLimit = 20;  // interfaces opened by one search
    static constexpr std::uint8_t readCode = 0xE6;
    static constexpr std::uint8_t writeCode = 0xE7;
    static constexpr std::uint8_t endCode = 0xE8;
    static constexpr std::uint8_t dataMark = 0xE3;

    // On the system's HID interfaces.
    CUSBport();
    // On a backend the caller keeps alive (the simulated reader, tests).
    explicit CUSBport(IHidBackend& backend);
    ~CUSBport();
    CUSBport(const CUSBport&) = delete;
    IHidBackend& Backend() { return m_backend; }
    CUSBport& operator=(const CUSBport&) = delete;

    // Looks for the reader: only interfaces listed with the wanted
    // identifiers (or listed without any) are opened and checked, each path
    // once, at most searchLimit of them; with a device chosen, only the
    // interfaces with that path or location. devicePath is the first that
    // is the reader; the rest stay candidates for NextDevice. With
    // onlyOneReader, a search that finds the reader at more than one
    // location fails and names each in severalReaders.
    bool FindDevice();
    // Goes on with the search after devicePath (a composite device lists
    // the reader's identifiers on more than one interface); closed.
    bool NextDevice();
    bool OpenDevice();
    void CloseDevice();
    bool IsOpen() const { return m_device != nullptr; }
    bool SendCommand(std::uint8_t code);
    bool WriteImage(ISleeper& sleeper);
    bool ReadImage(ISleeper& sleeper);
    // Compares the open device's identifiers with the wanted ones; the
    // version number is not compared.
    bool CheckHIDParam();

    std::uint16_t wantedVendorId = 0;
    std::uint16_t wantedProductId = 0;
    // Which reader the search may take: "" any, else a path, a location or a
    // USB serial number (tovask-cli --device).
    std::string chosenDevice;
    // Refuse to choose among several readers instead of taking the first
    // found (the editor takes the first; the tool refuses).
    bool onlyOneReader = false;
    // After a search refused for that: the readers found, one interface each.
    std::vector<HidListing> severalReaders;
    std::string devicePath;
    std::array<std::uint8_t, reportBufferSize> reportBuffer{};
    // Five lines naming the last device checked; kept for diagnostics only.
    std::string lastCheckText;

private:
    bool CheckDevice(IHidDevice& device);
    // The command report that starts a sequence; when the open interface
    // refuses it, the next interface with the wanted identifiers is tried.
    bool StartSequence(std::uint8_t code);

    IHidBackend& m_backend;
    std::unique_ptr<IHidDevice> m_device;
    // Opens the candidates after the first reader found and collects every
    // reader at another location into severalReaders; false when there is
    // more than one. The search's state is kept.
    bool OnlyOneFound(const std::vector<HidInterfaceInfo>& interfaces);

    std::vector<std::string> m_candidates;  // paths still to be tried, in order
    std::size_t m_nextCandidate = 0;
    int m_opened = 0;
};
