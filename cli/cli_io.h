// What the verbs share: the exit codes' names, output that reports a failed
// write, errors that reach standard error and, with --json, the run's one JSON
// document, and template files read and saved with messages that name the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/json.h"
#include "device/com/serial_line.h"
#include "model/config_image.h"
#include "model/template_compare.h"

// The name of an exit code in JSON ("ok", "failed", "error", "differs",
// "unreachable", "changed", "interrupted").
const char* ResultName(int code);

// Writes text to standard output and flushes it. A failed write is reported
// once on standard error ("tovask-cli: standard output: No space left on
// device"); from then on nothing more is written and every call gives false.
bool PrintOut(const std::string& text);
// True once a write to standard output has failed.
bool OutputFailed();

// --json was given: errors become the run's JSON document.
void SetJsonMode(bool on);
bool JsonMode();
// Prints the value as the run's JSON document (one line per item of a
// container that holds containers). False when it could not be written.
bool PrintJson(const Json& value);
// The same for a document already in text form.
bool PrintJsonText(const std::string& text);
// Whether a JSON document was printed (or tried).
bool JsonPrinted();

// "tovask-cli: message" on standard error; the first message of the run is
// kept for its JSON document.
void Complain(const std::string& message);
// With --json, when nothing printed one yet: the document
// {"result", "exitCode", "message"} for the run's exit code and first complaint.
void PrintJsonOutcome(int code);

// Loads FILE by the editor's rule ("-": standard input); says "FILE: cause"
// with Complain (and keeps it in said, when given) and returns false when it
// cannot.
bool LoadTemplateFile(const std::string& path, ConfigImage& image, std::string* said = nullptr);
// Saves the image as the editor saves ("-": the 64 bytes to standard
// output); says "FILE: cause" with Complain (and keeps it in said) and
// returns false when it cannot.
bool SaveTemplateFile(const std::string& path, const ConfigImage& image, std::string* said = nullptr);

// A FILE of "-" that would share standard output with --json is refused
// (with Complain): true.
bool StandardOutputTaken(const std::string& path);
// A file saved: with --json the document {"result", "exitCode", "file"}.
int Saved(const std::string& path);

// The port a --port option names; an unknown name is reported with Complain
// and gives portKind -1.
PortChoice PortOption(const std::string& port);

// The bytes as lowercase hex digits, two a byte.
std::string HexOf(std::span<const std::uint8_t> bytes);
