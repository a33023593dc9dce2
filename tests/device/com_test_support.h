// Shared pieces of the serial-link tests: a scriptable backend, a recording
// host, and a rig joining a CComPort to the simulated reader over a real
// pseudo-terminal.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "device/com/com_port.h"
#include "device/transfer.h"
#include "model/tovask_doc.h"
#include "sim/serial_reader.h"

// A backend whose every answer the test decides.
struct FakeLine {
    bool failOpen = false;
    int failWritesFrom = -1;  // index of the first write that fails (CTS held low)
    std::deque<std::uint8_t> incoming;
    std::vector<std::vector<std::uint8_t>> writes;  // every write attempted
    std::vector<int> writeTimeouts;
    std::vector<std::string> opened;
    int closes = 0;
    bool open = false;
};

class FakeSerialBackend : public ISerialBackend {
public:
    explicit FakeSerialBackend(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    bool Open(const std::string& device) override
    {
        m_line->opened.push_back(device);
        m_line->open = !m_line->failOpen;
        return m_line->open;
    }
    void Close() override
    {
        if (m_line->open)
            ++m_line->closes;
        m_line->open = false;
    }
    bool IsOpen() const override { return m_line->open; }
    bool Write(const std::uint8_t* bytes, int count, int timeoutMs) override
    {
        m_line->writes.emplace_back(bytes, bytes + count);
        m_line->writeTimeouts.push_back(timeoutMs);
        const int index = static_cast<int>(m_line->writes.size()) - 1;
        return m_line->failWritesFrom < 0 || index < m_line->failWritesFrom;
    }
    int Read(std::uint8_t* buffer, int max) override
    {
        int n = 0;
        while (n < max && !m_line->incoming.empty()) {
            buffer[n++] = m_line->incoming.front();
            m_line->incoming.pop_front();
        }
        return n;
    }

private:
    std::shared_ptr<FakeLine> m_line;
};

class RecordingHost : public IProcedureHost {
public:
    bool UpdateTemplateFromPanel() override
    {
        ++panelReads;
        return acceptPanel;
    }
    void UpdatePanelFromTemplate() override { ++panelUpdates; }
    void SetBusyNotice(const std::string& text) override { busyNotices.push_back(text); }
    void Redraw() override { ++redraws; }

    bool acceptPanel = true;
    int panelReads = 0;
    int panelUpdates = 0;
    int redraws = 0;
    std::vector<std::string> busyNotices;
};

// The 5-byte command frame.
inline std::vector<std::uint8_t> CommandFrame(std::uint8_t code) { return {0xAA, 0x55, 0xFF, 0x00, code}; }

// The 140-byte data frame for an image, built independently of the link.
inline std::vector<std::uint8_t> DataFrame(const ConfigImage& image)
{
    std::vector<std::uint8_t> out;
    std::uint8_t check = 0;
    for (std::uint8_t b : image) {
        out.push_back(static_cast<std::uint8_t>('0' + (b % 16)));
        out.push_back(static_cast<std::uint8_t>('0' + (b / 16)));
        check ^= b;
    }
    out.push_back(static_cast<std::uint8_t>('0' + (check % 16)));
    out.push_back(static_cast<std::uint8_t>('0' + (check / 16)));
    out.insert(out.end(), 10, 0x00);
    return out;
}

// An image unlike the default one in every byte.
inline ConfigImage PatternImage(std::uint8_t seed)
{
    ConfigImage image{};
    for (int i = 0; i < imageSize; ++i)
        image[i] = static_cast<std::uint8_t>(seed + 37 * i);
    return image;
}

// COM3 served by the simulated reader over a pty (where there is none, over
// its in-process line); every wait lets the reader answer.
struct SerialRig {
    static constexpr int comNumber = 3;

    SerialRig()
    {
        SetComDeviceOverride(comNumber, sim.SlavePath());
        sleeper.onSleep = [this](int) { sim.Pump(); };
    }
    ~SerialRig() { ClearComDeviceOverrides(); }

    // A backend for another port object on the same line.
    std::unique_ptr<ISerialBackend> Backend()
    {
        return sim.InProcess() ? sim.InProcessBackend() : CreateDefaultSerialBackend();
    }

    SimReaderMemory memory;
    SimSerialReader sim{memory};
    CComPort com{Backend()};
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, comNumber + 1, true, &com, nullptr, nullptr};
};
