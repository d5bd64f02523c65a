// How long MakeTables takes to build the three ramps of one load, against
// memset writing the same number of bytes (3 x n x 2) in the same run. The
// memset is the floor: no ramp builder can store its bytes faster.
//
//   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDUSKWARM_BENCH=ON -DDUSKWARM_TESTS=OFF
//   cmake --build build-bench --target bench_ramp
//   build-bench/bench/bench_ramp [--benchmark_repetitions=N] [other Google Benchmark flags]
//
// Each case runs 9 times by default, the repetitions of all cases shuffled
// together so that a change of clock speed during the run hits both sides
// alike; the table at the end compares the medians. The goal is 4096 entries
// within 3x of the memset.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "display/ramp.h"

#ifndef DUSKWARM_BUILD_TYPE
#define DUSKWARM_BUILD_TYPE "unknown"
#endif

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kTargetEntries = 4096;
constexpr int kDefaultRepetitions = 9;

// Temperatures a night fade passes through, so that successive calls build
// different ramps as they do in the program.
float FadeKelvin(uint64_t step) {
    return 3400.0f + static_cast<float>(step % 32) * 100.0f;
}

void BM_MakeTables(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<uint16_t> red(n), green(n), blue(n);
    // What is timed must be a full build, not the early refusal.
    if (MakeTables(3400.0f, red.data(), green.data(), blue.data(), n) != 0 || red[n - 1] != 65535 ||
        green[n - 1] != 0xc1 * 257 || blue[n - 1] != 0x84 * 257) {
        state.SkipWithError("MakeTables did not build the 3400 K ramps");
        return;
    }
    uint64_t step = 0;
    for (auto _ : state) {
        int built = MakeTables(FadeKelvin(step++), red.data(), green.data(), blue.data(), n);
        benchmark::DoNotOptimize(built);
        benchmark::DoNotOptimize(red.data());
        benchmark::DoNotOptimize(green.data());
        benchmark::DoNotOptimize(blue.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 3 * n * 2);
}

void BM_Memset(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) * 3 * sizeof(uint16_t);
    std::vector<unsigned char> buf(bytes);
    int value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(buf.data());
        memset(buf.data(), value++ & 0xff, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(256)->Arg(1024)->Arg(kTargetEntries)->Unit(benchmark::kNanosecond);
}

BENCHMARK(BM_MakeTables)->Apply(Sizes);
BENCHMARK(BM_Memset)->Apply(Sizes);

// Passes everything to the console and keeps the medians for the table.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, std::map<int64_t, double>> median_ns;   // family -> entries -> ns

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "median" || r.error_occurred) continue;
            const std::string& name = r.run_name.function_name;
            const std::string& arg = r.run_name.args;
            median_ns[name][std::strtoll(arg.c_str(), nullptr, 10)] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

bool HasFlag(int argc, char** argv, const char* prefix) {
    for (int i = 1; i < argc; i++)
        if (strncmp(argv[i], prefix, strlen(prefix)) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Defaults that make the ratio meaningful; flags given on the command line win.
    std::vector<std::string> defaults;
    if (!HasFlag(argc, argv, "--benchmark_repetitions"))
        defaults.push_back("--benchmark_repetitions=" + std::to_string(kDefaultRepetitions));
    if (!HasFlag(argc, argv, "--benchmark_enable_random_interleaving"))
        defaults.push_back("--benchmark_enable_random_interleaving=true");
    if (!HasFlag(argc, argv, "--benchmark_report_aggregates_only") &&
        !HasFlag(argc, argv, "--benchmark_display_aggregates_only"))
        defaults.push_back("--benchmark_report_aggregates_only=true");
    std::vector<char*> args(argv, argv + argc);
    for (std::string& d : defaults) args.insert(args.begin() + 1, d.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    benchmark::AddCustomContext("cpu_model", CpuModel());
    benchmark::AddCustomContext("build_type", DUSKWARM_BUILD_TYPE);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& tables = reporter.median_ns["BM_MakeTables"];
    const auto& fill = reporter.median_ns["BM_Memset"];
    if (tables.empty() || fill.empty()) {
        fputs("no medians to compare (is --benchmark_repetitions at least 2?)\n", stderr);
        return 1;
    }
    printf("\nMakeTables against memset of the same bytes, medians (%s build, %s)\n", DUSKWARM_BUILD_TYPE,
           CpuModel().c_str());
    printf("%8s %10s %14s %12s %8s\n", "entries", "bytes", "MakeTables ns", "memset ns", "ratio");
    for (const auto& [n, tables_ns] : tables) {
        auto m = fill.find(n);
        if (m == fill.end()) continue;
        const double ratio = tables_ns / m->second;
        printf("%8lld %10lld %14.1f %12.1f %7.1fx\n", static_cast<long long>(n), static_cast<long long>(n * 6),
               tables_ns, m->second, ratio);
        if (n == kTargetEntries) {
            printf("goal: %d entries within %.0fx of memset: %s\n", kTargetEntries, kTargetRatio,
                   ratio <= kTargetRatio ? "met" : "MISSED");
        }
    }
    return 0;
}
