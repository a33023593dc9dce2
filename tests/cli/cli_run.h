// Runs the tovask-cli program and captures its exit code and both streams.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct CliRun {
    int code = -1;
    std::string out;  // standard output and standard error, in that order
    std::string err;
};

// Runs tovask-cli with the arguments; captures both streams.
inline CliRun Cli(const std::string& args)
{
    const std::string errFile = (std::filesystem::temp_directory_path() / ("tovask-cli-err-" + std::to_string(::getpid()))).string();
    const std::string cmd = std::string(TOVASK_CLI_PATH) + " " + args + " 2>" + errFile;
    CliRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(errFile);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    std::filesystem::remove(errFile);
    return r;
}

