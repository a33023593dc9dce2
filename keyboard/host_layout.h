// What the host makes of the keys a reader types. A reader on USB or on the
// keyboard port types each byte as the key that makes it on a US keyboard
// (main block only, unshifted or with Shift; CR as Enter, TAB as Tab, other
// control bytes as Ctrl with their letter); the host turns those keys into
// characters with its own layout.
//
// Layouts are xkeyboard-config's, named as it names them ("de", "fr",
// "de(nodeadkeys)"): on Linux read through libxkbcommon (rules evdev, model
// pc105, no options) with the compose table of the host's locale for dead
// keys; elsewhere from tables made from the same sources when the program was
// built. Caps Lock is applied as the layout's own data says.
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
    // Set by TypeBytes on the key after a dead key: that dead key's name; text
    // is then what the pair gives the host (empty where it drops the pair).
    std::string composedAfter;

    bool Dead() const { return !deadName.empty(); }
    bool operator==(const KeyAnswer&) const = default;
};

class HostLayout {
public:
    virtual ~HostLayout() = default;
    const std::string& Name() const { return m_name; }
    // Where the answers come from: "libxkbcommon", "Windows", "built-in tables".
    const std::string& Source() const { return m_source; }
    // The answer for a byte the reader types, with the host's Caps Lock off or
    // on; a byte without a key gives nothing.
    virtual KeyAnswer Answer(std::uint8_t byte, bool capsLock) const = 0;
    KeyAnswer Answer(std::uint8_t byte) const { return Answer(byte, false); }
    // What the host makes of the dead key typed for byte dead followed by the
    // key for byte next: the composed text, or empty where it drops the pair.
    virtual std::string Composed(std::uint8_t dead, std::uint8_t next, bool capsLock) const = 0;

protected:
    HostLayout(std::string name, std::string source) : m_name(std::move(name)), m_source(std::move(source)) {}

private:
    std::string m_name;
    std::string m_source;
};

// The layout of that name from the system's own source (libxkbcommon), or
// from the built-in tables where the system has none; null with the reason
// in error for a name neither knows.
std::unique_ptr<HostLayout> OpenHostLayout(const std::string& name, std::string& error);
// The layout from the built-in tables only; null for a name they lack.
std::unique_ptr<HostLayout> OpenTableLayout(const std::string& name);
// The built-in tables' key of a composition.
std::string CompositionKey(std::uint8_t dead, std::uint8_t next, bool capsLock);
// The layouts the built-in tables hold.
std::vector<std::string> TableLayoutNames();
// The locale whose compose table composes dead keys on Linux ("de_DE.UTF-8").
std::string ComposeLocale();
// True where layouts come from libxkbcommon (Linux), false where from the tables.
bool SystemLayoutsAvailable();
// The host's own layout where it can be found ("de", "fr(bepo)"), else "us".
std::string SystemLayoutName();

// One sent byte that arrives as another character, as nothing, or as a dead key.
struct TypedChange {
    int offset = 0;
    std::uint8_t byte = 0;
    KeyAnswer answer;
    // For a dead key where the output goes on: the byte after it and what the pair gives.
    std::uint8_t next = 0;
    KeyAnswer nextAnswer;
};

struct TypedText {
    std::string text;  // what the host receives, UTF-8
    std::vector<TypedChange> changes;
};

// The expected answer for a byte: the byte itself, typed by a key that means
// that character everywhere: printable ASCII, and CR as Enter. Tab and the
// Ctrl keys of the other control bytes never count as unchanged.
bool ArrivesUnchanged(std::uint8_t byte, const KeyAnswer& answer);
// The answer for each byte typed in order; a dead key and the key after it
// are composed as the layout composes them (the second key's answer holds the pair's text).
std::vector<KeyAnswer> TypeKeys(const HostLayout& layout, const std::vector<std::uint8_t>& bytes, bool capsLock);
// The bytes typed in order, as TypeKeys types them.
TypedText TypeBytes(const HostLayout& layout, const std::vector<std::uint8_t>& bytes, bool capsLock = false);

// Printable ASCII as itself, any other byte as its value in upper-case hex
// between angle brackets, as MR Test shows it ("<D>").
std::string ShownByte(std::uint8_t byte);
// A control character as the key that types it: "Enter", "Tab", "Ctrl+J"; empty for any other.
std::string ControlKeyName(char c);
// What a control key does to the program that has the focus: "Ctrl+J: a
// shortcut in many programs"; empty for Enter and for any other character.
std::string ControlKeyRisk(char c);
// An answer for people: its text in the printed notation, a control key by its
// name and risk, "nothing", "dead key (dead_circumflex)", or a composed
// text with its dead key ("'é' (dead_acute + e)").
std::string ShownAnswer(const KeyAnswer& answer);
// One change for people: "';' -> 'ö'", "'[LF]' -> Ctrl+J: a shortcut in many programs".
std::string ChangeText(const TypedChange& change);
