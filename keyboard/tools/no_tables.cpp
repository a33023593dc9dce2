// The table generator itself reads layouts from libxkbcommon only.
#include "keyboard/layout_tables.h"

const LayoutTableEntry layoutTables[1] = {{"", ""}};
const int layoutTableCount = 0;
