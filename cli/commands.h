// The verbs of tovask-cli. Each takes the arguments after the verb and
// returns the process exit code.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "device/usb/usb_ids.h"

constexpr int exitOk = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

int CmdNew(const std::vector<std::string>& args);
int CmdDump(const std::vector<std::string>& args);
int CmdWrite(const std::vector<std::string>& args);
int CmdRead(const std::vector<std::string>& args);
int CmdGet(const std::vector<std::string>& args);
int CmdSet(const std::vector<std::string>& args);
int CmdFromJson(const std::vector<std::string>& args);
int CmdDiff(const std::vector<std::string>& args);
int CmdDevices(const std::vector<std::string>& args);
int CmdUdevRule(const std::vector<std::string>& args);

// Takes "--vid HEX", "--vid=HEX" (and --pid) at args[i], moving i past its
// value; false when args[i] is neither.
bool ParseUsbIdOption(const std::vector<std::string>& args, std::size_t& i, std::optional<std::string>& vid,
                      std::optional<std::string>& pid);
// The reader's identifiers: the options, then TOVASK_USB_VID / TOVASK_USB_PID,
// then the build's pair. A malformed value is reported on standard error: false.
bool ResolveUsbIds(const std::optional<std::string>& vid, const std::optional<std::string>& pid, UsbIds& out);
