// The USB identifiers of the reader to be programmed: the build's pair unless
// the user names another (command-line options, environment, settings).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

struct UsbIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool operator==(const UsbIds&) const = default;
};

// The pair this build was made for (cmake -DTOVASK_USB_VID=... -DTOVASK_USB_PID=...).
UsbIds BuildUsbIds();

// 1 to 4 hex digits, "0x" optional: "0c2e", "0x0C2E", "c2e".
bool ParseUsbId(std::string_view text, std::uint16_t& out);
// Four lower-case hex digits: "0c2e".
std::string UsbIdText(std::uint16_t id);

// One place where the user may name an identifier.
struct UsbIdSource {
    std::string name;                 // "--vid", "TOVASK_USB_VID", ...
    std::optional<std::string> text;  // not given there when empty
};
// The identifier of the first source that gives one, in the order listed,
// else fallback. A malformed text is an error, never skipped: false, with
// error naming the source and its text.
bool PickUsbId(std::initializer_list<UsbIdSource> sources, std::uint16_t fallback, std::uint16_t& out,
               std::string& error);

// The variable's text when it is set and not empty.
std::optional<std::string> EnvironmentText(const char* name);

// The udev rules for this reader's configuration interface (and the raw
// keyboard-port device), as installed for the build's pair: the person at the
// seat only. With a group, its members are given the same nodes from any
// session.
std::string UdevRuleText(UsbIds ids, const std::string& group = {});
// A name udev can take as GROUP: letters, digits, '_', '-' and '.', not
// starting with '-' or '.', at most 32 characters.
bool IsUdevGroupName(std::string_view name);
