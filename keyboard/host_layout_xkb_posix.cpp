// Layouts from xkeyboard-config through libxkbcommon; dead keys composed with
// the compose table of the host's locale, as the desktop's input methods do.
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

#include "keyboard/host_layout.h"

namespace {

constexpr xkb_keysym_t firstDeadKeysym = 0xfe50;  // XKB_KEY_dead_grave
constexpr xkb_keysym_t lastDeadKeysym = 0xfe8f;   // the dead keys' block ends here
constexpr xkb_keycode_t evdevOffset = 8;

class XkbLayout : public HostLayout {
public:
    XkbLayout(std::string name, xkb_context* context, xkb_keymap* keymap, const std::string& locale)
        : HostLayout(std::move(name), "libxkbcommon"), m_context(context), m_keymap(keymap),
          m_state(xkb_state_new(keymap)),
          m_compose(xkb_compose_table_new_from_locale(context, locale.c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS))
    {
        m_shift = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        m_ctrl = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
        m_lock = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
    }
    ~XkbLayout() override
    {
        xkb_compose_table_unref(m_compose);
        xkb_state_unref(m_state);
        xkb_keymap_unref(m_keymap);
        xkb_context_unref(m_context);
    }
    XkbLayout(const XkbLayout&) = delete;
    XkbLayout& operator=(const XkbLayout&) = delete;

    KeyAnswer Answer(std::uint8_t byte, bool capsLock) const override
    {
        const xkb_keycode_t key = Press(byte, capsLock);
        if (key == 0)
            return {};
        KeyAnswer answer;
        const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_state, key);
        if (sym >= firstDeadKeysym && sym <= lastDeadKeysym) {
            char name[64];
            xkb_keysym_get_name(sym, name, sizeof name);
            answer.deadName = name;
            return answer;
        }
        answer.text = Utf8(key);
        return answer;
    }

    std::string Composed(std::uint8_t dead, std::uint8_t next, bool capsLock) const override
    {
        const xkb_keycode_t deadKey = Press(dead, capsLock);
        const xkb_keysym_t deadSym = deadKey ? xkb_state_key_get_one_sym(m_state, deadKey) : XKB_KEY_NoSymbol;
        const xkb_keycode_t nextKey = Press(next, capsLock);
        if (!nextKey || !m_compose)
            return {};
        const xkb_keysym_t nextSym = xkb_state_key_get_one_sym(m_state, nextKey);
        xkb_compose_state* compose = xkb_compose_state_new(m_compose, XKB_COMPOSE_STATE_NO_FLAGS);
        if (!compose)
            return {};
        std::string text;
        xkb_compose_state_feed(compose, deadSym);
        if (xkb_compose_state_get_status(compose) == XKB_COMPOSE_NOTHING) {
            // No sequence starts with this dead key: it adds nothing and the next key types as usual.
            text = Utf8(nextKey);
        } else {
            xkb_compose_state_feed(compose, nextSym);
            if (xkb_compose_state_get_status(compose) == XKB_COMPOSE_COMPOSED) {
                char buffer[64];
                const int n = xkb_compose_state_get_utf8(compose, buffer, sizeof buffer);
                if (n > 0 && n < static_cast<int>(sizeof buffer))
                    text.assign(buffer, static_cast<std::size_t>(n));
            }
            // Cancelled (or still composing): the pair gives nothing.
        }
        xkb_compose_state_unref(compose);
        return text;
    }

private:
    // Sets the modifiers of the byte's key and returns its xkb key code (0: no key).
    xkb_keycode_t Press(std::uint8_t byte, bool capsLock) const
    {
        const KeyStroke s = StrokeOf(byte);
        if (s.keycode == 0 || !m_state)
            return 0;
        xkb_mod_mask_t mods = 0;
        xkb_mod_mask_t locked = 0;
        if (s.shift && m_shift != XKB_MOD_INVALID)
            mods |= 1u << m_shift;
        if (s.ctrl && m_ctrl != XKB_MOD_INVALID)
            mods |= 1u << m_ctrl;
        if (capsLock && m_lock != XKB_MOD_INVALID)
            locked |= 1u << m_lock;
        xkb_state_update_mask(m_state, mods, 0, locked, 0, 0, 0);
        return static_cast<xkb_keycode_t>(s.keycode) + evdevOffset;
    }
    std::string Utf8(xkb_keycode_t key) const
    {
        char text[64];
        const int n = xkb_state_key_get_utf8(m_state, key, text, sizeof text);
        return n > 0 && n < static_cast<int>(sizeof text) ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    }

    xkb_context* m_context;
    xkb_keymap* m_keymap;
    xkb_state* m_state;
    xkb_compose_table* m_compose;
    xkb_mod_index_t m_shift;
    xkb_mod_index_t m_ctrl;
    xkb_mod_index_t m_lock;
};

// "de(nodeadkeys)" -> "de", "nodeadkeys".
bool SplitName(const std::string& name, std::string& layout, std::string& variant)
{
    const auto open = name.find('(');
    if (open == std::string::npos) {
        layout = name;
        variant.clear();
    } else {
        if (name.back() != ')' || open == 0)
            return false;
        layout = name.substr(0, open);
        variant = name.substr(open + 1, name.size() - open - 2);
    }
    for (char c : layout + variant)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
            return false;
    return !layout.empty();
}

std::string Unquoted(std::string value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

std::unique_ptr<HostLayout> OpenHostLayout(const std::string& name, std::string& error)
{
    std::string layout, variant;
    if (!SplitName(name, layout, variant)) {
        error = "not a layout name: \"" + name + "\" (for example de or de(nodeadkeys))";
        return nullptr;
    }
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context) {
        error = "libxkbcommon could not start";
        return nullptr;
    }
    xkb_context_set_log_level(context, XKB_LOG_LEVEL_CRITICAL);
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        error = "unknown keyboard layout \"" + name + "\" (xkeyboard-config has no such layout or variant)";
        return nullptr;
    }
    return std::make_unique<XkbLayout>(name, context, keymap, ComposeLocale());
}

std::string ComposeLocale()
{
    // As setlocale(LC_CTYPE, "") would choose, without changing the program's own locale.
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(var); value && *value)
            return value;
    return "C";
}

bool SystemLayoutsAvailable() { return true; }

std::string SystemLayoutName()
{
    // The session's own choice, then the system's console and X default.
    std::string layout, variant;
    if (const char* env = std::getenv("XKB_DEFAULT_LAYOUT"))
        layout = env;
    if (const char* env = std::getenv("XKB_DEFAULT_VARIANT"))
        variant = env;
    if (layout.empty()) {
        std::ifstream in("/etc/default/keyboard");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("XKBLAYOUT=", 0) == 0)
                layout = Unquoted(line.substr(10));
            else if (line.rfind("XKBVARIANT=", 0) == 0)
                variant = Unquoted(line.substr(11));
        }
    }
    // Several layouts: the first is the one in use at start.
    layout = layout.substr(0, layout.find(','));
    variant = variant.substr(0, variant.find(','));
    if (layout.empty())
        return "us";
    return variant.empty() ? layout : layout + "(" + variant + ")";
}
