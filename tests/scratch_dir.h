// A test's scratch folder, removed whole even where a test left read-only
// files or folders in it (Windows will not delete a read-only file).
#pragma once

#include <filesystem>
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
