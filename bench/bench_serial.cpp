// Serial write and read over a pty with the real sleeper (command time beside
// the sum of its fixed waits), and the card-test text cost per byte.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "device/com/card_test.h"
#include "device/com/com_port.h"
#include "device/transfer.h"
#include "model/tovask_doc.h"
#include "sim/serial_reader.h"

namespace {

class NullSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override { last = text; }
    std::string last;
};

template <typename Procedure>
void RunCommand(benchmark::State& state, Procedure procedure, double fixedWaitsMs, const char* okText)
{
    SimReaderMemory memory;
    SimSerialReader sim(memory);
    sim.Start();
    SetComDeviceOverride(1, sim.SlavePath());
    CComPort com;
    CTovaskDoc doc;
    PanelessHost host;
    NullSink sink;
    RealSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindCOM1, true, &com, nullptr, nullptr};
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        procedure(ctx);
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (sink.last != okText)
            state.SkipWithError(sink.last.c_str());
    }
    state.counters["fixed_waits_ms"] = fixedWaitsMs;
    if (state.iterations() > 0)
        state.counters["overhead_ms"] = totalMs / static_cast<double>(state.iterations()) - fixedWaitsMs;
    sim.Stop();
    ClearComDeviceOverrides();
}

void BM_WriteOverCOM(benchmark::State& state)
{
    RunCommand(state, WriteOverCOM, 310, msg::writingOk);
}
BENCHMARK(BM_WriteOverCOM)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_ReadOverCOM(benchmark::State& state)
{
    RunCommand(state, ReadOverCOM, 450, msg::readingOk);
}
BENCHMARK(BM_ReadOverCOM)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

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
