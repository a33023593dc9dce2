// What the verbs share: output that reports a failed write,
// and template files read and saved with messages that name the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/com/serial_line.h"
#include "model/config_image.h"
#include "model/template_compare.h"

// Writes text to standard output and flushes it; a failed write is reported
// on standard error ("tovask-cli: standard output: No space left on device")
// and gives false.
bool PrintOut(const std::string& text);

// Loads FILE by the editor's rule; prints "tovask-cli: FILE: cause" (and
// keeps "FILE: cause" in said, when given) and returns false when it cannot.
bool LoadTemplateFile(const std::string& path, ConfigImage& image, std::string* said = nullptr);
// Saves the image as the editor saves; prints "tovask-cli: FILE: cause" (and
// keeps "FILE: cause" in said) and returns false when it cannot.
bool SaveTemplateFile(const std::string& path, const ConfigImage& image, std::string* said = nullptr);

// The port a --port option names; an unknown name is reported on standard
// error and gives portKind -1.
PortChoice PortOption(const std::string& port);

// The bytes as lowercase hex digits, two a byte.
std::string HexOf(std::span<const std::uint8_t> bytes);
