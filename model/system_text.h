// Names as the system spells them (file names, device paths, command-line
// arguments), for output that must be UTF-8.
#pragma once

#include <string>
#include <string_view>

// The text in UTF-8: on Linux names are taken as UTF-8 already; on Windows
// they come in the ANSI code page and are converted.
std::string SystemTextToUtf8(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence
// written as "\xNN" (lower-case hex), so that any name can be shown in a
// UTF-8 document and still be told apart: "café.mtl" stays as it is.
std::string Utf8OrEscaped(std::string_view text);
