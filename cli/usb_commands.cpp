// devices and udev-rule: finding a USB reader and giving the user access to it.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/cli_io.h"
#include "cli/json.h"
#include "model/template_record.h"
#include "device/usb/usb_port.h"
#include "device/link_set.h"
#include "sim/simulated_reader.h"

namespace {

const char* kDevicesHelp =
    "Usage: tovask-cli devices [--json] [--vid HEX --pid HEX] [--simulate]\n"
    "Lists every HID interface the system shows, each path once: its identifiers,\n"
    "version, manufacturer and product, whether Tovask may open it, and whether it\n"
    "is the reader Tovask looks for (--vid/--pid, else TOVASK_USB_VID/TOVASK_USB_PID,\n"
    "else the build's pair).\n"
    "LOCATION is where the device is plugged in: on Linux the USB bus-port chain\n"
    "such as 1-3.2, on Windows the device's location path (empty when unknown);\n"
    "SERIAL is the device's USB serial-number string (empty when it has none).\n"
    "write, read and verify take a path, a location or a serial number with --device.\n"
    "  --json       print a JSON array of objects with the keys path, vendorId,\n"
    "               productId, version, manufacturer, product, openable, reader,\n"
    "               location, serial (identifiers and version as hex strings, as in\n"
    "               the table)\n"
    "  --simulate   list the simulated reader's bus instead\n";

const char* kUdevHelp =
    "Usage: tovask-cli udev-rule [--vid HEX --pid HEX] [--group NAME] [--json]\n"
    "Prints the udev rules that let the person at the seat (uaccess) program the\n"
    "reader with these identifiers (default as for devices): its configuration\n"
    "interface only, never the interface that types the swipes.\n"
    "  --group NAME         also give the group NAME the reader, from any session\n"
    "                       (SSH, services): its members can read and change the\n"
    "                       reader's settings, and read every byte of the PS/2\n"
    "                       keyboard port (keys and swipes) once serio_raw is bound\n"
    "  --json               print one JSON object: result, exitCode, rules\n"
    "Install them with:\n"
    "  tovask-cli udev-rule --vid 0c2e --pid 0720 | sudo tee /etc/udev/rules.d/60-tovask-reader.rules\n"
    "  sudo udevadm control --reload && sudo udevadm trigger\n"
    "then unplug the reader and plug it in again.\n";

std::string Cell(std::string text, std::size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

std::string VersionText(const HidListing& l)
{
    char version[8];
    std::snprintf(version, sizeof version, "%04x", l.versionNumber);
    return version;
}

bool PrintTable(const std::vector<HidListing>& list, UsbIds wanted)
{
    const std::string wantedText = UsbIdText(wanted.vendorId) + ":" + UsbIdText(wanted.productId);
    std::vector<std::vector<std::string>> rows{
        {"PATH", "LOCATION", "SERIAL", "ID", "VERSION", "OPENABLE", "READER", "MANUFACTURER / PRODUCT"}};
    for (const HidListing& l : list) {
        rows.push_back({l.path, l.location, ShownText(l.serialNumber), UsbIdText(l.vendorId) + ":" + UsbIdText(l.productId),
                        VersionText(l),
                        l.openable ? "yes" : "no (" + l.whyNot + ")", l.reader ? "yes" : "",
                        l.manufacturer + " / " + l.product});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c + 1 < row.size(); ++c)
            text += Cell(row[c], widths[c]) + "  ";
        text += row.back() + '\n';
    }
    // A composite reader's keyboard interface is not the user's: the reader
    // is its interface that opens, where one does.
    auto reader = std::find_if(list.begin(), list.end(), [](const HidListing& l) { return l.reader && l.openable; });
    if (reader == list.end())
        reader = std::find_if(list.begin(), list.end(), [](const HidListing& l) { return l.reader; });
    if (reader == list.end())
        text += "\nNo HID interface is " + wantedText + ", the reader Tovask looks for. Name yours with --vid and --pid.\n";
    else if (!reader->openable)
        text += "\nThe reader " + wantedText + " is " + reader->path + ", but Tovask may not open it (" + reader->whyNot +
                "): install the udev rule (tovask-cli udev-rule --help).\n";
    else
        text += "\nThe reader " + wantedText + " is " + reader->path + ".\n";
    return PrintOut(text);
}

bool PrintList(const std::vector<HidListing>& list)
{
    Json array = Json::array();
    for (const HidListing& l : list)
        array.push_back({{"path", JsonName(l.path)},
                         {"vendorId", UsbIdText(l.vendorId)},
                         {"productId", UsbIdText(l.productId)},
                         {"version", VersionText(l)},
                         {"manufacturer", JsonBytes(l.manufacturer)},
                         {"product", JsonBytes(l.product)},
                         {"openable", l.openable},
                         {"reader", l.reader},
                         {"location", JsonName(l.location)},
                         {"serial", JsonBytes(l.serialNumber)}});
    return PrintJson(array);
}

}  // namespace

