#include "device/usb/usb_ids.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "device/usb/udev_rule_template.h"

#ifndef TOVASK_USB_VID_DEFAULT
#define TOVASK_USB_VID_DEFAULT 0x1209
#endif
#ifndef TOVASK_USB_PID_DEFAULT
#define TOVASK_USB_PID_DEFAULT 0x0001
#endif

UsbIds BuildUsbIds() { return {TOVASK_USB_VID_DEFAULT, TOVASK_USB_PID_DEFAULT}; }

bool ParseUsbId(std::string_view text, std::uint16_t& out)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                     : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    out = static_cast<std::uint16_t>(value);
    return true;
}

std::string UsbIdText(std::uint16_t id)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", id);
    return text;
}

bool PickUsbId(std::initializer_list<UsbIdSource> sources, std::uint16_t fallback, std::uint16_t& out,
               std::string& error)
{
    for (const UsbIdSource& source : sources) {
        if (!source.text || source.text->empty())
            continue;
        if (!ParseUsbId(*source.text, out)) {
            error = source.name + ": \"" + *source.text + "\" is not a USB identifier (1 to 4 hex digits, such as 0c2e)";
            return false;
        }
        return true;
    }
    out = fallback;
    return true;
}

std::optional<std::string> EnvironmentText(const char* name)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return std::nullopt;
    return std::string(text);
}

bool IsUdevGroupName(std::string_view name)
{
    if (name.empty() || name.size() > 32 || name[0] == '-' || name[0] == '.')
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

std::string UdevRuleText(UsbIds ids, const std::string& group)
{
    std::string text = udevRuleTemplate;
    for (const auto& [mark, value] : {std::pair{std::string("@VID@"), UsbIdText(ids.vendorId)},
                                      std::pair{std::string("@PID@"), UsbIdText(ids.productId)}}) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    if (!group.empty())
        text += "\n# Members of " + group + " may program the reader too, from any session (SSH,\n"
                "# services): they can read and change its settings, among them what it types\n"
                "# around each card. With the PS/2 line they read every byte on the keyboard\n"
                "# port: the keyboard's keys and each card swiped.\n"
                "KERNEL==\"hidraw*\", ENV{TOVASK_MR}==\"config\", MODE=\"0660\", GROUP=\"" + group + "\"\n"
                "KERNEL==\"serio_raw[0-9]*\", SUBSYSTEM==\"misc\", MODE=\"0660\", GROUP=\"" + group + "\"\n";
    return text;
}
