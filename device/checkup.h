// What tovask-cli doctor reports: each check of what a link needs of the
// system, how it stands, and what to do about it. The checks that read the
// system's files take the places to read from, so that they can be tried on
// a made-up system.
#pragma once

#include <string>
#include <vector>

enum class CheckStatus { Ok, Warn, Fail };

struct CheckResult {
    std::string check;   // what was checked: "USB reader opens"
    CheckStatus status = CheckStatus::Ok;
    std::string detail;  // what was found
    std::string fix;     // one sentence; empty when all is well
};

// "ok", "warn", "fail".
const char* CheckStatusName(CheckStatus status);

// Where the checks look: the kernel's process and device folders, the
// device nodes, and udev's rule folders in udev's order (a file in an
// earlier folder hides one of the same name in a later one).
struct SystemRoots {
    std::string proc = "/proc";
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::vector<std::string> ruleFolders = {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                                            "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
    // The same places under root (a made-up system in a folder).
    static SystemRoots Under(const std::string& root);
};
// The running system's places; null where they do not apply (Windows).
const SystemRoots* SystemCheckupRoots();

// ASCII letters in lower case (udev's identifiers are compared so).
std::string LowerAscii(std::string text);

// One rule line of udev's rule files (comments left out).
struct UdevRuleLine {
    std::string file;  // its file name: "60-tovask-reader.rules"
    std::string text;
    std::string folder;  // the folder the file was read from
};
// Every rule line of the *.rules files, each file name once (the earliest
// folder's file, which hides the others), in udev's order: by file name as
// text, whatever the folder.
std::vector<UdevRuleLine> ReadUdevRules(const SystemRoots& roots);

// The command names (/proc/PID/comm) of the running processes, with their ids.
struct RunningProcess {
    int pid = 0;
    std::string name;
};
std::vector<RunningProcess> RunningProcesses(const SystemRoots& roots);

// The processes that hold devicePath open.
std::vector<RunningProcess> ProcessesHolding(const SystemRoots& roots, const std::string& devicePath);
