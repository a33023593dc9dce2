#include "model/system_text.h"

namespace {

// The length of the valid UTF-8 sequence at the start of text, 0 if none:
// no overlong forms, no surrogates, nothing beyond U+10FFFF.
std::size_t SequenceLength(std::string_view text)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b = at(0);
    if (b < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < n || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return n;
}

}  // namespace

std::string Utf8OrEscaped(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    while (!text.empty()) {
        const std::size_t n = SequenceLength(text);
        if (n == 0) {
            const auto b = static_cast<unsigned char>(text[0]);
            out += {'\\', 'x', hex[b >> 4], hex[b & 15]};
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, n));
            text.remove_prefix(n);
        }
    }
    return out;
}
