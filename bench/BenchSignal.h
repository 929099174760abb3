#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

/** One second at 48 kHz of a slowly decaying tone: what the network benchmarks run on. */
namespace bench_signal
{
constexpr int numSamples = 48000;

inline std::vector<float> input()
{
    std::vector<float> x(numSamples);
    for (int i = 0; i < numSamples; ++i)
        x[(size_t)i] = 0.5f * std::sin(0.013f * (float)i) * std::exp(-0.0001f * (float)i);
    return x;
}

/** Reports the samples processed over all channels, and the time per channel-sample printed with an
    SI prefix (n for nanoseconds). */
inline void setPerSampleCounters(benchmark::State& state, int channels = 1)
{
    const double samples = (double)state.iterations() * numSamples * channels;
    state.SetItemsProcessed((int64_t)samples);
    state.counters["time_per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace bench_signal
