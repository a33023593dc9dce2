// A small JSON reader (RFC 8259) for the template's JSON form: strict syntax,
// duplicate keys refused, nesting limited, errors with line and column.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    std::string text;  // a string's content in UTF-8, or a number as written
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in the order written

    // The number as a whole number, if it is one that fits an int.
    std::optional<int> AsInt() const;
};

const char* JsonTypeName(JsonValue::Type type);

// Parses one JSON value filling the whole input; on failure returns nothing
// with the reason in error ("line 3, column 7: expected ','").
std::optional<JsonValue> ParseJson(const std::string& input, std::string& error);

// A single-byte string (template text, device names) as a JSON string: each
// byte is written as the code point of the same number, so bytes from 0x7F
// up appear as \u007f to \u00ff.
std::string JsonString(const std::string& s);
