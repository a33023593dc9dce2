#include "device/usb/usb_checkup.h"

#include <algorithm>

#include "device/usb/usb_port.h"

namespace {

// udev reads the rule files of all its folders as one list ordered by name as
// text ("100-x.rules" before "73-seat-late.rules", "8-x.rules" after it) and
// applies the uaccess tag in this one: a tag added by a file after it comes too
// late.
constexpr const char* seatLateRules = "73-seat-late.rules";

CheckResult CheckUdevRule(UsbIds ids, const SystemRoots& roots, bool opens)
{
    const std::string vid = "\"" + UsbIdText(ids.vendorId) + "\"";
    const std::string pid = "\"" + UsbIdText(ids.productId) + "\"";
    const std::string pair = UsbIdText(ids.vendorId) + ":" + UsbIdText(ids.productId);
    const CheckStatus trouble = opens ? CheckStatus::Warn : CheckStatus::Fail;
    const std::string install = "Install the rule (tovask-cli udev-rule --help), then unplug the reader and plug it in again.";
    // Per file, in udev's order: whether a line names the pair, whether the
    // file relies on uaccess (the tag may be given on a line of its own).
    struct File {
        std::string name, folder;
        bool names = false, uaccess = false;
    };
    std::vector<File> files;
    for (const UdevRuleLine& line : ReadUdevRules(roots)) {
        if (files.empty() || files.back().name != line.file)
            files.push_back({line.file, line.folder});
        const std::string text = LowerAscii(line.text);
        files.back().names |= text.find("idvendor}==" + vid) != std::string::npos &&
                              text.find("idproduct}==" + pid) != std::string::npos;
        files.back().uaccess |= text.find("uaccess") != std::string::npos;
    }
    const File* late = nullptr;
    for (const File& f : files) {
        if (!f.names)
            continue;
        const std::string where = f.name + " in " + f.folder;
        if (!f.uaccess)
            return {"udev rule", CheckStatus::Ok, where + " names " + pair, ""};
        if (f.name < seatLateRules)
            return {"udev rule", CheckStatus::Ok, where + " names " + pair + " and comes before " + seatLateRules, ""};
        if (!late)
            late = &f;
    }
    if (late)
        return {"udev rule", trouble,
                late->name + " in " + late->folder + " gives " + pair +
                    " to the logged-in user (uaccess), but udev orders rule files by name as text and applies that "
                    "tag in " + seatLateRules + ", before this file",
                "Rename it to a name that sorts before " + std::string(seatLateRules) +
                    ", such as 60-tovask-reader.rules."};
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
    // One reader per place: a composite reader lists its identifiers on each
    // of its interfaces at one location, and the one that opens stands for
    // it (the rule keeps its keyboard interface from the user).
    std::vector<const HidListing*> readers;
    for (const HidListing& l : list) {
        if (!l.reader)
            continue;
        const auto same = std::find_if(readers.begin(), readers.end(), [&](const HidListing* r) {
            return !l.location.empty() && r->location == l.location;
        });
        if (same == readers.end())
            readers.push_back(&l);
        else if (!(*same)->openable && l.openable)
            *same = &l;
    }
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
