// How a verb joins tovask-cli: a function Add<Name>Verb(CLI::App&) that adds
// its subcommand with AddVerb, and one line in cli/verb_list.h.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

// The exit codes of every verb; a run that a signal ended exits 128 + the signal.
constexpr int exitOk = 0;
constexpr int exitFailed = 1;       // a transfer failed, or the output could not be written
constexpr int exitUsage = 2;        // bad usage, or a file that cannot be read or saved
constexpr int exitDiffers = 3;      // the reader (diff: B) holds other values than the file
constexpr int exitUnreachable = 4;  // no reader could be reached
constexpr int exitChanged = 5;      // characters change on the way to the host (preview, check-layout)

struct VerbTexts {
    std::string name;
    std::string synopsis;  // its line in the tool's list of commands: "write FILE --port PORT"
    std::string summary;   // what it does, in a few words
    std::string help;      // what --help prints, from "Usage: tovask-cli" on
};

// Adds the verb. Its options go on the App returned; run is called once they
// are parsed and checked, and gives the exit code.
CLI::App* AddVerb(CLI::App& tool, const VerbTexts& texts, std::function<int()> run);

// "--vid HEX", "--vid=HEX", and the same for --pid.
struct UsbIdOptions {
    std::optional<std::string> vid;
    std::optional<std::string> pid;
};
void AddUsbIdOptions(CLI::App& verb, UsbIdOptions& ids);

// An option that takes no value.
void AddSwitch(CLI::App& verb, const std::string& names, bool& value);

#define TOVASK_VERB(name) void Add##name##Verb(CLI::App& tool);
#include "cli/verb_list.h"
#undef TOVASK_VERB
