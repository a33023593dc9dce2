// The libFuzzer entry point of one target, chosen when it is built.
#include <cstring>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto run = [] {
        for (const FuzzTarget& target : fuzzTargets)
            if (std::strcmp(target.name, TOVASK_FUZZ_NAME) == 0)
                return target.run;
        return static_cast<int (*)(const std::uint8_t*, std::size_t)>(nullptr);
    }();
    return run(data, size);
}
