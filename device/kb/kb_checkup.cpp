#include "device/kb/kb_checkup.h"

#include <filesystem>

#include "device/kb/kbio.h"
#ifndef _WIN32
#include "device/kb/kb_serio.h"
#endif

namespace {

CheckResult CheckAccess(IKbPlatform& platform)
{
    CKBIO kb(platform);
    const CKBIO::OpenResult result = kb.Open();
    kb.Close();
    if (result == CKBIO::OpenResult::Ok)
        return {"keyboard port opens", CheckStatus::Ok, "the keyboard port's access opens", ""};
    std::string message = result == CKBIO::OpenResult::NoDriver ? kbmsg::cantOpenDriver : kbmsg::wrongSystemInfo;
    for (char& c : message)
        c = c == '\n' ? ' ' : c;
    return {"keyboard port opens", CheckStatus::Fail, message,
            "Install Tovask's keyboard-port access (see the README's keyboard port section)."};
}

}  // namespace

std::vector<CheckResult> CheckKeyboardPort(IKbPlatform& platform, const SystemRoots* roots)
{
#ifdef _WIN32
    (void)roots;
    return {CheckAccess(platform)};
#else
    if (!roots)
        return {CheckAccess(platform)};
    namespace fs = std::filesystem;
    std::vector<CheckResult> out;
    const std::string bind = "Hand the keyboard port to serio_raw as root: modprobe serio_raw; echo -n serio_raw > "
                             "/sys/bus/serio/devices/serio0/drvctl.";
    std::error_code ec;
    const fs::path port = fs::path(roots->sys) / "bus/serio/devices/serio0";
    const fs::path driver = fs::read_symlink(port / "driver", ec);
    if (!fs::exists(port))
        out.push_back({"serio_raw on the keyboard port", CheckStatus::Fail, "there is no keyboard port (serio0)",
                       "Use a computer with a PS/2 keyboard port, or the reader's USB or serial face."});
    else if (ec || driver.filename() != "serio_raw")
        out.push_back({"serio_raw on the keyboard port", CheckStatus::Fail,
                       ec ? "serio0 has no driver" : "serio0 is bound to " + driver.filename().string(), bind});
    else
        out.push_back({"serio_raw on the keyboard port", CheckStatus::Ok, "serio0 is bound to serio_raw", ""});
    const std::string node = FindSerioRawDevice(roots->sys, roots->dev);
    if (!fs::exists(node, ec)) {
        out.push_back({"serio_raw device", CheckStatus::Fail, node + " does not exist", bind});
        return out;
    }
    out.push_back({"serio_raw device", CheckStatus::Ok, node + " exists", ""});
    std::string why;
    if (SerioStream::Open(node, &why))
        out.push_back({"serio_raw device opens", CheckStatus::Ok, node + " opens", ""});
    else
        out.push_back({"serio_raw device opens", CheckStatus::Fail, node + " cannot be opened: " + why,
                       "Install the udev rule (tovask-cli udev-rule) and bind the port again, or end the program "
                       "that holds it."});
    return out;
#endif
}
