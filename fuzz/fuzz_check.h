// Invariant checks of the fuzz targets. Under libFuzzer a broken invariant
// aborts, which the fuzzer reports with the input that caused it; the corpus
// replay in the test suite installs a handler that records it instead.
#pragma once

#include <string>

using FuzzFailHandler = void (*)(const std::string& what);
// Returns the handler that was installed before.
FuzzFailHandler SetFuzzFailHandler(FuzzFailHandler handler);
void FuzzFail(const char* expression, const char* file, int line);

#define FUZZ_CHECK(condition)                                 \
    do {                                                      \
        if (!(condition))                                     \
            FuzzFail(#condition, __FILE__, __LINE__);         \
    } while (0)
