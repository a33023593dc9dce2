#include "model/template_values.h"

#include <charconv>
#include <type_traits>

namespace {

enum class Option {
    TrackEnabled,
    ErrorMode,
    LongBeep,
    ThreeBeeps,
    Baud,
    Parity,
    DataBits,
    FlowControl,
    OutputDelay,
    Opos
};

int OptionIndexOf(std::string_view name)
{
    for (std::size_t i = 0; i < optionKeys.size(); ++i)
        if (name == optionKeys[i])
            return static_cast<int>(i);
    return -1;
}

// Record is TemplateRecord or const TemplateRecord.
template <typename Record>
auto OnOffMember(Record& r, Option o) -> decltype(&r.errorMode)
{
    switch (o) {
    case Option::ErrorMode: return &r.errorMode;
    case Option::LongBeep: return &r.longBeepOnGoodRead;
    case Option::ThreeBeeps: return &r.threeBeepsOnError;
    case Option::Opos: return &r.oposMode;
    default: return nullptr;
    }
}

// A serial setting: its member and the texts of its drop-down list.
template <typename Member>
struct SerialList {
    Member* member;
    const char* const* texts;
    int count;
};

template <typename Record>
auto SerialMember(Record& r, Option o) -> SerialList<std::remove_reference_t<decltype((r.baudIndex))>>
{
    auto list = [](auto& member, const auto& texts) {
        return SerialList<std::remove_reference_t<decltype((r.baudIndex))>>{&member, texts.data(),
                                                                           static_cast<int>(texts.size())};
    };
    switch (o) {
    case Option::Baud: return list(r.baudIndex, baudTexts);
    case Option::Parity: return list(r.parityIndex, parityTexts);
    case Option::DataBits: return list(r.dataBitsIndex, dataBitsTexts);
    default: return list(r.flowControlIndex, flowControlTexts);
    }
}

// A whole decimal number, nothing before or after it.
std::optional<int> WholeNumber(std::string_view text)
{
    int v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return v;
}

// The delay box's rule: up to three digits, surrounding blanks ignored.
std::optional<int> DelayByte(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int v = *WholeNumber(text);
    return v <= 255 ? std::optional<int>(v) : std::nullopt;
}

// Why a text in the printed form cannot be stored in a field of maxBytes
// bytes; empty when it can, with its bytes in bytes.
std::string TextRefusal(std::string_view text, int maxBytes, std::string& bytes)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '[')
            continue;
        const std::size_t length = text.substr(i + 1, 1) == "[" ? 2 : 4;
        if (!ReadShownText(text.substr(i, length)) || i + length > text.size())
            return "\"" + std::string(text.substr(i, length)) + "\" at character " + std::to_string(i + 1) +
                   " is none of [CR], [LF], [TB], [[ or [XX] with two hex digits";
        i += length - 1;
    }
    bytes = *ReadShownText(text);
    if (bytes.find('\xFF') != std::string::npos)
        return "byte [FF] cannot be stored: the reader takes it for a free byte";
    if (static_cast<int>(bytes.size()) > maxBytes)
        return std::to_string(bytes.size()) + " bytes; the field holds at most " + std::to_string(maxBytes);
    return {};
}

bool SetField(TemplateRecord& r, int k, std::string_view value, std::string& message)
{
    const FieldInfo& info = FieldInfoAt(k);
    FormatField& f = r.formatFields[k];
    switch (info.kind) {
    case FieldKind::Data:
        message = "the card data of a track is not editable";
        return false;
    case FieldKind::Switch:
        if (value == "Enable" || value == "1") {
            f.text = "Enable";
            f.enabled = 1;
        } else if (value == "Disable" || value == "0") {
            f.text = "Disable";
            f.enabled = 0;
        } else {
            message = "use Enable, Disable, 1 or 0";
            return false;
        }
        return true;
    case FieldKind::Text:
    case FieldKind::Terminator: {
        std::string bytes;
        if (const std::string why = TextRefusal(value, info.maxBytes, bytes); !why.empty()) {
            message = std::string(info.kind == FieldKind::Terminator        ? valueMessage::terminator
                                  : (k == 0 || k == formatFieldCount - 1) ? valueMessage::cardText
                                                                          : valueMessage::trackText) +
                      " (" + why + ")";
            return false;
        }
        f.text = EscapeText(bytes);
        return true;
    }
    }
    return false;
}

