#include "cli/json.h"

#include <set>
#include <sstream>
#include <vector>

#include "model/system_text.h"

namespace {

constexpr int kMaxDepth = 64;

// Line and column of the character at index at.
std::string Where(const std::string& in, std::size_t at)
{
    int line = 1, column = 1;
    for (std::size_t i = 0; i < at && i < in.size(); ++i) {
        if (in[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

// The library's "syntax error while parsing object key - unexpected '}';
// expected string literal" in the tool's words.
std::string Reason(const std::string& what)
{
    const std::size_t dash = what.find(" - ");
    std::string rest = dash == std::string::npos ? what : what.substr(dash + 3);
    if (const std::size_t last = rest.find("; last read:"); last != std::string::npos)
        return rest.substr(0, last);  // the lexer's own reason
    const std::size_t semi = rest.find("; expected ");
    std::string expected = semi == std::string::npos ? "" : rest.substr(semi + 11);
    if (expected.empty())
        return rest;
    if (expected == "string literal")
        expected = "a key in double quotes";
    else if (expected == "'}'" || expected == "']'")
        expected = "','";  // after an item: a comma, or the end of the container
    else if (expected == "value")
        expected = "a value";
    const bool atEnd = rest.rfind("unexpected end of input", 0) == 0;
    return (atEnd ? "unexpected end, expected " : "expected ") + expected;
}

struct Refused {
    std::string reason;
};

}  // namespace

std::optional<Json> ParseJson(const std::string& input, std::string& error)
{
    // The stream's position tells where the parser stands when a key or a
    // container start arrives: right after that token.
    std::istringstream in(input);
    const auto position = [&in]() {
        return static_cast<std::size_t>(in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in));
    };
    std::vector<std::set<std::string>> keys;  // the keys of each open object
    const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
            if (depth >= kMaxDepth + 1)
                throw Refused{Where(input, position() - 1) + "nested too deeply"};
            if (event == Json::parse_event_t::object_start)
                keys.emplace_back();
            break;
        case Json::parse_event_t::object_end:
            keys.pop_back();
            break;
        case Json::parse_event_t::key:
            if (!keys.back().insert(parsed.get<std::string>()).second)
                throw Refused{Where(input, position() - 1) + "duplicate key \"" + parsed.get<std::string>() + "\""};
            break;
        default:
            break;
        }
        return true;
    };
    try {
        return Json::parse(in, check);
    } catch (const Refused& r) {
        error = r.reason;
    } catch (const Json::parse_error& e) {
        error = Where(input, e.byte ? e.byte - 1 : 0) + Reason(e.what());
    }
    return std::nullopt;
}

std::string JsonText(const Json& value, int indent)
{
    if (!value.is_structured())
        return value.dump(-1, ' ', true, Json::error_handler_t::replace);
    const bool object = value.is_object();
    if (value.empty())
        return object ? "{}" : "[]";
    bool nested = false;
    for (const Json& item : value)
        nested = nested || item.is_structured();
    const std::string inner = nested ? "\n" + std::string(indent + 2, ' ') : "";
    std::string out(1, object ? '{' : '[');
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
        out += first ? inner : "," + (nested ? inner : " ");
        first = false;
        if (object)
            out += Json(it.key()).dump(-1, ' ', true, Json::error_handler_t::replace) + ": ";
        out += JsonText(it.value(), indent + 2);
    }
    out += nested ? "\n" + std::string(indent, ' ') : "";
    return out + (object ? '}' : ']');
}

Json JsonBytes(const std::string& bytes)
{
    std::string utf8;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

Json JsonName(const std::string& name) { return Utf8OrEscaped(SystemTextToUtf8(name)); }

bool SingleBytes(const std::string& utf8, std::string& bytes)
{
    bytes.clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80)
            bytes += static_cast<char>(c);
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size())
            bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        else
            return false;
    }
    return true;
}
