#include "model/template_record.h"

namespace {

constexpr FieldInfo kFields[formatFieldCount] = {
    {"CardPrefix", FieldKind::Text, 4, "Card data prefix: (maximum 4 characters)"},
    {"T1Prefix", FieldKind::Text, 8, "Track1 prefix: (maximum 8 characters)"},
    {"T1StartSentinel", FieldKind::Switch, 0, "Track1 start sentinel (checked: Enable, unchecked: Disable)"},
    {"T1Data", FieldKind::Data, 0, ""},
    {"T1Terminator", FieldKind::Terminator, 1, "Track1 terminator: (only 1 character)"},
    {"T1Separator", FieldKind::Switch, 0, "Track1 seperator (checked: Enable, unchecked: Disable)"},
    {"T1StopSentinel", FieldKind::Switch, 0, "Track1 stop sentinel (checked: Enable, unchecked: Disable)"},
    {"T1Lrc", FieldKind::Switch, 0, "Track1 LRC (checked: Enable, unchecked: Disable)"},
    {"T1Suffix", FieldKind::Text, 8, "Track1 suffix: (maximum 8 characters)"},
    {"T2Prefix", FieldKind::Text, 8, "Track2 prefix: (maximum 8 characters)"},
    {"T2StartSentinel", FieldKind::Switch, 0, "Track2 start sentinel (checked: Enable, unchecked: Disable)"},
    {"T2Data", FieldKind::Data, 0, ""},
    {"T2Terminator", FieldKind::Terminator, 1, "Track2 terminator: (only 1 character)"},
    {"T2Separator", FieldKind::Switch, 0, "Track2 seperator (checked: Enable, unchecked: Disable)"},
    {"T2StopSentinel", FieldKind::Switch, 0, "Track2 stop sentinel (checked: Enable, unchecked: Disable)"},
    {"T2Lrc", FieldKind::Switch, 0, "Track2 LRC (checked: Enable, unchecked: Disable)"},
    {"T2Suffix", FieldKind::Text, 8, "Track2 suffix: (maximum 8 characters)"},
    {"T3Prefix", FieldKind::Text, 8, "Track3 prefix: (maximum 8 characters)"},
    {"T3StartSentinel", FieldKind::Switch, 0, "Track3 start sentinel (checked: Enable, unchecked: Disable)"},
    {"T3Data", FieldKind::Data, 0, ""},
    {"T3Terminator", FieldKind::Terminator, 1, "Track3 terminator: (only 1 character)"},
    {"T3Separator", FieldKind::Switch, 0, "Track3 seperator (checked: Enable, unchecked: Disable)"},
    {"T3StopSentinel", FieldKind::Switch, 0, "Track3 stop sentinel (checked: Enable, unchecked: Disable)"},
    {"T3Lrc", FieldKind::Switch, 0, "Track3 LRC (checked: Enable, unchecked: Disable)"},
    {"T3Suffix", FieldKind::Text, 8, "Track3 suffix: (maximum 8 characters)"},
    {"CardSuffix", FieldKind::Text, 4, "Card data suffix: (maximum 4 characters)"},
};

// The byte of a complete two-letter sequence "[XY]" starting with letter first, or -1.
int SequenceByte(char first, char second)
{
    if (first == 'C' && second == 'R')
        return 0x0D;
    if (first == 'L' && second == 'F')
        return 0x0A;
    if (first == 'T' && second == 'B')
        return 0x09;
    return -1;
}

char SecondLetterOf(char first)
{
    switch (first) {
    case 'C': return 'R';
    case 'L': return 'F';
    case 'T': return 'B';
    default: return 0;
    }
}

// The character at i, or NUL past the end.
char At(std::string_view text, std::size_t i) { return i < text.size() ? text[i] : '\0'; }

}  // namespace

const FieldInfo& FieldInfoAt(int k) { return kFields[k]; }

int TrackOfField(int k)
{
    if (k >= 1 && k <= 24)
        return 1 + (k - 1) / 8;
    return 0;
}

const char* FieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: return "text";
    case FieldKind::Switch: return "switch";
    case FieldKind::Data: return "data";
    case FieldKind::Terminator: return "terminator";
    }
    return "";
}

std::string EscapeText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        switch (static_cast<unsigned char>(c)) {
        case 0x0D: out += "[CR]"; break;
        case 0x09: out += "[TB]"; break;
        case 0x0A: out += "[LF]"; break;
        case 0x5B: out += "[["; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (text[i] != '[') {
            out += text[i];
            ++i;
            continue;
        }
        const char next = At(text, i + 1);
        if (next == '[') {
            out += '[';
            i += 2;
            continue;
        }
        const char second = SecondLetterOf(next);
        if (second == 0)
            return {};  // a bracket that starts no sequence discards everything
        if (At(text, i + 2) != second) {
            i += 3;  // "[", the letter and the wrong second letter are dropped
            continue;
        }
        if (At(text, i + 3) != ']') {
            i += 4;  // a sequence without its closing bracket is dropped
            continue;
        }
        out += static_cast<char>(SequenceByte(next, second));
        i += 4;
    }
    return out;
}

std::string ShownText(std::string_view bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x0D || b == 0x0A || b == 0x09 || b == '[')
            out += EscapeText(std::string_view(&c, 1));
        else if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            out += {'[', hex[b >> 4], hex[b & 0x0F], ']'};
    }
    return out;
}

std::optional<std::string> ReadShownText(std::string_view text)
{
    auto hexValue = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '[') {
            out += text[i++];
            continue;
        }
        const char a = At(text, i + 1), b = At(text, i + 2);
        if (a == '[') {
            out += '[';
            i += 2;
        } else if (At(text, i + 3) == ']' && SecondLetterOf(a) != 0 && SecondLetterOf(a) == b) {
            out += static_cast<char>(SequenceByte(a, b));
            i += 4;
        } else if (At(text, i + 3) == ']' && hexValue(a) >= 0 && hexValue(b) >= 0) {
            out += static_cast<char>(hexValue(a) * 16 + hexValue(b));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

bool IsEscapedTextValid(std::string_view text, int maxBytes)
{
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (text[i] != '[') {
            ++count;
            ++i;
            continue;
        }
        const char next = At(text, i + 1);
        if (next == '[') {
            ++count;
            i += 2;
            continue;
        }
        const char second = SecondLetterOf(next);
        if (second == 0 || At(text, i + 2) != second || At(text, i + 3) != ']')
            return false;
        ++count;
        i += 4;
    }
    return count <= maxBytes;
}
