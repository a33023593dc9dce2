#include "device/checkup.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

const char* CheckStatusName(CheckStatus status)
{
    switch (status) {
    case CheckStatus::Ok: return "ok";
    case CheckStatus::Warn: return "warn";
    case CheckStatus::Fail: return "fail";
    }
    return "fail";
}

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

SystemRoots SystemRoots::Under(const std::string& root)
{
    SystemRoots roots;
    roots.proc = root + roots.proc;
    roots.sys = root + roots.sys;
    roots.dev = root + roots.dev;
    for (std::string& folder : roots.ruleFolders)
        folder = root + folder;
    return roots;
}

const SystemRoots* SystemCheckupRoots()
{
#ifdef _WIN32
    return nullptr;
#else
    static const SystemRoots roots;
    return &roots;
#endif
}

std::vector<UdevRuleLine> ReadUdevRules(const SystemRoots& roots)
{
    // File name -> the folder it is read from: the first folder that has it.
    std::map<std::string, std::string> files;
    for (const std::string& folder : roots.ruleFolders) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == ".rules")
                files.emplace(entry.path().filename().string(), folder);
    }
    std::vector<UdevRuleLine> lines;
    for (const auto& [name, folder] : files) {
        std::ifstream in(fs::path(folder) / name);  // a link to /dev/null reads as empty: the file is masked
        for (std::string text; std::getline(in, text);) {
            const std::size_t start = text.find_first_not_of(" \t");
            if (start != std::string::npos && text[start] != '#')
                lines.push_back({name, text, folder});
        }
    }
    return lines;
}

namespace {

// The numbered folders of the process folder.
std::vector<int> ProcessIds(const SystemRoots& roots)
{
    std::vector<int> ids;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(roots.proc, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 10)
            ids.push_back(std::stoi(name));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string ProcessName(const SystemRoots& roots, int pid)
{
    std::ifstream in(fs::path(roots.proc) / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

}  // namespace

std::vector<RunningProcess> RunningProcesses(const SystemRoots& roots)
{
    std::vector<RunningProcess> out;
    for (int pid : ProcessIds(roots))
        out.push_back({pid, ProcessName(roots, pid)});
    return out;
}

std::vector<RunningProcess> ProcessesHolding(const SystemRoots& roots, const std::string& devicePath)
{
    std::vector<RunningProcess> out;
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(devicePath, ec);
    for (int pid : ProcessIds(roots)) {
        std::error_code denied;  // another user's descriptors cannot be read
        for (const fs::directory_entry& fd : fs::directory_iterator(fs::path(roots.proc) / std::to_string(pid) / "fd", denied)) {
            std::error_code bad;
            const fs::path target = fs::read_symlink(fd.path(), bad);
            if (!bad && (target == devicePath || target == wanted)) {
                out.push_back({pid, ProcessName(roots, pid)});
                break;
            }
        }
    }
    return out;
}
