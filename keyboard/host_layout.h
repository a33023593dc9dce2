// What the host makes of the keys a reader types. A reader on USB or on the
// keyboard port types each byte as the key that makes it on a US keyboard
// (main block only, unshifted or with Shift; CR as Enter, TAB as Tab, other
// control bytes as Ctrl with their letter); the host turns those keys into
// characters with its own layout.
//
// Layouts are xkeyboard-config's, named as it names them ("de", "fr",
// "de(nodeadkeys)"): on Linux read through libxkbcommon (rules evdev, model
// pc105, no options); elsewhere from tables made from the same source when
// the program was built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A key of the US main block as the reader presses it.
struct KeyStroke {
    int keycode = 0;  // evdev key code; 0: the byte has no key
    bool shift = false;
    bool ctrl = false;
};

// The key for a byte: 0x01 to 0x7E have one; 0x00, 0x7F and above have none.
KeyStroke StrokeOf(std::uint8_t byte);

// What one key stroke gives the host.
struct KeyAnswer {
    std::string text;      // UTF-8; empty for a dead key or a byte without a key
    std::string deadName;  // the dead key's keysym name ("dead_circumflex"), else empty

    bool Dead() const { return !deadName.empty(); }
    bool operator==(const KeyAnswer&) const = default;
};

class HostLayout {
public:
    virtual ~HostLayout() = default;
    const std::string& Name() const { return m_name; }
    // The answer for a byte the reader types; a byte without a key gives nothing.
    virtual KeyAnswer Answer(std::uint8_t byte) const = 0;

protected:
    explicit HostLayout(std::string name) : m_name(std::move(name)) {}

private:
    std::string m_name;
};

// The layout of that name from the system's own source (libxkbcommon), or
// from the built-in tables where the system has none; null with the reason
// in error for a name neither knows.
std::unique_ptr<HostLayout> OpenHostLayout(const std::string& name, std::string& error);
// The layout from the built-in tables only; null for a name they lack.
std::unique_ptr<HostLayout> OpenTableLayout(const std::string& name);
// The layouts the built-in tables hold.
std::vector<std::string> TableLayoutNames();
// True where layouts come from libxkbcommon (Linux), false where from the tables.
bool SystemLayoutsAvailable();
// The host's own layout where it can be found ("de", "fr(bepo)"), else "us".
std::string SystemLayoutName();

// One sent byte that arrives as another character, as nothing, or as a dead key.
struct TypedChange {
    int offset = 0;
    std::uint8_t byte = 0;
    KeyAnswer answer;
};

struct TypedText {
    std::string text;  // what the host receives, UTF-8
    std::vector<TypedChange> changes;
};

// The expected answer for a byte: the byte itself (0x01 to 0x7E).
bool ArrivesUnchanged(std::uint8_t byte, const KeyAnswer& answer);
TypedText TypeBytes(const HostLayout& layout, const std::vector<std::uint8_t>& bytes);

// Printable ASCII as itself, any other byte as its value in upper-case hex
// between angle brackets, as MR Test shows it ("<D>").
std::string ShownByte(std::uint8_t byte);
// An answer for people: its text with control characters as "<D>", or
// "nothing", or "dead key (dead_circumflex)".
std::string ShownAnswer(const KeyAnswer& answer);
