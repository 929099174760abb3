// Time per channel-sample of each network kernel, one channel at a time and as a pair pass over
// two channels, beside the plain Eigen network (the baseline, built with the same flags): one
// second of audio at 48 kHz through one model file per channel. `vs_eigen` is how many times
// faster than the baseline's median a pass runs, `vs_single` how many times faster the pair pass
// runs per channel-sample than the same kernel's one-channel median. Noisy on a busy machine, so
// take medians:
//
//   build/bench/brimwell_bench --benchmark_filter=Kernel --benchmark_repetitions=5
//   --benchmark_report_aggregates_only=true

#include "BenchSignal.h"
#include "ReferenceLstmNetwork.h"
#include "model/LstmNetwork.h"
#include "model/NetworkLoader.h"

#include <BinaryData.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
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

/** Runs pass() once per iteration, each over numSamples samples of every channel; returns
    nanoseconds per channel-sample. */
template <class Pass> double timeChannelSamples(benchmark::State& state, int channels, Pass&& pass)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        pass();
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;

    bench_signal::setPerSampleCounters(state, channels);
    return elapsed.count() / ((double)state.iterations() * numSamples * channels);
}

/** Runs the network over the input once per iteration; returns nanoseconds per sample. */
template <class Network> double runNetwork(benchmark::State& state, Network& network)
{
    loadNetwork(network, model());
    const auto input = bench_signal::input();
    std::vector<float> output(input.size());
    return timeChannelSamples(state, 1,
                              [&]
                              {
                                  network.process(input.data(), output.data(), numSamples);
                                  benchmark::DoNotOptimize(output.data());
                              });
}

std::vector<double>& baselineRuns()
{
    static std::vector<double> runs;
    return runs;
}

std::vector<double>& singleChannelRuns(LstmKernel kernel)
{
    static std::map<LstmKernel, std::vector<double>> runs;
    return runs[kernel];
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + (long)values.size() / 2, values.end());
    return values[values.size() / 2];
}

/** Forces a kernel while alive; skips the benchmark where the processor lacks it. */
struct ForcedKernel
{
    ForcedKernel(benchmark::State& state, LstmKernel kernel) : supported(LstmKernels::isSupported(kernel))
    {
        if (supported)
            LstmKernels::force(kernel);
        else
            state.SkipWithError("not supported by this processor");
    }
    ~ForcedKernel() { LstmKernels::force(previous); }

    const LstmKernel previous = LstmKernels::active();
    const bool supported;
};

void reportVersusEigen(benchmark::State& state, double nanoseconds)
{
    if (!baselineRuns().empty())
        state.counters["vs_eigen"] = median(baselineRuns()) / nanoseconds;
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
    const ForcedKernel forced(state, kernel);
    if (!forced.supported)
        return;
    auto network = std::make_unique<LstmNetwork<1>>();
    const double nanoseconds = runNetwork(state, *network);
    singleChannelRuns(kernel).push_back(nanoseconds);
    reportVersusEigen(state, nanoseconds);
}
BENCHMARK_CAPTURE(Kernel_Lstm, portable, LstmKernel::portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_Lstm, avx2, LstmKernel::avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_Lstm, avx512, LstmKernel::avx512)->Unit(benchmark::kMillisecond);

// Two channels of one model file, as the processor's stereo pairs run: the right channel gets
// the signal a little louder and a quarter second later.
static void Kernel_LstmPair(benchmark::State& state, LstmKernel kernel)
{
    const ForcedKernel forced(state, kernel);
    if (!forced.supported)
        return;
    auto left = std::make_unique<LstmNetwork<1>>();
    auto right = std::make_unique<LstmNetwork<1>>();
    loadNetwork(*left, model());
    loadNetwork(*right, model());
    const auto leftInput = bench_signal::input();
    auto rightInput = leftInput;
    std::rotate(rightInput.begin(), rightInput.begin() + numSamples / 4, rightInput.end());
    for (auto& x : rightInput)
        x *= 1.5f;
    std::vector<float> leftOutput(leftInput.size()), rightOutput(rightInput.size());

    const double nanoseconds =
        timeChannelSamples(state, 2,
                           [&]
                           {
                               LstmNetwork<1>::processPair(*left, leftInput.data(), leftOutput.data(), *right,
                                                           rightInput.data(), rightOutput.data(), numSamples);
                               benchmark::DoNotOptimize(leftOutput.data());
                               benchmark::DoNotOptimize(rightOutput.data());
                           });
    reportVersusEigen(state, nanoseconds);
    if (!singleChannelRuns(kernel).empty())
        state.counters["vs_single"] = median(singleChannelRuns(kernel)) / nanoseconds;
}
BENCHMARK_CAPTURE(Kernel_LstmPair, portable, LstmKernel::portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_LstmPair, avx2, LstmKernel::avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel_LstmPair, avx512, LstmKernel::avx512)->Unit(benchmark::kMillisecond);
