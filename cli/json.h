// JSON for the tool: nlohmann-json with the strictness a template needs
// (duplicate keys refused, nesting limited, errors with line and column) and
// the tool's layout, one line per item of a container that holds containers.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// Objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

// Parses one JSON value filling the whole input; on failure returns nothing
// with the reason in error ("line 3, column 7: expected ','").
std::optional<Json> ParseJson(const std::string& input, std::string& error);

// The value as the tool prints it: a container of scalars on one line
// ({"a": 1, "b": [1, 2]}), a container of containers with one item per line,
// indented by two spaces a level; no newline at the end.
std::string JsonText(const Json& value, int indent = 0);

// A single-byte string (template text, device names) as a JSON string: each
// byte is the code point of the same number, so bytes from 0x7F up print as
// \u007f to \u00ff.
Json JsonBytes(const std::string& bytes);
// A name as the system spells it (a file name, a device path, --port, a
// message that holds them): UTF-8 as it is ("café.mtl"), bytes that are not
// UTF-8 as "\xNN".
Json JsonName(const std::string& name);
// The reverse of JsonBytes: false when the string holds a character beyond U+00FF.
bool SingleBytes(const std::string& utf8, std::string& bytes);
