// Runs the tovask-cli program and captures its exit code and both streams.
#pragma once

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#define TOVASK_POPEN _popen
#define TOVASK_PCLOSE _pclose
#else
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>
#define TOVASK_POPEN ::popen
#define TOVASK_PCLOSE ::pclose
#endif

struct CliRun {
    int code = -1;
    std::string out;  // standard output and standard error, in that order
    std::string err;
};

// Runs tovask-cli with the arguments; captures both streams.
inline CliRun Cli(const std::string& args)
{
    const std::string errFile =
        (std::filesystem::temp_directory_path()
         / ("tovask-cli-err-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
            .string();
    std::string cmd = std::string(TOVASK_CLI_PATH) + " " + args + " 2>" + errFile;
#ifdef _WIN32
    cmd = "\"" + cmd + "\"";  // cmd /c takes the line between the outer quotes as it is
#endif
    CliRun r;
    FILE* p = TOVASK_POPEN(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int status = TOVASK_PCLOSE(p);
#ifdef _WIN32
    r.code = status;
#else
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::ifstream e(errFile);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    e.close();
    std::filesystem::remove(errFile);
    return r;
}

// The text as a JSON string holds it, without the quotes (Windows paths have backslashes).
inline std::string InJson(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += c == '\\' || c == '"' ? std::string{'\\', c} : std::string{c};
    return out;
}

// The argument quoted for the shell (cmd on Windows, where the program's
// runtime takes the double quotes away).
inline std::string Q(const std::string& s)
{
#ifdef _WIN32
    return "\"" + s + "\"";
#else
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
#endif
}

// One run of the tool: its exit code, and texts that must each appear in its
// standard output or error.
struct CliCase {
    std::string args;
    int code;
    std::vector<std::string> shown;
};

inline void ExpectCliCases(const std::vector<CliCase>& cases)
{
    for (const CliCase& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        for (const std::string& s : c.shown)
            EXPECT_NE((r.out + r.err).find(s), std::string::npos) << "missing: " << s << "\n" << r.out << r.err;
    }
}
