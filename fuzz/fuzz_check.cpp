#include "fuzz/fuzz_check.h"

#include <cstdio>
#include <cstdlib>

namespace {

void AbortOnFailure(const std::string& what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

FuzzFailHandler g_handler = AbortOnFailure;

}  // namespace

FuzzFailHandler SetFuzzFailHandler(FuzzFailHandler handler)
{
    FuzzFailHandler old = g_handler;
    g_handler = handler ? handler : AbortOnFailure;
    return old;
}

void FuzzFail(const char* expression, const char* file, int line)
{
    g_handler(std::string(file) + ":" + std::to_string(line) + ": " + expression);
}
