// How long MakeTables takes to build the three ramps of one load.
//
//   build-bench/bench/bench_ramp [Google Benchmark flags, e.g. --benchmark_repetitions=9]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "display/ramp.h"

namespace {

void BM_MakeTables(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<uint16_t> red(n), green(n), blue(n);
    uint64_t step = 0;
    for (auto _ : state) {
        // The temperatures of a night fade, so that each call builds other ramps.
        const float k = 3400.0f + static_cast<float>(step++ % 32) * 100.0f;
        benchmark::DoNotOptimize(MakeTables(k, red.data(), green.data(), blue.data(), n));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MakeTables)->Arg(256)->Arg(1024)->Arg(2048)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
