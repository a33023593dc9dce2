#include "cli/json.h"

#include <charconv>
#include <cstdio>
#include <cstdint>

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(const std::string& input) : m_in(input) {}

    std::optional<JsonValue> Document(std::string& error)
    {
        JsonValue v;
        SkipBlanks();
        if (Value(v, 0)) {
            SkipBlanks();
            if (m_pos == m_in.size())
                return v;
            Fail("unexpected text after the end");
        }
        error = Where() + m_error;
        return std::nullopt;
    }

private:
    bool Fail(const std::string& what)
    {
        if (m_error.empty())
            m_error = what;
        return false;
    }

    std::string Where() const
    {
        int line = 1, column = 1;
        for (std::size_t i = 0; i < m_pos && i < m_in.size(); ++i) {
            if (m_in[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    }

    bool AtEnd() const { return m_pos >= m_in.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_in[m_pos]; }

    void SkipBlanks()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++m_pos;
    }

    bool Expect(char c)
    {
        SkipBlanks();
        if (Peek() != c)
            return Fail(AtEnd() ? std::string("unexpected end, expected '") + c + "'"
                                : std::string("expected '") + c + "'");
        ++m_pos;
        SkipBlanks();
        return true;
    }

    bool Word(const char* word)
    {
        const std::string w(word);
        if (m_in.compare(m_pos, w.size(), w) != 0)
            return Fail("unexpected character");
        m_pos += w.size();
        return true;
    }

    bool Value(JsonValue& v, int depth)
    {
        if (depth > kMaxDepth)
            return Fail("nested too deeply");
        switch (Peek()) {
        case '{': v.type = JsonValue::Type::Object; return Object(v, depth);
        case '[': v.type = JsonValue::Type::Array; return Array(v, depth);
        case '"': v.type = JsonValue::Type::String; return String(v.text);
        case 't': v.type = JsonValue::Type::Bool; v.boolean = true; return Word("true");
        case 'f': v.type = JsonValue::Type::Bool; return Word("false");
        case 'n': return Word("null");
        case '\0':
            if (AtEnd())
                return Fail("unexpected end");
            return Fail("unexpected character");
        default: v.type = JsonValue::Type::Number; return Number(v.text);
        }
    }

    bool Object(JsonValue& v, int depth)
    {
        ++m_pos;
        SkipBlanks();
        if (Peek() == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            std::string key;
            if (Peek() != '"')
                return Fail("expected a key in double quotes");
            const std::size_t keyPos = m_pos;
            if (!String(key))
                return false;
            for (const auto& m : v.members)
                if (m.first == key) {
                    m_pos = keyPos;
                    return Fail("duplicate key \"" + key + "\"");
                }
            if (!Expect(':'))
                return false;
            JsonValue member;
            if (!Value(member, depth + 1))
                return false;
            v.members.emplace_back(std::move(key), std::move(member));
            SkipBlanks();
            if (Peek() == '}') {
                ++m_pos;
                return true;
            }
            if (!Expect(','))
                return false;
        }
    }

    bool Array(JsonValue& v, int depth)
    {
        ++m_pos;
        SkipBlanks();
        if (Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            JsonValue item;
            if (!Value(item, depth + 1))
                return false;
            v.items.push_back(std::move(item));
            SkipBlanks();
            if (Peek() == ']') {
                ++m_pos;
                return true;
            }
            if (!Expect(','))
                return false;
        }
    }

    bool Digits()
    {
        const std::size_t start = m_pos;
        while (Peek() >= '0' && Peek() <= '9')
            ++m_pos;
        return m_pos > start || Fail("expected a digit");
    }

    bool Number(std::string& out)
    {
        const std::size_t start = m_pos;
        if (Peek() == '-')
            ++m_pos;
        if (Peek() == '0') {
            ++m_pos;
        } else if (!(Peek() >= '1' && Peek() <= '9')) {
            return Fail("unexpected character");
        } else {
            Digits();
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!Digits())
                return false;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-')
                ++m_pos;
            if (!Digits())
                return false;
        }
        out = m_in.substr(start, m_pos - start);
        return true;
    }

    bool Hex4(std::uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const char c = Peek();
            const int d = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0)
                return Fail("expected four hex digits after \\u");
            out = out * 16 + static_cast<std::uint32_t>(d);
        }
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool Escape(std::string& out)
    {
        const char c = Peek();
        ++m_pos;
        switch (c) {
        case '"': out += '"'; return true;
        case '\\': out += '\\'; return true;
        case '/': out += '/'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: --m_pos; return Fail("unknown escape in a string");
        }
        std::uint32_t cp = 0;
        if (!Hex4(cp))
            return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (m_in.compare(m_pos, 2, "\\u") != 0)
                return Fail("a high surrogate without its low half");
            m_pos += 2;
            if (!Hex4(low))
                return false;
            if (low < 0xDC00 || low > 0xDFFF)
                return Fail("a high surrogate without its low half");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return Fail("a low surrogate on its own");
        }
        AppendUtf8(out, cp);
        return true;
    }

    // The length of a well-formed UTF-8 sequence starting at the position, or 0.
    std::size_t Utf8Length() const
    {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(i < m_in.size() ? m_in[i] : 0); };
        const unsigned char b0 = byte(m_pos);
        const std::size_t n = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
        for (std::size_t i = 1; i < n; ++i)
            if ((byte(m_pos + i) & 0xC0) != 0x80)
                return 0;
        const unsigned char b1 = byte(m_pos + 1);
        if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 > 0x9F) || (b0 == 0xF0 && b1 < 0x90) ||
            (b0 == 0xF4 && b1 > 0x8F))
            return 0;  // overlong, surrogate or beyond U+10FFFF
        return n;
    }

    bool String(std::string& out)
    {
        ++m_pos;
        for (;;) {
            if (AtEnd())
                return Fail("unexpected end inside a string");
            const auto c = static_cast<unsigned char>(Peek());
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c == '\\') {
                ++m_pos;
                if (!Escape(out))
                    return false;
            } else if (c < 0x20) {
                return Fail("a control character inside a string (write it as \\u00XX)");
            } else if (c < 0x80) {
                out += static_cast<char>(c);
                ++m_pos;
            } else {
                const std::size_t n = Utf8Length();
                if (n == 0)
                    return Fail("not UTF-8");
                out.append(m_in, m_pos, n);
                m_pos += n;
            }
        }
    }

    const std::string& m_in;
    std::size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

std::optional<int> JsonValue::AsInt() const
{
    if (type != Type::Number)
        return std::nullopt;
    int v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

const char* JsonTypeName(JsonValue::Type type)
{
    switch (type) {
    case JsonValue::Type::Null: return "null";
    case JsonValue::Type::Bool: return "true or false";
    case JsonValue::Type::Number: return "a number";
    case JsonValue::Type::String: return "a string";
    case JsonValue::Type::Array: return "an array";
    case JsonValue::Type::Object: return "an object";
    }
    return "";
}

std::optional<JsonValue> ParseJson(const std::string& input, std::string& error)
{
    return Parser(input).Document(error);
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}
