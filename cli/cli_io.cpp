#include "cli/cli_io.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "cli/run_control.h"
#include "cli/verbs.h"
#include "model/tovask_doc.h"

namespace {

bool g_outputFailed = false;
std::string g_outputError;  // why standard output failed
bool g_json = false;
bool g_jsonPrinted = false;
std::string g_firstComplaint;

// "tovask-cli: FILE: cause" on standard error; "FILE: cause" into said when given.
bool FileError(const std::string& path, const std::string& cause, std::string* said)
{
    const std::string text = (path == "-" ? std::string("standard input") : path) + ": " + cause;
    Complain(text);
    if (said)
        *said = text;
    return false;
}

std::string Cause(int err)
{
    return err ? std::error_code(err, std::generic_category()).message() : "write error";
}

}  // namespace

const char* ResultName(int code)
{
    switch (code) {
    case exitOk: return "ok";
    case exitFailed: return "failed";
    case exitUsage: return "error";
    case exitDiffers: return "differs";
    case exitUnreachable: return "unreachable";
    case exitChanged: return "changed";
    default: return code >= 128 ? "interrupted" : "failed";
    }
}

bool PrintOut(const std::string& text)
{
    if (g_outputFailed)
        return false;
    std::cout.flush();  // anything printed through the stream goes first
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    g_outputFailed = true;
    g_outputError = "standard output: " + Cause(errno);
    std::cerr << "tovask-cli: " << g_outputError << std::endl;
    return false;
}

bool OutputFailed() { return g_outputFailed; }

void SetJsonMode(bool on) { g_json = on; }

bool JsonMode() { return g_json; }

bool PrintJson(const Json& value)
{
    g_jsonPrinted = true;
    return PrintOut(JsonText(value) + "\n");
}

bool PrintJsonText(const std::string& text)
{
    g_jsonPrinted = true;
    return PrintOut(text);
}

bool JsonPrinted() { return g_jsonPrinted; }

bool StandardOutputTaken(const std::string& path)
{
    if (path != "-" || !g_json)
        return false;
    Complain("- and --json would both print on standard output");
    return true;
}

int Saved(const std::string& path)
{
    if (!g_json)
        return exitOk;
    return PrintJson({{"result", "ok"}, {"exitCode", exitOk}, {"file", JsonName(path)}}) ? exitOk : exitFailed;
}

void Complain(const std::string& message)
{
    std::cerr << "tovask-cli: " << message << std::endl;
    if (g_firstComplaint.empty())
        g_firstComplaint = message;
}

void PrintJsonOutcome(int code)
{
    if (!g_json || g_jsonPrinted)
        return;
    PrintJson({{"result", ResultName(code)}, {"exitCode", code}, {"message", JsonName(g_firstComplaint)}});
}

bool LoadTemplateFile(const std::string& path, ConfigImage& image, std::string* said)
{
    if (path == "-") {
        // The editor's rule on the bytes of standard input, read to its end.
        BinaryStandardStreams();
        ConfigImage bytes{};
        std::size_t got = 0;
        char rest[4096];
        while (got < bytes.size()) {
            const std::size_t n = std::fread(bytes.data() + got, 1, bytes.size() - got, stdin);
            if (n == 0)
                break;
            got += n;
        }
        while (got == bytes.size() && std::fread(rest, 1, sizeof rest, stdin) > 0) {
        }
        if (std::ferror(stdin))
            return FileError(path, Cause(errno), said);
        if (got == 0)
            return FileError(path, "the file is empty", said);
        if (got < bytes.size())
            return FileError(path, CTovaskDoc::unexpectedFileFormat, said);
        image = bytes;
        return true;
    }
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
    if (path == "-") {
        BinaryStandardStreams();
        if (PrintOut(std::string(image.begin(), image.end())))
            return true;
        if (said)
            *said = g_outputError;
        return false;
    }
    std::string error;
    if (CTovaskDoc::WriteImageFile(path, image, error))
        return true;
    return FileError(path, error, said);
}

PortChoice PortOption(const std::string& port)
{
    const PortChoice choice = ParsePortName(port);
    if (choice.portKind < 0)
        Complain("unknown port '" + port + "': use USB, PS2, COM1..COM255 or a serial device path");
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
