// Time per sample of each network kernel and of the plain Eigen network (the baseline, built with
// the same flags), one second of audio at 48 kHz through one model file; `vs_eigen` is how many
// times faster than the baseline's median a kernel runs. Noisy on a busy machine, so take medians:
//
//   build/bench/brimwell_bench --benchmark_filter=Kernel --benchmark_repetitions=9
//   --benchmark_report_aggregates_only=true

#include "BenchSignal.h"
#include "model/LstmNetwork.h"
#include "model/NetworkLoader.h"
#include "model/ReferenceLstmNetwork.h"

#include <BinaryData.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace
{
using bench_signal::numSamples;

nlohmann::json model()
{
    int size = 0;
    const char* data = BinaryData::getNamedResource("model_07_json", size);
    return nlohmann::json::parse(data, data + size);
}

/** Runs the network over the input once per iteration; returns nanoseconds per sample. */
template <class Network> double runNetwork(benchmark::State& state, Network& network)
{
    loadNetwork(network, model());
    const auto input = bench_signal::input();
    std::vector<float> output(input.size());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        network.process(input.data(), output.data(), numSamples);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;

    bench_signal::setPerSampleCounters(state);
    return elapsed.count() / ((double)state.iterations() * numSamples);
}

std::vector<double>& baselineRuns()
{
    static std::vector<double> runs;
    return runs;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + (long)values.size() / 2, values.end());
    return values[values.size() / 2];
}
} // namespace

static void Kernel_EigenBaseline(benchmark::State& state)
{
    auto network = std::make_unique<ReferenceLstmNetwork<1>>();
    baselineRuns().push_back(runNetwork(state, *network));
}
BENCHMARK(Kernel_EigenBaseline)->Unit(benchmark::kMillisecond);

static void Kernel_Lstm(benchmark::State& state, LstmKernel kernel)
{
    if (!LstmKernels::isSupported(kernel))
    {
        state.SkipWithError("not supported by this processor");
        return;
    }
    const auto previous = LstmKernels::active();
    LstmKernels::force(kernel);
    auto network = std::make_unique<LstmNetwork<1>>();
    const double nanoseconds = runNetwork(state, *network);
    LstmKernels::force(previous);
    if (!baselineRuns().empty())
        state.counters["vs_eigen"] = median(baselineRuns()) / nanoseconds;
}
BENCHMARK_CAPTURE(Kernel_Lstm, portable, LstmKernel::portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_Lstm, avx2, LstmKernel::avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_Lstm, avx512, LstmKernel::avx512)->Unit(benchmark::kMillisecond);
