// The network's cost per sample: RT_LSTM::process beside a plain scalar loop of the same
// arithmetic, both over one second of audio at 48 kHz.
//
//   build/bench/brimwell_bench --benchmark_filter=Network

#include "model/RT_LSTM.h"

#include <BinaryData.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

namespace
{
constexpr int numSamples = 48000;
constexpr int hidden = 40;

std::vector<float> benchInput()
{
    std::vector<float> x(numSamples);
    for (int i = 0; i < numSamples; ++i)
        x[(size_t) i] = 0.5f * std::sin(0.013f * (float) i) * std::exp(-0.0001f * (float) i);
    return x;
}

juce::MemoryBlock modelFile()
{
    int size = 0;
    const char* data = BinaryData::getNamedResource("model_07_json", size);
    return { data, (size_t) size };
}

/** The textbook LSTM step in plain loops, with weights in PyTorch's row order. */
struct ScalarLstm
{
    std::array<float, 4 * hidden> wih {}, bias {};
    std::array<std::array<float, hidden>, 4 * hidden> whh {};
    std::array<float, hidden> dense {}, h {}, c {};
    float denseBias = 0.0f;

    float step(float x)
    {
        std::array<float, 4 * hidden> g;
        for (int r = 0; r < 4 * hidden; ++r)
        {
            float sum = wih[(size_t) r] * x + bias[(size_t) r];
            for (int j = 0; j < hidden; ++j)
                sum += whh[(size_t) r][(size_t) j] * h[(size_t) j];
            g[(size_t) r] = sum;
        }
        float y = denseBias;
        for (int j = 0; j < hidden; ++j)
        {
            auto sigmoid = [](float v) { return 1.0f / (1.0f + std::exp(-v)); };
            const float i = sigmoid(g[(size_t) j]), f = sigmoid(g[(size_t) (hidden + j)]);
            const float cand = std::tanh(g[(size_t) (2 * hidden + j)]), o = sigmoid(g[(size_t) (3 * hidden + j)]);
            c[(size_t) j] = f * c[(size_t) j] + i * cand;
            h[(size_t) j] = o * std::tanh(c[(size_t) j]);
        }
        for (int j = 0; j < hidden; ++j)
            y += dense[(size_t) j] * h[(size_t) j];
        return y + x;
    }
};

void setPerSampleCounters(benchmark::State& state)
{
    state.SetItemsProcessed((int64_t) state.iterations() * numSamples);
    // Seconds per sample, printed with an SI prefix (n for nanoseconds).
    state.counters["time_per_sample"] = benchmark::Counter((double) state.iterations() * numSamples,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

static void Network_RT_LSTM(benchmark::State& state)
{
    RT_LSTM network;
    network.load_json(modelFile());
    auto buffer = benchInput();
    for (auto _ : state)
    {
        network.process(buffer.data(), buffer.data(), numSamples);
        benchmark::DoNotOptimize(buffer.data());
    }
    setPerSampleCounters(state);
}
BENCHMARK(Network_RT_LSTM)->Unit(benchmark::kMillisecond);

static void Network_ScalarReference(benchmark::State& state)
{
    auto lstm = std::make_unique<ScalarLstm>();
    juce::Random random(3);
    for (auto& row : lstm->whh)
        for (auto& w : row)
            w = 0.2f * (random.nextFloat() - 0.5f);
    for (auto& w : lstm->wih)
        w = random.nextFloat() - 0.5f;
    for (auto& w : lstm->dense)
        w = 0.1f;
    auto buffer = benchInput();
    for (auto _ : state)
    {
        for (auto& s : buffer)
            s = lstm->step(s);
        benchmark::DoNotOptimize(buffer.data());
    }
    setPerSampleCounters(state);
}
BENCHMARK(Network_ScalarReference)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
