// doctor: why a reader cannot be reached, one check a line, each with its fix.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "device/com/com_port.h"
#include "device/com/serial_checkup.h"
#include "device/kb/kb_checkup.h"
#include "device/kb/kb_io.h"
#include "device/usb/usb_checkup.h"
#include "device/usb/usb_port.h"
#include "sim/simulated_reader.h"

namespace {

const char* kDoctorHelp =
    "Usage: tovask-cli doctor [--port PORT] [--vid HEX --pid HEX] [--json] [--simulate]\n"
    "Checks what the link needs of this computer and prints one line per check: ok,\n"
    "warn or fail, what was found, and for warn and fail the fix in one sentence.\n"
    "  --port PORT   USB (the default), PS2, COM1..COM255 or a serial device path\n"
    "  USB:  an interface with the reader's identifiers is present; it opens; on Linux a\n"
    "        udev rule names them, numbered below 73 when it relies on uaccess\n"
    "  COM:  the port is present; it opens; if not, whether you lack its group (dialout)\n"
    "        and which process holds it; for a USB-serial adapter on Linux, ModemManager\n"
    "        running without a rule that tells it to leave the adapter alone\n"
    "  PS2:  on Linux serio_raw is bound to the keyboard port, its device is present\n"
    "        and opens; on Windows the keyboard-port access opens\n"
    "  --vid, --pid  the USB reader's identifiers (see tovask-cli devices)\n"
    "  --json        print a JSON array of objects with the keys check, status,\n"
    "                detail, fix\n"
    "  --simulate    check the built-in simulated reader (the system's files are not read)\n"
    "Exit code 0 when no check failed, 4 otherwise (the reader cannot be reached as\n"
    "things are), 2 bad usage.\n";

std::vector<CheckResult> RunChecks(const PortChoice& choice, UsbIds ids, bool simulate)
{
    std::unique_ptr<SimReader> simulated = simulate ? std::make_unique<SimReader>(choice.portKind) : nullptr;
    const SystemRoots* roots = simulate ? nullptr : SystemCheckupRoots();
    if (choice.portKind == portKindUSB) {
        LinkSet links(portKindUSB, simulated.get());
        return CheckUsbReader(links.Usb()->Backend(), ids, roots);
    }
    if (choice.portKind == portKindPS2) {
        std::unique_ptr<IKbPlatform> system = simulate ? nullptr : CreateSystemKbPlatform();
        return CheckKeyboardPort(simulate ? simulated->KbPlatform() : *system, roots);
    }
    std::unique_ptr<ISerialBackend> backend = simulated ? simulated->SerialBackend() : nullptr;
    std::string path = choice.devicePath.empty() ? ComDevicePath(choice.portKind - 1) : choice.devicePath;
    if (simulated && !simulated->SerialError().empty())
        return {{"serial port present", CheckStatus::Fail,
                 "the simulated reader could not start: " + simulated->SerialError(), "Try again."}};
    if (simulated && !backend)
        path = simulated->SerialDevicePath();
    if (!backend)
        backend = CreateDefaultSerialBackend();
    return CheckSerialPort(path, *backend, roots);
}

}  // namespace

void AddDoctorVerb(CLI::App& tool)
{
    struct Options {
        std::string port = "USB";
        UsbIdOptions ids;
        bool json = false;
        bool simulate = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(
        tool, {"doctor", "doctor [--port PORT]", "check why a reader cannot be reached, and the fix", kDoctorHelp},
        [o] {
            UsbIds ids;
            if (!ResolveUsbIds(o->ids, ids))
                return exitUsage;
            const PortChoice choice = PortOption(o->port);
            if (choice.portKind < 0)
                return exitUsage;
            const std::vector<CheckResult> checks = RunChecks(choice, ids, o->simulate);
            bool failed = false;
            std::string text;
            Json array = Json::array();
            for (const CheckResult& c : checks) {
                failed = failed || c.status == CheckStatus::Fail;
                array.push_back({{"check", JsonBytes(c.check)},
                                 {"status", CheckStatusName(c.status)},
                                 {"detail", JsonName(c.detail)},
                                 {"fix", JsonName(c.fix)}});
                char status[8];
                std::snprintf(status, sizeof status, "%-4s", CheckStatusName(c.status));
                text += std::string(status) + "  " + c.check + ": " + c.detail + (c.fix.empty() ? "" : ". " + c.fix) +
                        "\n";
            }
            if (!(o->json ? PrintJson(array) : PrintOut(text)))
                return exitFailed;
            return failed ? exitUnreachable : exitOk;
        });
    verb->add_option("-p,--port", o->port);
    AddUsbIdOptions(*verb, o->ids);
    AddSwitch(*verb, "--json", o->json);
    AddSwitch(*verb, "--simulate", o->simulate);
}
