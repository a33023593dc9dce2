// The built-in layout tables, generated when the program is built from
// xkeyboard-config through libxkbcommon (tools/make_layout_tables.cpp).
#pragma once

struct LayoutTableEntry {
    const char* name;
    // The answers for the bytes 0..127 in order, separated by 0xFF; a dead
    // key's answer is 0xFE followed by its keysym name.
    const char* answers;
};

extern const LayoutTableEntry layoutTables[];
extern const int layoutTableCount;
