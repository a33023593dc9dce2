#include "device/com/serial_checkup.h"

#include <filesystem>
#include <fstream>

#include "device/com/com_port.h"

namespace {

namespace fs = std::filesystem;

// A USB-serial adapter's node, which ModemManager probes when it appears.
bool IsUsbSerialNode(const std::string& devicePath)
{
    return devicePath.find("ttyUSB") != std::string::npos || devicePath.find("ttyACM") != std::string::npos;
}

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The USB identifiers ("0403", "6001") of the adapter behind a tty node,
// from the USB device above it in sysfs; false when sysfs does not say.
bool AdapterIds(const SystemRoots& roots, const std::string& devicePath, std::string& vid, std::string& pid)
{
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(roots.sys) / "class/tty" / fs::path(devicePath).filename() / "device", ec);
    for (; !ec && dir.has_relative_path(); dir = dir.parent_path())
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            vid = LowerAscii(FirstLine(dir / "idVendor"));
            pid = LowerAscii(FirstLine(dir / "idProduct"));
            return true;
        }
    return false;
}

// A rule that tells ModemManager to leave the adapter alone: its file, or "".
// With the adapter's identifiers unknown, any such rule counts.
std::string IgnoreRule(const SystemRoots& roots, const std::string& devicePath)
{
    std::string vid, pid;
    const bool known = AdapterIds(roots, devicePath, vid, pid);
    for (const UdevRuleLine& line : ReadUdevRules(roots)) {
        const std::string text = LowerAscii(line.text);
        if (text.find("id_mm_device_ignore") == std::string::npos)
            continue;
        const bool product = text.find("idproduct}==") != std::string::npos;
        if (!known || (text.find("idvendor}==\"" + vid + "\"") != std::string::npos
                       && (!product || text.find("idproduct}==\"" + pid + "\"") != std::string::npos)))
            return line.file;
    }
    return {};
}

std::string Names(const std::vector<RunningProcess>& processes)
{
    std::string text;
    for (const RunningProcess& p : processes)
        text += (text.empty() ? "" : ", ") + std::to_string(p.pid) + " (" + p.name + ")";
    return text;
}

}  // namespace

std::vector<CheckResult> CheckSerialPort(const std::string& devicePath, ISerialBackend& backend,
                                         const SystemRoots* roots)
{
    std::vector<CheckResult> out;
    const bool opens = backend.Open(devicePath);
    const std::string why = opens ? "" : backend.ErrorText();
    if (opens)
        backend.Close();
    if (!opens && !SerialPortPresent(devicePath)) {
        out.push_back({"serial port present", CheckStatus::Fail, devicePath + " does not exist",
                       "Connect the adapter or name the port it has (Linux: ls /dev/ttyUSB* /dev/ttyS*; Windows: the "
                       "Device Manager's Ports)."});
        return out;
    }
    out.push_back({"serial port present", CheckStatus::Ok, devicePath + " exists", ""});
    if (opens) {
        out.push_back({"serial port opens", CheckStatus::Ok, devicePath + " opens", ""});
    } else {
        out.push_back({"serial port opens", CheckStatus::Fail,
                       devicePath + " cannot be opened" + (why.empty() ? "" : ": " + why),
                       "See the checks below for the reason."});
        if (roots) {
            const std::string group = MissingGroupFor(devicePath);
            if (group.empty())
                out.push_back({"serial port group", CheckStatus::Ok, "you may open " + devicePath, ""});
            else
                out.push_back({"serial port group", CheckStatus::Fail,
                               "you are not in the group " + group + " that owns " + devicePath,
                               "Add yourself to it (sudo usermod -aG " + group + " $USER) and log in again."});
            const std::vector<RunningProcess> holders = ProcessesHolding(*roots, devicePath);
            if (holders.empty())
                out.push_back({"serial port free", CheckStatus::Ok, "no process you can see holds " + devicePath, ""});
            else
                out.push_back({"serial port free", CheckStatus::Fail, devicePath + " is held by " + Names(holders),
                               "End that program, then try again."});
        }
    }
    if (roots && IsUsbSerialNode(devicePath)) {
        bool running = false;
        for (const RunningProcess& p : RunningProcesses(*roots))
            running = running || p.name == "ModemManager";
        const std::string ignoreRule = running ? IgnoreRule(*roots, devicePath) : "";
        if (!running)
            out.push_back({"ModemManager", CheckStatus::Ok, "ModemManager is not running", ""});
        else if (!ignoreRule.empty())
            out.push_back({"ModemManager", CheckStatus::Ok, "ModemManager is running; " + ignoreRule +
                               " tells it to leave the adapter alone", ""});
        else
            out.push_back({"ModemManager", CheckStatus::Warn,
                           "ModemManager is running and no udev rule tells it to leave the adapter alone: it may "
                           "send modem commands to the reader when the adapter is plugged in",
                           "Add a udev rule with the adapter's ATTRS{idVendor} and ATTRS{idProduct} and "
                           "ENV{ID_MM_DEVICE_IGNORE}=\"1\", or stop ModemManager."});
    }
    return out;
}
