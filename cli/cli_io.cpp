#include "cli/cli_io.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "model/tovask_doc.h"

bool PrintOut(const std::string& text)
{
    std::cout.flush();  // anything printed through the stream goes first
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    const int err = errno;
    std::cerr << "tovask-cli: standard output: "
              << (err ? std::error_code(err, std::generic_category()).message() : "write error") << '\n';
    return false;
}

namespace {

// "tovask-cli: FILE: cause" on standard error; "FILE: cause" into said when given.
bool FileError(const std::string& path, const std::string& cause, std::string* said)
{
    std::cerr << "tovask-cli: " << path << ": " << cause << '\n';
    if (said)
        *said = path + ": " + cause;
    return false;
}

}  // namespace

bool LoadTemplateFile(const std::string& path, ConfigImage& image, std::string* said)
{
    const CTovaskDoc::FileStatus st = CTovaskDoc::ReadImageFile(path, image);
    switch (st.result) {
    case CTovaskDoc::OpenResult::Ok:
        return true;
    case CTovaskDoc::OpenResult::Empty:
        return FileError(path, "the file is empty", said);
    case CTovaskDoc::OpenResult::TooShort:
    case CTovaskDoc::OpenResult::CannotOpen:
        return FileError(path, st.error, said);
    }
    return false;
}

bool SaveTemplateFile(const std::string& path, const ConfigImage& image, std::string* said)
{
    std::string error;
    if (CTovaskDoc::WriteImageFile(path, image, error))
        return true;
    return FileError(path, error, said);
}

PortChoice PortOption(const std::string& port)
{
    const PortChoice choice = ParsePortName(port);
    if (choice.portKind < 0)
        std::cerr << "tovask-cli: unknown port '" << port << "': use USB, PS2, COM1..COM255 or a serial device path\n";
    return choice;
}

std::string HexOf(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}
