// The link to a reader on the PS/2 keyboard port. The access method is fixed
// at Open: direct access drives the keyboard controller's ports itself,
// driver access sends one request per operation to the keyboard-port driver.
// The link never shows anything: Open returns what went wrong and the
// start-up code shows the text and ends the run.
#pragma once

#include <cstdint>
#include <memory>

#include "device/kb/kb_io.h"
#include "model/message_sink.h"

namespace kbmsg {
constexpr const char* wrongSystemInfo = "Get wrong system information\nExit.Then, try again please";
constexpr const char* cantOpenDriver = "Can't open the KB driver";
}  // namespace kbmsg

constexpr int kbPlatformDirect = 1;
constexpr int kbPlatformDriver = 2;

class CKBIO {
public:
    enum class OpenResult {
        Ok,
        NoSystemInfo,  // show kbmsg::wrongSystemInfo, end the run with exit code 0
        NoDriver,      // show kbmsg::cantOpenDriver with a stop icon, end with exit code 0
    };

    // The platform stays the caller's and must outlive the link.
    explicit CKBIO(IKbPlatform& platform);
    ~CKBIO();
    CKBIO(const CKBIO&) = delete;
    CKBIO& operator=(const CKBIO&) = delete;

    OpenResult Open();
    void Close();
    int PlatformId() const { return m_platformId; }

    // Direct access.
    void MaskInterrupts();
    void UnmaskInterrupts();
    std::uint8_t ReadData();
    bool WriteData(std::uint8_t value);
    bool SendWithAck(std::uint8_t value);
    int DetectReader();
    bool ReadMemoryBlock(std::uint8_t block);
    bool WriteMemoryBlock(std::uint8_t block);

    // Driver access. DetectReaderByDriver: 0 found, 1 no reader, 2 driver refused.
    int DetectReaderByDriver();
    bool ReadMemoryBlockByDriver(std::uint8_t block);
    bool WriteMemoryBlockByDriver(std::uint8_t block);

    // The last request, by either access, ended because the reader stopped
    // answering: a command asks nothing more of it.
    bool ReaderLost() const
    {
        return m_platformId == kbPlatformDriver ? m_driver && m_driver->ReaderLost() : m_line.readerLost;
    }

    KbIdentity identity{};
    KbBlockBuffer blockBuffer{};

    static constexpr int readPolls = 19999;   // status reads waiting for a byte
    static constexpr int writePolls = 199999;  // status reads waiting for the keyboard to take one

private:
    class PortLine : public IKbLine {
    public:
        explicit PortLine(CKBIO& link) : m_link(link) {}
        bool Read(std::uint8_t& value) override { return m_link.ReadByte(value); }
        bool WriteData(std::uint8_t value) override { return m_link.WriteData(value); }
        void Discard() override { m_link.DiscardInput(); }

    private:
        CKBIO& m_link;
    };

    // The controller's ports, only for direct access.
    IKbPorts* DirectPorts();
    bool ReadByte(std::uint8_t& value);
    // Reads away what waits at the data port, without polling for more.
    void DiscardInput();
    // 0: done, 1: the driver returned no bytes, 2: the call failed or there is no driver.
    int DriverRequest(std::uint8_t operation, std::uint8_t block, std::uint8_t* out);

    IKbPlatform& m_platform;
    int m_platformId = 0;
    std::unique_ptr<IKbDriver> m_driver;
    PortLine m_line{*this};
    bool m_masked = false;
    std::uint8_t m_savedMaster = 0;
    std::uint8_t m_savedSlave = 0;
};

// Start-up's part of opening the link: shows the text for a failed Open
// (the driver's with a stop icon) and returns false, upon which the caller
// ends the run with exit code 0.
bool ReportKbOpen(CKBIO::OpenResult result, IMessageSink& sink);
