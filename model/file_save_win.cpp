#include "model/file_save.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

// Windows: a read-only file is refused; otherwise the file is written through.
bool SaveFileContent(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) {
        error = std::make_error_code(std::errc::is_a_directory).message();
        return false;
    }
    if (fs::exists(st) && (st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        error = std::make_error_code(std::errc::permission_denied).message() + " (the file is read-only)";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.flush();
    if (!out) {
        error = "write failed";
        return false;
    }
    return true;
}
