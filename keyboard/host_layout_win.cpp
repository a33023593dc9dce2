// Windows: layouts from the built-in tables; the host's own from its keyboard
// layout identifier.
#include <windows.h>

#include "keyboard/host_layout.h"

std::unique_ptr<HostLayout> OpenHostLayout(const std::string& name, std::string& error)
{
    auto layout = OpenTableLayout(name);
    if (!layout) {
        std::string known;
        for (const std::string& n : TableLayoutNames())
            known += (known.empty() ? "" : " ") + n;
        error = "unknown keyboard layout \"" + name + "\" (this build knows: " + known + ")";
    }
    return layout;
}

bool SystemLayoutsAvailable() { return false; }

std::string SystemLayoutName()
{
    // The primary language of the layout in use, for the layouts the tables hold.
    struct Known {
        WORD language;
        WORD sublanguage;  // 0: any
        const char* name;
    };
    static constexpr Known known[] = {
        {LANG_ENGLISH, SUBLANG_ENGLISH_UK, "gb"}, {LANG_GERMAN, SUBLANG_GERMAN_SWISS, "ch"},
        {LANG_FRENCH, SUBLANG_FRENCH_BELGIAN, "be"}, {LANG_FRENCH, SUBLANG_FRENCH_SWISS, "ch(fr)"},
        {LANG_DUTCH, SUBLANG_DUTCH_BELGIAN, "be"}, {LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN, "br"},
        {LANG_ENGLISH, 0, "us"},     {LANG_GERMAN, 0, "de"},     {LANG_FRENCH, 0, "fr"},
        {LANG_ITALIAN, 0, "it"},     {LANG_SPANISH, 0, "es"},    {LANG_PORTUGUESE, 0, "pt"},
        {LANG_DUTCH, 0, "nl"},       {LANG_SWEDISH, 0, "se"},    {LANG_NORWEGIAN, 0, "no"},
        {LANG_DANISH, 0, "dk"},      {LANG_FINNISH, 0, "fi"},    {LANG_TURKISH, 0, "tr"},
        {LANG_POLISH, 0, "pl"},      {LANG_CZECH, 0, "cz"},      {LANG_HUNGARIAN, 0, "hu"},
    };
    const LANGID id = LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0)));
    for (const Known& k : known)
        if (PRIMARYLANGID(id) == k.language && (k.sublanguage == 0 || SUBLANGID(id) == k.sublanguage))
            return OpenTableLayout(k.name) ? k.name : "us";
    return "us";
}
