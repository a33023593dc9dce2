#include "cli/template_json.h"

#include <cstdint>
#include <optional>

#include "cli/cli_io.h"
#include "cli/json.h"
#include "model/template_values.h"

namespace {

bool Refuse(std::string& error, const std::string& where, const std::string& why)
{
    error = where + ": " + why;
    return false;
}

const Json* Member(const Json& object, const std::string& key)
{
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// The number as a whole number, if it is one that fits an int.
std::optional<int> AsInt(const Json& v)
{
    if (!v.is_number_integer())
        return std::nullopt;
    const auto n = v.get<std::int64_t>();
    if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT32_MAX))
        return std::nullopt;
    if (n < INT32_MIN || n > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(n);
}

bool ReadImage(const Json& v, ConfigImage& image, std::string& error)
{
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    if (!v.is_string() || v.get_ref<const std::string&>().size() != 2 * image.size())
        return Refuse(error, "image", "expected a string of 128 hex digits (the 64 bytes)");
    const std::string& text = v.get_ref<const std::string&>();
    for (std::size_t i = 0; i < image.size(); ++i) {
        const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return Refuse(error, "image", "expected a string of 128 hex digits (the 64 bytes)");
        image[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

// One entry of "formatFields", found by its name or index.
bool ReadField(const Json& entry, const std::string& where, std::array<bool, formatFieldCount>& seen,
               TemplateRecord& r, std::string& error)
{
    if (!entry.is_object())
        return Refuse(error, where, "expected an object");
    for (const auto& [key, value] : entry.items())
        if (key != "index" && key != "name" && key != "kind" && key != "text" && key != "enabled")
            return Refuse(error, where, "unknown key \"" + key + "\"");
    const Json* name = Member(entry, "name");
    const Json* index = Member(entry, "index");
    int k = -1;
    if (name && (!name->is_string() || (k = FieldIndexOf(name->get<std::string>())) < 0))
        return Refuse(error, where, "unknown field name");
    if (index) {
        const auto n = AsInt(*index);
        if (!n || *n < 0 || *n >= formatFieldCount || (k >= 0 && *n != k))
            return Refuse(error, where, name ? "index does not match the name" : "index must be 0 to 25");
        k = *n;
    }
    if (k < 0)
        return Refuse(error, where, "needs a \"name\" or an \"index\"");
    const FieldInfo& info = FieldInfoAt(k);
    if (seen[k])
        return Refuse(error, info.name, "given twice");
    seen[k] = true;
    const Json* kind = Member(entry, "kind");
    if (kind && (!kind->is_string() || *kind != FieldKindName(info.kind)))
        return Refuse(error, info.name, std::string("kind must be \"") + FieldKindName(info.kind) + "\"");

    std::optional<std::string> value;
    if (const Json* text = Member(entry, "text")) {
        std::string bytes;
        if (!text->is_string())
            return Refuse(error, info.name, "text must be a string");
        if (!SingleBytes(text->get<std::string>(), bytes))
            return Refuse(error, info.name, "text holds a character beyond U+00FF, which is no single byte");
        value = bytes;
    }
    if (const Json* enabled = Member(entry, "enabled")) {
        const auto e = AsInt(*enabled);
        if (!e || (*e != 0 && *e != 1))
            return Refuse(error, info.name, "enabled must be 0 or 1");
        if (info.kind == FieldKind::Switch) {
            const std::string state = *e ? "Enable" : "Disable";
            if (value && *value != state)
                return Refuse(error, info.name, "text and enabled disagree");
            value = state;
        }
    }
    if (info.kind == FieldKind::Data || !value)
        return true;  // a data field carries nothing
    std::string message;
    return SetTemplateValue(r, info.name, *value, message) || Refuse(error, info.name, message);
}

bool ReadOption(const std::string& key, const Json& v, TemplateRecord& r, std::string& error)
{
    std::string text;
    if (key == "trackEnabled") {
        if (!v.is_array() || v.size() != 3)
            return Refuse(error, key, "expected an array of three numbers 0 or 1");
        for (const Json& item : v)
            text += (text.empty() ? "" : ",") + (item.is_number() ? item.dump() : "?");
    } else if (!v.is_number()) {
        return Refuse(error, key, "expected a number");
    } else if (const auto n = AsInt(v); key == "baudIndex" && n && *n >= 4 && *n <= 7) {
        // What a file whose baud bits name no rate decodes to: no selection,
        // which keeps those bits, as the editor's panel does.
        text = "-1";
    } else {
        text = v.dump();
    }
    std::string message;
    return SetTemplateValue(r, key, text, message) || Refuse(error, key, message);
}

}  // namespace

std::string TemplateToJson(const TemplateRecord& r, const ConfigImage& image)
{
    Json fields = Json::array();
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldInfo& info = FieldInfoAt(k);
        const FormatField& f = r.formatFields[k];
        fields.push_back({{"index", k}, {"name", info.name}, {"kind", FieldKindName(info.kind)},
                          {"text", info.kind == FieldKind::Switch ? f.text : ShownText(UnescapeText(f.text))},
                          {"enabled", f.enabled}});
    }
    const Json j = {
        {"format", templateJsonFormat},
        {"formatFields", fields},
        {"trackEnabled", {r.trackEnabled[0], r.trackEnabled[1], r.trackEnabled[2]}},
        {"errorMode", r.errorMode},
        {"longBeepOnGoodRead", r.longBeepOnGoodRead},
        {"threeBeepsOnError", r.threeBeepsOnError},
        {"stopBitsText", JsonBytes(r.stopBitsText)},
        {"baudIndex", r.baudIndex},
        {"parityIndex", r.parityIndex},
        {"dataBitsIndex", r.dataBitsIndex},
        {"flowControlIndex", r.flowControlIndex},
        {"outputDelay", static_cast<int>(r.outputDelay)},
        {"oposMode", r.oposMode},
        {"image", HexOf(image)},
    };
    return JsonText(j) + "\n";
}

bool TemplateFromJson(const std::string& json, ConfigImage& image, std::string& error)
{
    const std::optional<Json> root = ParseJson(json, error);
    if (!root)
        return false;
    if (!root->is_object())
        return Refuse(error, "JSON", "expected an object, as dump --json prints");
    const Json* format = Member(*root, "format");
    if (!format)
        return Refuse(error, "format", std::string("missing; expected \"format\": \"") + templateJsonFormat + "\"");
    if (!format->is_string() || *format != templateJsonFormat)
        return Refuse(error, "format",
                      (format->is_string() ? "\"" + format->get<std::string>() + "\"" : std::string("this value")) +
                          " is not known; this tovask-cli reads \"" + templateJsonFormat + "\"");

    ConfigImage base = DefaultImage();
    if (const Json* given = Member(*root, "image"); given && !ReadImage(*given, base, error))
        return false;
    TemplateRecord record;
    DecodeImage(base, record);

    std::array<bool, formatFieldCount> seen{};
    for (const auto& [key, value] : root->items()) {
        if (key == "format" || key == "image")
            continue;
        if (key == "formatFields") {
            if (!value.is_array())
                return Refuse(error, key, "expected an array");
            for (std::size_t i = 0; i < value.size(); ++i)
                if (!ReadField(value[i], key + "[" + std::to_string(i) + "]", seen, record, error))
                    return false;
        } else if (key == "stopBitsText") {
            if (!value.is_string() || value != record.stopBitsText)
                return Refuse(error, key, "is always \"" + record.stopBitsText + "\"");
        } else if (!GetTemplateValue(record, key) || FieldIndexOf(key) >= 0) {
            return Refuse(error, key, "unknown key");
        } else if (!ReadOption(key, value, record, error)) {
            return false;
        }
    }
    image = base;
    EncodeImage(record, image);
    return true;
}
