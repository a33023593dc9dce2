// Saving on Windows: a read-only file is refused; otherwise the bytes go to a
// new file in the same folder (a unique name, flushed to disk) that then
// takes the old file's place, so a failed save keeps the previous content.
#include "model/file_save.h"
#include "model/win_error.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

std::string ErrorText(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "Permission denied";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "No such file or directory";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "No space left on device";
    default:
        return WindowsErrorText(code);
    }
}

bool Fail(std::string& error, const std::string& text)
{
    error = text;
    return false;
}

}  // namespace

bool SaveFileContent(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return Fail(error, "Is a directory");
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return Fail(error, "Permission denied (the file is read-only)");
    }
    const std::size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    const std::string temporary = folder + "~" + name + "." + std::to_string(GetCurrentProcessId()) + "-"
                                  + std::to_string(counter++) + ".tmp";

    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(error, ErrorText(GetLastError()));
    DWORD written = 0;
    const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size
                    && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        return Fail(error, ErrorText(writeError));
    }
    SetFileAttributesA(temporary.c_str(), attributes != INVALID_FILE_ATTRIBUTES
                                              ? attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_TEMPORARY)
                                              : FILE_ATTRIBUTE_NORMAL);
    // Another save may hold the file for a moment: try a few times.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD code = GetLastError();
        if (attempt == 20 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)) {
            DeleteFileA(temporary.c_str());
            return Fail(error, ErrorText(code));
        }
        Sleep(5);
    }
}
