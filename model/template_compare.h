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
