// The verbs of tovask-cli. Each takes the arguments after the verb and
// returns the process exit code.
#pragma once

#include <string>
#include <vector>

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
