// The template record: the 26 format fields of the reader's output line and
// the reader options, plus the escape notation in which field texts are held.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr int formatFieldCount = 26;
constexpr int formatFieldCapacity = 34;

enum class FieldKind { Text, Switch, Data, Terminator };

// Text in escape notation; for switch fields exactly "Enable" or "Disable".
struct FormatField {
    std::string text;
    int enabled = 0;

    bool operator==(const FormatField&) const = default;
};

struct TemplateRecord {
    std::array<FormatField, formatFieldCapacity> formatFields{};

    std::array<int, 3> trackEnabled{1, 1, 1};
    int errorMode = 0;
    int longBeepOnGoodRead = 0;
    int threeBeepsOnError = 0;
    std::string stopBitsText = "1 stop bit";
    int baudIndex = 6;
    int parityIndex = 0;
    int dataBitsIndex = 1;
    int flowControlIndex = 1;
    std::uint8_t outputDelay = 4;
    int oposMode = 0;

    bool operator==(const TemplateRecord&) const = default;
};

struct FieldInfo {
    const char* name;     // CardPrefix, T1Prefix, ... CardSuffix
    FieldKind kind;
    int maxBytes;         // limit of the converted bytes; 0 for switch and data fields
    const char* caption;  // the field editor's caption; empty for data fields
};

// Field k, 0 <= k < formatFieldCount.
const FieldInfo& FieldInfoAt(int k);
// Track 1..3 of a track field, 0 for the card prefix and suffix.
int TrackOfField(int k);
const char* FieldKindName(FieldKind kind);

// The item texts of the panel's drop-down lists, in list order.
constexpr std::array<const char*, 4> baudTexts{"2400 Hz", "4800 Hz", "9600 Hz", "19200 Hz"};
constexpr std::array<const char*, 3> parityTexts{"None Parity", "Even Parity", "Odd parity"};
constexpr std::array<const char*, 2> dataBitsTexts{"7 Bits", "8 Bits"};
constexpr std::array<const char*, 2> flowControlTexts{"Flow Ctrl with CTS/RTS", "No Hardware Flow Ctrl"};

constexpr const char* escapeHint = "[CR]=Carriage return, [LF]=Line feed, [TB]=Tab, [[=[";

// Escape notation: "[CR]", "[LF]", "[TB]" and "[[" stand for 0x0D, 0x0A, 0x09 and "[".
std::string EscapeText(std::string_view bytes);
// Malformed brackets drop characters; a bracket that starts no sequence gives an empty result.
std::string UnescapeText(std::string_view text);
bool IsEscapedTextValid(std::string_view text, int maxBytes);

// The one printed form of a text's bytes, wherever a text is shown rather than edited: escape
// notation, and every other byte outside printable ASCII as "[XX]" in upper-case hex ("[02]",
// "[E9]"), so that a byte and the characters that would spell it never look alike.
std::string ShownText(std::string_view bytes);
// Reads the printed form back: escape notation and "[XX]". Empty where a bracket starts no
// sequence of either kind.
std::optional<std::string> ReadShownText(std::string_view text);
