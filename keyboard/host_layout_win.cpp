// Windows: the system's own keyboard layouts, asked key by key through
// ToUnicodeEx on the layout's identifier (KLID); the built-in tables answer
// for the xkeyboard-config names the system has no layout for.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>

#include "keyboard/host_layout.h"

namespace {

// xkeyboard-config names and the KLIDs of Windows' layouts for the same keyboards.
struct KnownLayout {
    const char* name;
    const char* klid;
};
constexpr KnownLayout knownLayouts[] = {
    {"us", "00000409"},       {"us(intl)", "00020409"}, {"gb", "00000809"},    {"de", "00000407"},
    {"fr", "0000040C"},       {"be", "0000080C"},       {"ch", "00000807"},    {"ch(fr)", "0000100C"},
    {"it", "00000410"},       {"es", "0000040A"},       {"pt", "00000816"},    {"nl", "00000413"},
    {"se", "0000041D"},       {"no", "00000414"},       {"dk", "00000406"},    {"fi", "0000040B"},
    {"tr", "0000041F"},       {"pl", "00000415"},       {"cz", "00000405"},    {"hu", "0000040E"},
    {"br", "00000416"},       {"ca", "00001009"},       {"latam", "0000080A"}, {"us(dvorak)", "00010409"},
};

bool IsKlid(const std::string& name)
{
    if (name.size() != 8)
        return false;
    for (char c : name)
        if (!std::iswxdigit(static_cast<wint_t>(static_cast<unsigned char>(c))))
            return false;
    return true;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string KlidOf(const std::string& name)
{
    if (IsKlid(name))
        return Upper(name);
    for (const KnownLayout& k : knownLayouts)
        if (name == k.name)
            return k.klid;
    return {};
}

// The name people know a KLID by: its xkeyboard-config name where one matches, else the KLID.
std::string NameOfKlid(const std::string& klid)
{
    for (const KnownLayout& k : knownLayouts)
        if (klid == k.klid)
            return k.name;
    return klid;
}

// Whether the system has the layout: Windows lists every installed one in the registry.
bool SystemHasLayout(const std::string& klid)
{
    const std::string path = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\" + klid;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The spacing accent a dead key shows, as xkeyboard-config's keysym names it.
std::string DeadName(wchar_t accent)
{
    struct Dead {
        wchar_t accent;
        const char* name;
    };
    static constexpr Dead names[] = {
        {L'`', "dead_grave"},      {0x00B4, "dead_acute"},       {L'\'', "dead_acute"},    {L'^', "dead_circumflex"},
        {L'~', "dead_tilde"},      {0x00A8, "dead_diaeresis"},   {L'"', "dead_diaeresis"}, {0x00B8, "dead_cedilla"},
        {0x02C7, "dead_caron"},    {0x02D8, "dead_breve"},       {0x00B0, "dead_abovering"}, {0x02DD, "dead_doubleacute"},
        {0x02DB, "dead_ogonek"},   {0x02D9, "dead_abovedot"},    {0x00AF, "dead_macron"},
    };
    for (const Dead& d : names)
        if (d.accent == accent)
            return d.name;
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "dead_U+%04X", static_cast<unsigned>(accent));
    return buffer;
}

std::string Utf8(const wchar_t* text, int length)
{
    if (length <= 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

class WindowsLayout : public HostLayout {
public:
    WindowsLayout(std::string name, const std::string& klid, HKL hkl, bool unload)
        : HostLayout(std::move(name), "Windows " + klid), m_hkl(hkl), m_unload(unload)
    {
    }
    ~WindowsLayout() override
    {
        if (m_unload)
            UnloadKeyboardLayout(m_hkl);
    }
    WindowsLayout(const WindowsLayout&) = delete;
    WindowsLayout& operator=(const WindowsLayout&) = delete;

    KeyAnswer Answer(std::uint8_t byte, bool capsLock) const override
    {
        KeyAnswer answer;
        wchar_t text[16];
        const int n = Type(byte, capsLock, text);
        if (n < 0)
            answer.deadName = DeadName(text[0]);
        else
            answer.text = Utf8(text, n);
        Clear();
        return answer;
    }

    std::string Composed(std::uint8_t dead, std::uint8_t next, bool capsLock) const override
    {
        wchar_t text[16];
        std::string out;
        if (Type(dead, capsLock, text) < 0) {
            const int n = Type(next, capsLock, text);
            out = Utf8(text, n < 0 ? 0 : n);
        }
        Clear();
        return out;
    }

private:
    // Types the key for byte into the thread's keyboard state; the result of ToUnicodeEx.
    int Type(std::uint8_t byte, bool capsLock, wchar_t (&text)[16]) const
    {
        const KeyStroke s = StrokeOf(byte);
        if (s.keycode == 0)
            return 0;
        // The main block's evdev codes are the keys' set-1 scan codes.
        const UINT scan = static_cast<UINT>(s.keycode);
        const UINT vk = MapVirtualKeyExW(scan, MAPVK_VSC_TO_VK_EX, m_hkl);
        BYTE state[256] = {};
        if (s.shift)
            state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (s.ctrl)
            state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (capsLock)
            state[VK_CAPITAL] = 0x01;
        return ToUnicodeEx(vk, scan, state, text, 16, 0, m_hkl);
    }
    // Leaves no dead key pending in the thread's keyboard state: a space after
    // a dead key ends it.
    void Clear() const
    {
        BYTE state[256] = {};
        wchar_t text[16];
        for (int i = 0; i < 4 && ToUnicodeEx(VK_SPACE, MapVirtualKeyExW(VK_SPACE, MAPVK_VK_TO_VSC, m_hkl), state, text,
                                             16, 0, m_hkl) < 0;
             ++i) {
        }
    }

    HKL m_hkl;
    bool m_unload;
};

}  // namespace

std::unique_ptr<HostLayout> OpenHostLayout(const std::string& name, std::string& error)
{
    const std::string klid = KlidOf(name);
    if (!klid.empty() && SystemHasLayout(klid)) {
        HKL before[64];
        const int count = GetKeyboardLayoutList(64, before);
        const std::wstring wide(klid.begin(), klid.end());
        if (HKL hkl = LoadKeyboardLayoutW(wide.c_str(), KLF_NOTELLSHELL)) {
            // A system that cannot load the layout hands back another: its language tells.
            const unsigned language = std::stoul(klid, nullptr, 16) & 0xFFFF;
            if (LOWORD(reinterpret_cast<UINT_PTR>(hkl)) == language) {
                bool loaded = false;
                for (int i = 0; i < count; ++i)
                    loaded |= before[i] == hkl;
                return std::make_unique<WindowsLayout>(IsKlid(name) ? NameOfKlid(klid) : name, klid, hkl, !loaded);
            }
        }
    }
    if (auto layout = OpenTableLayout(name))
        return layout;
    std::string known;
    for (const std::string& n : TableLayoutNames())
        known += (known.empty() ? "" : " ") + n;
    error = IsKlid(name) ? "keyboard layout " + klid + " is not installed on this system"
                         : "unknown keyboard layout \"" + name + "\" (this system's layouts by KLID, e.g. 0000040C, or: " +
                               known + ")";
    return nullptr;
}

bool SystemLayoutsAvailable() { return true; }

std::string ComposeLocale() { return {}; }

std::string SystemLayoutName()
{
    // The layout in use itself, not its input language: English (US) with the
    // US-International keyboard is 00020409.
    wchar_t klid[KL_NAMELENGTH] = {};
    if (!GetKeyboardLayoutNameW(klid))
        return "us";
    std::string name;
    for (const wchar_t* p = klid; *p; ++p)
        name += static_cast<char>(*p);
    return NameOfKlid(Upper(name));
}
