// Two templates compared value by value, as diff prints them.
#pragma once

#include <string>
#include <vector>

#include "model/config_image.h"

struct Difference {
    std::string name;  // the value's name, or "image" for bytes no value explains
    std::string line;  // "T2Suffix: \"[CR][02]\" -> \"\"", with a's value first; texts as ShownText
};

// Every value that differs between a and b, in the order of the names, and
// a last "image" line for bytes that differ without changing any value. The
// two are equal when the list is empty.
std::vector<Difference> Differences(const ConfigImage& a, const ConfigImage& b);

// The same differences in the words of the editor's window, one line each:
// a field by its caption ("Track1 prefix"), an option by its label in the
// panel, values as the window shows them (texts in escape notation, quoted;
// switches Enable or Disable; options on or off, or the list's item); bytes
// that no field or option shows in one last sentence.
std::vector<std::string> WindowDifferences(const ConfigImage& a, const ConfigImage& b);
constexpr const char* hiddenBytesDiffer =
    "Other bytes of the stored settings differ too, in places that no field or option shows.";
