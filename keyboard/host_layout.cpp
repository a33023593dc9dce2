#include "keyboard/host_layout.h"

#include <cstdio>

#include "keyboard/layout_tables.h"

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

// Answers from the built-in tables: one entry per byte 0..127.
class TableLayout : public HostLayout {
public:
    TableLayout(std::string name, std::vector<KeyAnswer> answers)
        : HostLayout(std::move(name)), m_answers(std::move(answers))
    {
    }
    KeyAnswer Answer(std::uint8_t byte) const override
    {
        return byte < m_answers.size() ? m_answers[byte] : KeyAnswer{};
    }

private:
    std::vector<KeyAnswer> m_answers;
};

}  // namespace

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
        std::vector<KeyAnswer> answers(1);
        for (const char* p = layoutTables[i].answers; *p; ++p) {
            if (static_cast<unsigned char>(*p) == 0xFF)
                answers.emplace_back();
            else
                answers.back().text += *p;
        }
        for (KeyAnswer& a : answers)
            if (!a.text.empty() && static_cast<unsigned char>(a.text[0]) == 0xFE) {
                a.deadName = a.text.substr(1);
                a.text.clear();
            }
        return std::make_unique<TableLayout>(name, std::move(answers));
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
    return byte >= 0x01 && byte <= 0x7E && !answer.Dead() && answer.text == std::string(1, static_cast<char>(byte));
}

TypedText TypeBytes(const HostLayout& layout, const std::vector<std::uint8_t>& bytes)
{
    TypedText out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const KeyAnswer a = layout.Answer(bytes[i]);
        out.text += a.text;
        if (!ArrivesUnchanged(bytes[i], a))
            out.changes.push_back({static_cast<int>(i), bytes[i], a});
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

std::string ShownAnswer(const KeyAnswer& answer)
{
    if (answer.Dead())
        return "dead key (" + answer.deadName + ")";
    if (answer.text.empty())
        return "nothing";
    std::string out;
    for (char c : answer.text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ShownByte(static_cast<std::uint8_t>(c))
                                                                  : std::string(1, c);
    return out;
}
