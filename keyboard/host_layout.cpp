#include "keyboard/host_layout.h"

#include <cstdio>
#include <map>

#include "keyboard/layout_tables.h"
#include "model/template_record.h"

namespace {

// The US main block: evdev key code, the character unshifted and with Shift.
struct UsKey {
    int keycode;
    char plain;
    char shifted;
};

constexpr UsKey usKeys[] = {
    {41, '`', '~'},  {2, '1', '!'},   {3, '2', '@'},   {4, '3', '#'},   {5, '4', '$'},   {6, '5', '%'},
    {7, '6', '^'},   {8, '7', '&'},   {9, '8', '*'},   {10, '9', '('},  {11, '0', ')'},  {12, '-', '_'},
    {13, '=', '+'},  {16, 'q', 'Q'},  {17, 'w', 'W'},  {18, 'e', 'E'},  {19, 'r', 'R'},  {20, 't', 'T'},
    {21, 'y', 'Y'},  {22, 'u', 'U'},  {23, 'i', 'I'},  {24, 'o', 'O'},  {25, 'p', 'P'},  {26, '[', '{'},
    {27, ']', '}'},  {43, '\\', '|'}, {30, 'a', 'A'},  {31, 's', 'S'},  {32, 'd', 'D'},  {33, 'f', 'F'},
    {34, 'g', 'G'},  {35, 'h', 'H'},  {36, 'j', 'J'},  {37, 'k', 'K'},  {38, 'l', 'L'},  {39, ';', ':'},
    {40, '\'', '"'}, {44, 'z', 'Z'},  {45, 'x', 'X'},  {46, 'c', 'C'},  {47, 'v', 'V'},  {48, 'b', 'B'},
    {49, 'n', 'N'},  {50, 'm', 'M'},  {51, ',', '<'},  {52, '.', '>'},  {53, '/', '?'},  {57, ' ', ' '},
};

constexpr int keyEnter = 28;
constexpr int keyTab = 15;

KeyStroke PrintableStroke(char c)
{
    for (const UsKey& k : usKeys) {
        if (k.plain == c)
            return {k.keycode, false, false};
        if (k.shifted == c)
            return {k.keycode, true, false};
    }
    return {};
}

// Answers from the built-in tables: one entry per byte 0..127 with Caps Lock
// off, then on; the compositions by dead key, next key and Caps Lock.
class TableLayout : public HostLayout {
public:
    TableLayout(std::string name, std::vector<KeyAnswer> answers, std::map<std::string, std::string> composed)
        : HostLayout(std::move(name), "built-in tables"), m_answers(std::move(answers)), m_composed(std::move(composed))
    {
    }
    KeyAnswer Answer(std::uint8_t byte, bool capsLock) const override
    {
        const std::size_t at = byte + (capsLock ? 128u : 0u);
        return byte < 128 && at < m_answers.size() ? m_answers[at] : KeyAnswer{};
    }
    std::string Composed(std::uint8_t dead, std::uint8_t next, bool capsLock) const override
    {
        const auto found = m_composed.find(CompositionKey(dead, next, capsLock));
        return found == m_composed.end() ? std::string() : found->second;
    }

private:
    std::vector<KeyAnswer> m_answers;
    std::map<std::string, std::string> m_composed;
};

}  // namespace

std::string CompositionKey(std::uint8_t dead, std::uint8_t next, bool capsLock)
{
    return {static_cast<char>(dead), static_cast<char>(next), capsLock ? '1' : '0'};
}

KeyStroke StrokeOf(std::uint8_t byte)
{
    if (byte == 0x0D)
        return {keyEnter, false, false};
    if (byte == 0x09)
        return {keyTab, false, false};
    if (byte >= 0x01 && byte <= 0x1F) {
        // Ctrl with the key of the character 0x40 above: a letter, or [ \ ] ^ _.
        const char c = static_cast<char>(byte >= 0x1B ? byte + 0x40 : byte + 0x60);
        KeyStroke s = PrintableStroke(c);
        s.ctrl = true;
        return s;
    }
    if (byte >= 0x20 && byte <= 0x7E)
        return PrintableStroke(static_cast<char>(byte));
    return {};
}

