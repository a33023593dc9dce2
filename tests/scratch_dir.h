// A test's scratch folder, removed whole even where a test left read-only
// files or folders in it (Windows will not delete a read-only file).
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

inline void RemoveScratch(const std::filesystem::path& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
}

// A new, empty folder in the system's temporary one, named NAME and a number
// that no other run of a test takes.
inline std::filesystem::path NewScratch(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    RemoveScratch(dir);
    fs::create_directories(dir);
    return dir;
}
