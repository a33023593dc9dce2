// The template's values by name, as scripts see them: the 26 format fields by
// their names (CardPrefix ... CardSuffix) and the reader options by their
// record names. Values are read and written as text and checked the way the
// editor checks them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/template_record.h"

// The reader options that can be set, in record order (stopBitsText is fixed).
constexpr std::array<const char*, 10> optionKeys{
    "trackEnabled", "errorMode",        "longBeepOnGoodRead", "threeBeepsOnError", "baudIndex",
    "parityIndex",  "dataBitsIndex",    "flowControlIndex",   "outputDelay",       "oposMode"};

// The field editor's messages for a refused text, and the panel's for the output delay.
namespace valueMessage {
constexpr const char* cardText = "card prefix/suffix error!";
constexpr const char* trackText = "track prefix/suffix error!";
constexpr const char* terminator = "field terminator error!";
constexpr const char* delayByte = "Enter an integer between 0 and 255.";
constexpr const char* delayRange = "Enter an integer between 1 and 200.";
}  // namespace valueMessage

// Every name: the format fields in index order, then the options.
const std::vector<std::string>& TemplateValueNames();
// Index of the format field of that name, or -1.
int FieldIndexOf(std::string_view name);

// The value as text: a text field or terminator in its printed form
// (ShownText: escape notation, "[XX]" for any other byte outside printable
// ASCII), a switch "Enable" or "Disable", a data field empty, an option as its
// number (trackEnabled as "1,1,0"). Nothing for an unknown name.
std::optional<std::string> GetTemplateValue(const TemplateRecord& record, std::string_view name);

// Checks value and stores it under name. Texts take the printed form
// (ReadShownText; plain escape notation is part of it) within the field's
// limit and without byte 0xFF, which the image keeps for a free byte; switches "Enable", "Disable", "1" or "0"; the serial
// indices -1 (no selection) or a position in their list; the output delay as
// the panel takes it. On refusal returns false with the reason in message
// (the editor's own message where it has one) and leaves the record alone.
bool SetTemplateValue(TemplateRecord& record, std::string_view name, std::string_view value, std::string& message);
