#include "device/usb/usb_checkup.h"

#include <cctype>

#include "device/usb/usb_port.h"

namespace {

// The number a rule file's name begins with; 99 without one (such a name
// sorts after every numbered one).
int RuleFileNumber(const std::string& name)
{
    int number = 0;
    std::size_t i = 0;
    for (; i < name.size() && i < 4 && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
        number = number * 10 + (name[i] - '0');
    return i == 0 ? 99 : number;
}

// udev applies uaccess tags in 73-seat-late.rules: a rule that adds the tag
// in a file sorted after it comes too late.
constexpr int uaccessLimit = 73;

CheckResult CheckUdevRule(UsbIds ids, const SystemRoots& roots, bool opens)
{
    const std::string vid = "\"" + UsbIdText(ids.vendorId) + "\"";
    const std::string pid = "\"" + UsbIdText(ids.productId) + "\"";
    const std::string pair = UsbIdText(ids.vendorId) + ":" + UsbIdText(ids.productId);
    const CheckStatus trouble = opens ? CheckStatus::Warn : CheckStatus::Fail;
    const std::string install = "Install the rule (tovask-cli udev-rule --help), then unplug the reader and plug it in again.";
    const UdevRuleLine* late = nullptr;
    const std::vector<UdevRuleLine> rules = ReadUdevRules(roots);
    for (const UdevRuleLine& line : rules) {
        const std::string text = LowerAscii(line.text);
        if (text.find("idvendor}==" + vid) == std::string::npos || text.find("idproduct}==" + pid) == std::string::npos)
            continue;
        if (text.find("uaccess") == std::string::npos || RuleFileNumber(line.file) < uaccessLimit)
            return {"udev rule", CheckStatus::Ok, line.file + " names " + pair, ""};
        late = &line;
    }
    if (late)
        return {"udev rule", trouble,
                late->file + " gives " + pair + " to the logged-in user (uaccess), but udev applies that tag in "
                    "73-seat-late.rules, before this file",
                "Rename it to a number below 73, such as 60-tovask-reader.rules."};
    std::string folders;
    for (const std::string& folder : roots.ruleFolders)
        folders += (folders.empty() ? "" : ", ") + folder;
    return {"udev rule", trouble, "no rule in " + folders + " names " + pair, install};
}

}  // namespace

std::vector<CheckResult> CheckUsbReader(IHidBackend& backend, UsbIds ids, const SystemRoots* roots)
{
    const std::string pair = UsbIdText(ids.vendorId) + ":" + UsbIdText(ids.productId);
    std::vector<CheckResult> out;
    std::vector<HidListing> list;
    if (!ListHidInterfaces(backend, ids, list)) {
        out.push_back({"USB reader present", CheckStatus::Fail, "the system's HID devices could not be listed",
                       "Check that the HID library is installed and that USB works on this computer."});
        return out;
    }
    std::vector<const HidListing*> readers;
    for (const HidListing& l : list)
        if (l.reader)
            readers.push_back(&l);
    if (readers.empty()) {
        out.push_back({"USB reader present", CheckStatus::Fail, "no HID interface is " + pair,
                       "Connect the reader, or name its identifiers with --vid and --pid (tovask-cli devices lists "
                       "them)."});
    } else {
        std::string where;
        for (const HidListing* l : readers)
            where += (where.empty() ? "" : ", ") + l->path + (l->location.empty() ? "" : " (location " + l->location + ")");
        if (readers.size() == 1)
            out.push_back({"USB reader present", CheckStatus::Ok, pair + " is " + where, ""});
        else
            out.push_back({"USB reader present", CheckStatus::Warn, pair + " is found " +
                               std::to_string(readers.size()) + " times: " + where,
                           "Name one with --device PATH or --device LOCATION, or connect one reader at a time."});
        const HidListing* closed = nullptr;
        for (const HidListing* l : readers)
            if (!l->openable && !closed)
                closed = l;
        if (closed)
            out.push_back({"USB reader opens", CheckStatus::Fail, closed->path + " cannot be opened: " + closed->whyNot,
                           roots ? "Install the udev rule (tovask-cli udev-rule --help), then unplug the reader and "
                                   "plug it in again."
                                 : "Close the program that holds the reader, or unplug it and plug it in again."});
        else
            out.push_back({"USB reader opens", CheckStatus::Ok, readers.front()->path + " opens", ""});
    }
    if (roots) {
        bool opens = true;  // no reader: a missing rule is not yet the trouble
        for (const HidListing* l : readers)
            opens = opens && l->openable;
        out.push_back(CheckUdevRule(ids, *roots, opens));
    }
    return out;
}
