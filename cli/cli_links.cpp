#include "cli/cli_links.h"

#include <cctype>

#include "device/com/com_port.h"
#include "sim/reader_memory.h"
#include "sim/serial_reader.h"

namespace {

// COM1..COM8 (any case) as a port kind; 0 when the text names no COM port.
int ComPortKind(const std::string& port)
{
    if (port.size() != 4)
        return 0;
    std::string upper;
    for (char c : port)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.compare(0, 3, "COM") != 0 || upper[3] < '1' || upper[3] > '8')
        return 0;
    return portKindCOM1 + (upper[3] - '1');
}

class ComLinks : public CliLinks {
public:
    ComLinks(int portKind, std::string devicePath, bool simulate)
        : m_portKind(portKind), m_devicePath(std::move(devicePath))
    {
        if (simulate) {
            m_sim = std::make_unique<SimSerialReader>(m_memory);
            m_sim->Start();
        }
    }
    ~ComLinks() override
    {
        if (m_sim)
            m_sim->Stop();
        ClearComDeviceOverrides();
    }

    bool Prepare(TransferContext& ctx, IMessageSink& sink) override
    {
        if (m_sim) {
            if (!m_sim->IsOpen()) {
                sink.ShowMessage("The simulated reader could not start: " + m_sim->ErrorText());
                return false;
            }
            SetComDeviceOverride(m_portKind - 1, m_sim->SlavePath());
        } else if (!m_devicePath.empty()) {
            SetComDeviceOverride(m_portKind - 1, m_devicePath);
        }
        // As the editor does at start: open the port once to see that it can be opened.
        if (m_port.OpenPort(m_portKind - 1)) {
            m_port.ClosePort();
            ctx.comPortReady = true;
        } else {
            sink.ShowMessage(msg::cantOpenThisComPort);
            return false;
        }
        ctx.portKind = m_portKind;
        ctx.com = &m_port;
        return true;
    }

private:
    int m_portKind;
    std::string m_devicePath;
    SimReaderMemory m_memory;
    std::unique_ptr<SimSerialReader> m_sim;
    CComPort m_port;
};

}  // namespace

std::unique_ptr<CliLinks> CreateUsbLinks(bool simulate, std::string& error);
std::unique_ptr<CliLinks> CreatePs2Links(bool simulate, std::string& error);

std::unique_ptr<CliLinks> CliLinks::Create(const std::string& port, bool simulate, std::string& error)
{
    std::string upper;
    for (char c : port)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "USB")
        return CreateUsbLinks(simulate, error);
    if (upper == "PS2")
        return CreatePs2Links(simulate, error);
    if (const int kind = ComPortKind(port))
        return std::make_unique<ComLinks>(kind, std::string(), simulate);
    if (!port.empty() && port.find('/') != std::string::npos)
        return std::make_unique<ComLinks>(portKindCOM1, port, simulate);
    error = "unknown port '" + port + "': use USB, PS2, COM1..COM8 or a serial device path";
    return nullptr;
}
