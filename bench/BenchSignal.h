#pragma once

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
        x[(size_t) i] = 0.5f * std::sin(0.013f * (float) i) * std::exp(-0.0001f * (float) i);
    return x;
}
} // namespace bench_signal