std::unique_ptr<HostLayout> OpenTableLayout(const std::string& name)
{
    for (int i = 0; i < layoutTableCount; ++i) {
        if (name != layoutTables[i].name)
            continue;
        // Entries are separated by 0xFF; a dead key's entry is 0xFE and its keysym name.
        std::vector<std::string> entries(1);
        for (const char* p = layoutTables[i].answers; *p; ++p) {
            if (static_cast<unsigned char>(*p) == 0xFF)
                entries.emplace_back();
            else
                entries.back() += *p;
        }
        std::vector<KeyAnswer> answers;
        std::map<std::string, std::string> composed;
        for (const std::string& e : entries) {
            if (answers.size() < 256) {
                KeyAnswer& a = answers.emplace_back();
                if (!e.empty() && static_cast<unsigned char>(e[0]) == 0xFE)
                    a.deadName = e.substr(1);
                else
                    a.text = e;
            } else if (e.size() >= 3) {
                composed[e.substr(0, 3)] = e.substr(3);
            }
        }
        return std::make_unique<TableLayout>(name, std::move(answers), std::move(composed));
    }
    return nullptr;
}

std::vector<std::string> TableLayoutNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < layoutTableCount; ++i)
        names.emplace_back(layoutTables[i].name);
    return names;
}

bool ArrivesUnchanged(std::uint8_t byte, const KeyAnswer& answer)
{
    const bool ownKey = (byte >= 0x20 && byte <= 0x7E) || byte == 0x0D;
    return ownKey && !answer.Dead() && answer.text == std::string(1, static_cast<char>(byte));
}

std::vector<KeyAnswer> TypeKeys(const HostLayout& layout, const std::vector<std::uint8_t>& bytes, bool capsLock)
{
    std::vector<KeyAnswer> keys;
    std::string deadName;
    std::uint8_t deadByte = 0;
    for (std::uint8_t byte : bytes) {
        KeyAnswer a = layout.Answer(byte, capsLock);
        if (deadByte != 0 && (a.Dead() || !a.text.empty())) {
            // The key after a dead key: the pair gives what the layout composes.
            a.text = layout.Composed(deadByte, byte, capsLock);
            a.composedAfter = deadName;
            a.deadName.clear();
            deadByte = 0;
        } else if (a.Dead()) {
            deadName = a.deadName;
            deadByte = byte;
        }
        keys.push_back(a);
    }
    return keys;
}

TypedText TypeBytes(const HostLayout& layout, const std::vector<std::uint8_t>& bytes, bool capsLock)
{
    TypedText out;
    const std::vector<KeyAnswer> keys = TypeKeys(layout, bytes, capsLock);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.text += keys[i].text;
        if (!ArrivesUnchanged(bytes[i], keys[i]))
            out.changes.push_back({static_cast<int>(i), bytes[i], keys[i], 0, {}});
    }
    return out;
}

std::string ShownByte(std::uint8_t byte)
{
    if (byte >= 0x20 && byte <= 0x7E)
        return std::string(1, static_cast<char>(byte));
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "<%X>", static_cast<unsigned>(byte));
    return buffer;
}

std::string ControlKeyName(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r')
        return "Enter";
    if (c == '\t')
        return "Tab";
    if (u >= 0x01 && u < 0x20)
        return std::string("Ctrl+") + static_cast<char>(u + 0x40);
    return {};
}

std::string ControlKeyRisk(char c)
{
    if (c == '\t')
        return "Tab: moves to the next field in many programs";
    if (c == '\r' || ControlKeyName(c).empty())
        return {};
    return ControlKeyName(c) + ": a shortcut in many programs";
}

std::string ShownAnswer(const KeyAnswer& answer)
{
    if (answer.Dead())
        return "dead key (" + answer.deadName + ")";
    const std::string after = answer.composedAfter.empty() ? "" : " (after " + answer.composedAfter + ")";
    if (answer.text.empty())
        return "nothing" + after;
    if (answer.text.size() == 1 && !ControlKeyName(answer.text[0]).empty()) {
        const std::string risk = ControlKeyRisk(answer.text[0]);
        return (risk.empty() ? ControlKeyName(answer.text[0]) : risk) + after;
    }
    // Characters as they are (UTF-8), control characters in the printed notation.
    std::string shown;
    for (char c : answer.text)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ShownText(std::string(1, c)) : std::string(1, c);
    return "'" + shown + "'" + after;
}

std::string ChangeText(const TypedChange& change)
{
    const std::string sent(1, static_cast<char>(change.byte));
    std::string text = "'" + ShownText(sent) + "' -> " + ShownAnswer(change.answer);
    if (change.answer.Dead() && change.next != 0) {
        KeyAnswer pair = change.nextAnswer;
        pair.composedAfter.clear();
        text += ": '" + ShownText(sent + static_cast<char>(change.next)) + "' gives " + ShownAnswer(pair);
    }
    return text;
}
