// The card-test text cost per byte. (The serial commands' time beside their
// fixed waits is measured by tovask-serial-overhead.)
#include <vector>

#include <benchmark/benchmark.h>

#include "device/com/card_test.h"

namespace {

// Appending a 10-byte tick to a text that already holds state.range(0) bytes;
// the text is brought back to that size now and then, outside the timing.
void BM_CardTestAppend(benchmark::State& state)
{
    const std::vector<std::uint8_t> fill(1000, 'a');
    auto fresh = [&] {
        CardTestText text;
        while (static_cast<long>(text.Text().size()) < state.range(0))
            text.Append(fill.data(), static_cast<int>(fill.size()));
        return text;
    };
    CardTestText text = fresh();
    const std::uint8_t tick[10] = {';', '1', '2', '3', '4', '=', '5', '?', 0x0D, 0x00};
    long sinceRefill = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.Append(tick, 10));
        if (++sinceRefill == 4096) {
            state.PauseTiming();
            text = fresh();
            sinceRefill = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 10);
    state.counters["sec_per_byte"] = benchmark::Counter(static_cast<double>(state.iterations() * 10),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CardTestAppend)->Arg(10 * 1024)->Arg(1024 * 1024);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
