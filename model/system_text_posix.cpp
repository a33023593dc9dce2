#include "model/system_text.h"

std::string SystemTextToUtf8(std::string_view text) { return std::string(text); }
