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
    "write, read and verify take a path or a location with --device.\n"
    "  --json       print a JSON array of objects with the keys path, vendorId,\n"
    "               productId, version, manufacturer, product, openable, reader,\n"
    "               location\n"
    "  --simulate   list the simulated reader's bus instead\n";

const char* kUdevHelp =
    "Usage: tovask-cli udev-rule [--vid HEX --pid HEX]\n"
    "Prints the udev rules that let the logged-in user program the reader with these\n"
    "identifiers (default as for devices). Install them with:\n"
    "  tovask-cli udev-rule --vid 0c2e --pid 0720 | sudo tee /etc/udev/rules.d/60-tovask-reader.rules\n"
    "  sudo udevadm control --reload && sudo udevadm trigger\n"
    "then unplug the reader and plug it in again.\n";

std::string Cell(std::string text, std::size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

void PrintTable(const std::vector<HidListing>& list, UsbIds wanted)
{
    const std::string wantedText = UsbIdText(wanted.vendorId) + ":" + UsbIdText(wanted.productId);
    std::vector<std::vector<std::string>> rows{{"PATH", "LOCATION", "ID", "VERSION", "OPENABLE", "READER", "MANUFACTURER / PRODUCT"}};
    for (const HidListing& l : list) {
        char version[8];
        std::snprintf(version, sizeof version, "%04x", l.versionNumber);
        rows.push_back({l.path, l.location, UsbIdText(l.vendorId) + ":" + UsbIdText(l.productId), version,
                        l.openable ? "yes" : "no (" + l.whyNot + ")", l.reader ? "yes" : "",
                        l.manufacturer + " / " + l.product});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c + 1 < row.size(); ++c)
            line += Cell(row[c], widths[c]) + "  ";
        std::cout << line << row.back() << '\n';
    }
    const auto reader = std::find_if(list.begin(), list.end(), [](const HidListing& l) { return l.reader; });
    if (reader == list.end())
        std::cout << "\nNo HID interface is " << wantedText
                  << ", the reader Tovask looks for. Name yours with --vid and --pid.\n";
    else if (!reader->openable)
        std::cout << "\nThe reader " << wantedText << " is " << reader->path << ", but Tovask may not open it ("
                  << reader->whyNot << "): install the udev rule (tovask-cli udev-rule --help).\n";
    else
        std::cout << "\nThe reader " << wantedText << " is " << reader->path << ".\n";
}

void PrintJson(const std::vector<HidListing>& list)
{
    Json array = Json::array();
    for (const HidListing& l : list)
        array.push_back({{"path", JsonBytes(l.path)},
                         {"vendorId", UsbIdText(l.vendorId)},
                         {"productId", UsbIdText(l.productId)},
                         {"version", l.versionNumber},
                         {"manufacturer", JsonBytes(l.manufacturer)},
                         {"product", JsonBytes(l.product)},
                         {"openable", l.openable},
                         {"reader", l.reader},
                         {"location", JsonBytes(l.location)}});
    std::cout << JsonText(array) << '\n';
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
        std::cerr << "tovask-cli: " << error << '\n';
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
                std::cerr << "tovask-cli: the system's HID devices could not be listed\n";
                return exitFailed;
            }
            if (o->json)
                PrintJson(list);
            else
                PrintTable(list, wanted);
            return exitOk;
        });
    AddSwitch(*verb, "--json", o->json);
    AddSwitch(*verb, "--simulate", o->simulate);
    AddUsbIdOptions(*verb, o->ids);
}

void AddUdevRuleVerb(CLI::App& tool)
{
    auto ids = std::make_shared<UsbIdOptions>();
    CLI::App* verb = AddVerb(tool,
                             {"udev-rule", "udev-rule",
                              "print the udev rules that give the user the reader", kUdevHelp},
                             [ids] {
                                 UsbIds resolved;
                                 if (!ResolveUsbIds(*ids, resolved))
                                     return exitUsage;
                                 return PrintOut(UdevRuleText(resolved)) ? exitOk : exitFailed;
                             });
    AddUsbIdOptions(*verb, *ids);
}
