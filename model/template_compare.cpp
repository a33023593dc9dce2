#include "model/template_compare.h"

#include <algorithm>
#include <cstdio>

#include "model/template_record.h"
#include "model/template_values.h"

namespace {

// How diff shows a value: texts (already in their printed form) quoted.
std::string Shown(const std::string& name, const std::string& value)
{
    const int k = FieldIndexOf(name);
    if (k < 0 || FieldInfoAt(k).kind == FieldKind::Switch)
        return value;
    return '"' + value + '"';
}

std::string Hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x", v & 0xFF);
    return buf;
}

// The image bits that differ between a and b and that no change of a value
// explains: those where encoding b's values onto a gives the same as encoding
// a's own values onto it.
std::string ImageOnlyDifferences(const ConfigImage& a, const TemplateRecord& ra, const ConfigImage& b,
                                 const TemplateRecord& rb)
{
    ConfigImage withOwn = a, withOther = a;
    EncodeImage(ra, withOwn);
    EncodeImage(rb, withOther);
    std::string line;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned unexplained = (a[i] ^ b[i]) & ~(withOwn[i] ^ withOther[i]) & 0xFF;
        if (unexplained)
            line += (line.empty() ? "image: 0x" : ", 0x") + Hex2(static_cast<unsigned>(i)) + ": " + Hex2(a[i]) +
                    " -> " + Hex2(b[i]);
    }
    return line;
}

}  // namespace

std::vector<Difference> Differences(const ConfigImage& a, const ConfigImage& b)
{
    TemplateRecord ra, rb;
    DecodeImage(a, ra);
    DecodeImage(b, rb);
    std::vector<Difference> out;
    for (const std::string& name : TemplateValueNames()) {
        const std::string va = *GetTemplateValue(ra, name), vb = *GetTemplateValue(rb, name);
        if (va != vb)
            out.push_back({name, name + ": " + Shown(name, va) + " -> " + Shown(name, vb)});
    }
    if (std::string line = ImageOnlyDifferences(a, ra, b, rb); !line.empty())
        out.push_back({"image", line});
    return out;
}

namespace {

// A field's caption up to its limit or hint: "Track1 prefix", "Track1 seperator".
std::string FieldTitle(int k)
{
    const std::string caption = FieldInfoAt(k).caption;
    const std::size_t end = std::min(caption.find(':'), caption.find(" ("));
    return caption.substr(0, end);
}

std::string OnOff(int v) { return v ? "on" : "off"; }

template <typename Texts>
std::string ListItem(int index, const Texts& texts)
{
    if (index < 0)
        return "no selection";
    return index < static_cast<int>(texts.size()) ? texts[static_cast<std::size_t>(index)]
                                                  : "item " + std::to_string(index + 1);
}

std::string ErrorModeText(int mode)
{
    return mode == 0 ? "Skip output of track with error" : mode == 1 ? "No data output with any error" : "none";
}

}  // namespace

std::vector<std::string> WindowDifferences(const ConfigImage& a, const ConfigImage& b)
{
    TemplateRecord ra, rb;
    DecodeImage(a, ra);
    DecodeImage(b, rb);
    std::vector<std::string> out;
    auto add = [&out](const std::string& name, const std::string& va, const std::string& vb) {
        if (va != vb)
            out.push_back(name + ": " + va + " -> " + vb);
    };
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldKind kind = FieldInfoAt(k).kind;
        const std::string& ta = ra.formatFields[k].text;
        const std::string& tb = rb.formatFields[k].text;
        if (kind == FieldKind::Switch)
            add(FieldTitle(k), ta, tb);
        else if (kind != FieldKind::Data)
            add(FieldTitle(k), '"' + ShownText(UnescapeText(ta)) + '"', '"' + ShownText(UnescapeText(tb)) + '"');
    }
    for (int t = 0; t < 3; ++t)
        add("Track" + std::to_string(t + 1) + " data", OnOff(ra.trackEnabled[t]), OnOff(rb.trackEnabled[t]));
    add("Read errors", ErrorModeText(ra.errorMode), ErrorModeText(rb.errorMode));
    add("Long beep at good read", OnOff(ra.longBeepOnGoodRead), OnOff(rb.longBeepOnGoodRead));
    add("3 beeps at read error", OnOff(ra.threeBeepsOnError), OnOff(rb.threeBeepsOnError));
    add("Output Delay (mS)", std::to_string(ra.outputDelay), std::to_string(rb.outputDelay));
    add("OPOS/JPOS", OnOff(ra.oposMode), OnOff(rb.oposMode));
    add("Baud rate", ListItem(ra.baudIndex, baudTexts), ListItem(rb.baudIndex, baudTexts));
    add("Parity", ListItem(ra.parityIndex, parityTexts), ListItem(rb.parityIndex, parityTexts));
    add("Data bits", ListItem(ra.dataBitsIndex, dataBitsTexts), ListItem(rb.dataBitsIndex, dataBitsTexts));
    add("Flow control", ListItem(ra.flowControlIndex, flowControlTexts),
        ListItem(rb.flowControlIndex, flowControlTexts));
    const std::vector<Difference> all = Differences(a, b);
    // Also when no value the window shows explains a difference the values have.
    if (!all.empty() && (all.back().name == "image" || out.empty()))
        out.push_back(hiddenBytesDiffer);
    return out;
}