bool SetOption(TemplateRecord& r, Option o, std::string_view value, std::string& message)
{
    if (o == Option::TrackEnabled) {
        std::array<int, 3> tracks{};
        std::size_t pos = 0;
        for (int t = 0; t < 3; ++t) {
            const std::size_t comma = t < 2 ? value.find(',', pos) : value.size();
            const auto v = comma == std::string_view::npos ? std::nullopt : WholeNumber(value.substr(pos, comma - pos));
            if (!v || (*v != 0 && *v != 1)) {
                message = "use three values 0 or 1, one per track, as 1,1,0";
                return false;
            }
            tracks[t] = *v;
            pos = comma + 1;
        }
        r.trackEnabled = tracks;
        return true;
    }
    if (o == Option::OutputDelay) {
        const auto v = DelayByte(value);
        if (!v) {
            message = valueMessage::delayByte;
            return false;
        }
        if (*v < 1 || *v > 200) {
            message = valueMessage::delayRange;
            return false;
        }
        r.outputDelay = static_cast<std::uint8_t>(*v);
        return true;
    }
    const auto v = WholeNumber(value);
    if (int* member = OnOffMember(r, o)) {
        if (!v || (*v != 0 && *v != 1)) {
            message = "use 0 or 1";
            return false;
        }
        *member = *v;
        return true;
    }
    const auto list = SerialMember(r, o);
    if (!v || *v < -1 || *v >= list.count) {
        message = "use -1 (no selection) or 0 to " + std::to_string(list.count - 1) + " (";
        for (int i = 0; i < list.count; ++i)
            message += std::string(i ? ", " : "") + std::to_string(i) + " " + list.texts[i];
        message += ")";
        return false;
    }
    *list.member = *v;
    return true;
}

}  // namespace

const std::vector<std::string>& TemplateValueNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (int k = 0; k < formatFieldCount; ++k)
            all.emplace_back(FieldInfoAt(k).name);
        all.insert(all.end(), optionKeys.begin(), optionKeys.end());
        return all;
    }();
    return names;
}

int FieldIndexOf(std::string_view name)
{
    for (int k = 0; k < formatFieldCount; ++k)
        if (name == FieldInfoAt(k).name)
            return k;
    return -1;
}

std::optional<std::string> GetTemplateValue(const TemplateRecord& r, std::string_view name)
{
    if (const int k = FieldIndexOf(name); k >= 0) {
        const FieldKind kind = FieldInfoAt(k).kind;
        if (kind == FieldKind::Data)
            return std::string();
        return kind == FieldKind::Switch ? r.formatFields[k].text : ShownText(UnescapeText(r.formatFields[k].text));
    }
    const int o = OptionIndexOf(name);
    if (o < 0)
        return std::nullopt;
    switch (static_cast<Option>(o)) {
    case Option::TrackEnabled:
        return std::to_string(r.trackEnabled[0]) + "," + std::to_string(r.trackEnabled[1]) + "," +
               std::to_string(r.trackEnabled[2]);
    case Option::OutputDelay:
        return std::to_string(r.outputDelay);
    default:
        if (const int* member = OnOffMember(r, static_cast<Option>(o)))
            return std::to_string(*member);
        return std::to_string(*SerialMember(r, static_cast<Option>(o)).member);
    }
}

bool SetTemplateValue(TemplateRecord& r, std::string_view name, std::string_view value, std::string& message)
{
    if (const int k = FieldIndexOf(name); k >= 0)
        return SetField(r, k, value, message);
    const int o = OptionIndexOf(name);
    if (o < 0) {
        message = "unknown name";
        return false;
    }
    return SetOption(r, static_cast<Option>(o), value, message);
}
