#include "model/template_compare.h"

#include <cstdio>

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
