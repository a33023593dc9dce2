#include "cli/template_json.h"

#include <cstdio>
#include <sstream>

#include "cli/cli_io.h"
#include "cli/json.h"
#include "model/template_values.h"

namespace {

// The reverse: a JSON string (UTF-8) as single bytes, or false when it holds
// a character beyond U+00FF. The parser has already checked the UTF-8.
bool SingleBytes(const std::string& utf8, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

bool Refuse(std::string& error, const std::string& where, const std::string& why)
{
    error = where + ": " + why;
    return false;
}

const JsonValue* Member(const JsonValue& object, const std::string& key)
{
    for (const auto& [k, v] : object.members)
        if (k == key)
            return &v;
    return nullptr;
}

bool ReadImage(const JsonValue& v, ConfigImage& image, std::string& error)
{
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    if (v.type != JsonValue::Type::String || v.text.size() != 2 * image.size())
        return Refuse(error, "image", "expected a string of 128 hex digits (the 64 bytes)");
    for (std::size_t i = 0; i < image.size(); ++i) {
        const int hi = digit(v.text[2 * i]), lo = digit(v.text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return Refuse(error, "image", "expected a string of 128 hex digits (the 64 bytes)");
        image[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

// One entry of "formatFields", found by its name or index.
bool ReadField(const JsonValue& entry, const std::string& where, std::array<bool, formatFieldCount>& seen,
               TemplateRecord& r, std::string& error)
{
    if (entry.type != JsonValue::Type::Object)
        return Refuse(error, where, "expected an object");
    for (const auto& [key, value] : entry.members)
        if (key != "index" && key != "name" && key != "kind" && key != "text" && key != "enabled")
            return Refuse(error, where, "unknown key \"" + key + "\"");
    const JsonValue* name = Member(entry, "name");
    const JsonValue* index = Member(entry, "index");
    int k = -1;
    if (name && (name->type != JsonValue::Type::String || (k = FieldIndexOf(name->text)) < 0))
        return Refuse(error, where, "unknown field name");
    if (index) {
        const auto n = index->AsInt();
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
    const JsonValue* kind = Member(entry, "kind");
    if (kind && (kind->type != JsonValue::Type::String || kind->text != FieldKindName(info.kind)))
        return Refuse(error, info.name, std::string("kind must be \"") + FieldKindName(info.kind) + "\"");

    std::optional<std::string> value;
    if (const JsonValue* text = Member(entry, "text")) {
        std::string bytes;
        if (text->type != JsonValue::Type::String)
            return Refuse(error, info.name, "text must be a string");
        if (!SingleBytes(text->text, bytes))
            return Refuse(error, info.name, "text holds a character beyond U+00FF, which is no single byte");
        value = bytes;
    }
    if (const JsonValue* enabled = Member(entry, "enabled")) {
        const auto e = enabled->AsInt();
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

bool ReadOption(const std::string& key, const JsonValue& v, TemplateRecord& r, std::string& error)
{
    std::string text;
    if (key == "trackEnabled") {
        if (v.type != JsonValue::Type::Array || v.items.size() != 3)
            return Refuse(error, key, "expected an array of three numbers 0 or 1");
        for (const JsonValue& item : v.items)
            text += (text.empty() ? "" : ",") + (item.type == JsonValue::Type::Number ? item.text : "?");
    } else if (v.type != JsonValue::Type::Number) {
        return Refuse(error, key, "expected a number");
    } else if (const auto n = v.AsInt(); key == "baudIndex" && n && *n >= 4 && *n <= 7) {
        // What a file whose baud bits name no rate decodes to: no selection,
        // which keeps those bits, as the editor's panel does.
        text = "-1";
    } else {
        text = v.text;
    }
    std::string message;
    return SetTemplateValue(r, key, text, message) || Refuse(error, key, message);
}

}  // namespace

std::string TemplateToJson(const TemplateRecord& r, const ConfigImage& image)
{
    std::ostringstream o;
    o << "{\n  \"format\": " << JsonString(templateJsonFormat) << ",\n  \"formatFields\": [\n";
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldInfo& info = FieldInfoAt(k);
        const FormatField& f = r.formatFields[k];
        o << "    {\"index\": " << k << ", \"name\": " << JsonString(info.name)
          << ", \"kind\": " << JsonString(FieldKindName(info.kind)) << ", \"text\": " << JsonString(f.text)
          << ", \"enabled\": " << f.enabled << "}" << (k + 1 < formatFieldCount ? "," : "") << "\n";
    }
    o << "  ],\n";
    o << "  \"trackEnabled\": [" << r.trackEnabled[0] << ", " << r.trackEnabled[1] << ", " << r.trackEnabled[2]
      << "],\n";
    o << "  \"errorMode\": " << r.errorMode << ",\n";
    o << "  \"longBeepOnGoodRead\": " << r.longBeepOnGoodRead << ",\n";
    o << "  \"threeBeepsOnError\": " << r.threeBeepsOnError << ",\n";
    o << "  \"stopBitsText\": " << JsonString(r.stopBitsText) << ",\n";
    o << "  \"baudIndex\": " << r.baudIndex << ",\n";
    o << "  \"parityIndex\": " << r.parityIndex << ",\n";
    o << "  \"dataBitsIndex\": " << r.dataBitsIndex << ",\n";
    o << "  \"flowControlIndex\": " << r.flowControlIndex << ",\n";
    o << "  \"outputDelay\": " << static_cast<int>(r.outputDelay) << ",\n";
    o << "  \"oposMode\": " << r.oposMode << ",\n";
    o << "  \"image\": \"" << HexOf(image) << "\"\n}\n";
    return o.str();
}

bool TemplateFromJson(const std::string& json, ConfigImage& image, std::string& error)
{
    const std::optional<JsonValue> root = ParseJson(json, error);
    if (!root)
        return false;
    if (root->type != JsonValue::Type::Object)
        return Refuse(error, "JSON", "expected an object, as dump --json prints");
    const JsonValue* format = Member(*root, "format");
    if (!format)
        return Refuse(error, "format", std::string("missing; expected \"format\": \"") + templateJsonFormat + "\"");
    if (format->type != JsonValue::Type::String || format->text != templateJsonFormat)
        return Refuse(error, "format",
                      (format->type == JsonValue::Type::String ? "\"" + format->text + "\"" : std::string("this value")) +
                          " is not known; this tovask-cli reads \"" + templateJsonFormat + "\"");

    ConfigImage base = DefaultImage();
    if (const JsonValue* given = Member(*root, "image"); given && !ReadImage(*given, base, error))
        return false;
    TemplateRecord record;
    DecodeImage(base, record);

    std::array<bool, formatFieldCount> seen{};
    for (const auto& [key, value] : root->members) {
        if (key == "format" || key == "image")
            continue;
        if (key == "formatFields") {
            if (value.type != JsonValue::Type::Array)
                return Refuse(error, key, "expected an array");
            for (std::size_t i = 0; i < value.items.size(); ++i)
                if (!ReadField(value.items[i], key + "[" + std::to_string(i) + "]", seen, record, error))
                    return false;
        } else if (key == "stopBitsText") {
            if (value.type != JsonValue::Type::String || value.text != record.stopBitsText)
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