bool ResolveUsbIds(const UsbIdOptions& ids, UsbIds& out)
{
    std::string error;
    const UsbIds build = BuildUsbIds();
    const UsbIdSource vid[] = {{"--vid", ids.vid}, {"TOVASK_USB_VID", EnvironmentText("TOVASK_USB_VID")}};
    const UsbIdSource pid[] = {{"--pid", ids.pid}, {"TOVASK_USB_PID", EnvironmentText("TOVASK_USB_PID")}};
    if (!PickUsbId({vid[0], vid[1]}, build.vendorId, out.vendorId, error)
        || !PickUsbId({pid[0], pid[1]}, build.productId, out.productId, error)) {
        Complain(error);
        return false;
    }
    return true;
}

void AddDevicesVerb(CLI::App& tool)
{
    struct Options {
        UsbIdOptions ids;
        bool json = false;
        bool simulate = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(
        tool, {"devices", "devices [--json]", "list the HID interfaces and which one is the reader", kDevicesHelp}, [o] {
            UsbIds wanted;
            if (!ResolveUsbIds(o->ids, wanted))
                return exitUsage;
            std::unique_ptr<SimReader> simulated = o->simulate ? std::make_unique<SimReader>(portKindUSB) : nullptr;
            LinkSet links(portKindUSB, simulated.get());
            std::vector<HidListing> list;
            if (!ListHidInterfaces(links.Usb()->Backend(), wanted, list)) {
                Complain("the system's HID devices could not be listed");
                return exitFailed;
            }
            return (o->json ? PrintList(list) : PrintTable(list, wanted)) ? exitOk : exitFailed;
        });
    AddSwitch(*verb, "--json", o->json);
    AddSwitch(*verb, "--simulate", o->simulate);
    AddUsbIdOptions(*verb, o->ids);
}

void AddUdevRuleVerb(CLI::App& tool)
{
    auto ids = std::make_shared<UsbIdOptions>();
    auto group = std::make_shared<std::optional<std::string>>();
    CLI::App* verb = AddVerb(tool,
                             {"udev-rule", "udev-rule [--group NAME]",
                              "print the udev rules that give the user the reader", kUdevHelp},
                             [ids, group] {
                                 UsbIds resolved;
                                 if (!ResolveUsbIds(*ids, resolved))
                                     return exitUsage;
                                 if (*group && !IsUdevGroupName(**group)) {
                                     Complain("--group: \"" + **group + "\" is no group name (letters, digits, _ - .)");
                                     return exitUsage;
                                 }
                                 const std::string text = UdevRuleText(resolved, group->value_or(""));
                                 if (JsonMode())
                                     return PrintJson({{"result", "ok"}, {"exitCode", exitOk}, {"rules", text}})
                                                ? exitOk
                                                : exitFailed;
                                 return PrintOut(text) ? exitOk : exitFailed;
                             });
    AddUsbIdOptions(*verb, *ids);
    verb->add_option("--group", *group, "also give the members of this group the reader");
    verb->add_flag("--json")->description("print one JSON object: result, exitCode, rules");
}
