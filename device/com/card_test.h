// The card test's running text: every byte the reader sends, printable bytes
// (0x20 to 0x7E) as the character, 0x00 dropped, any other byte as its value
// in upper-case hexadecimal between angle brackets ("<D>" for a carriage
// return). The text only grows, so each byte costs the same however long the
// test runs; the dialog appends each new piece to its display.
#pragma once

#include <cstdint>
#include <string>

class CComPort;

// Appends count bytes to text as the card test shows them.
void AppendCardTestText(std::string& text, const std::uint8_t* bytes, int count);

class CardTestText {
public:
    // Blocks of 180 bytes taken at most per Poll; at 9600 baud a 10 ms tick
    // sees about ten bytes, so this only bounds a flood.
    static constexpr int maxBlocksPerPoll = 64;

    // Takes every byte that has arrived on the open link (never waits) and
    // appends it. Returns the piece of text appended by this call.
    std::string Poll(CComPort& port);
    // Appends bytes from any source; returns the piece appended.
    std::string Append(const std::uint8_t* bytes, int count);

    const std::string& Text() const { return m_text; }
    void Clear() { m_text.clear(); }

private:
    std::string m_text;
};
