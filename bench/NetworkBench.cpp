// The network's cost per sample: RT_LSTM::process beside a plain scalar loop of the same
// arithmetic on the same weights, both over one second of audio at 48 kHz.
//
//   build/bench/brimwell_bench --benchmark_filter=Network

#include "BenchSignal.h"
#include "model/RT_LSTM.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <BinaryData.h>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
using bench_signal::numSamples;
using bench_signal::setPerSampleCounters;
constexpr int hidden = 40;

juce::MemoryBlock modelFile()
{
    int size = 0;
    const char* data = BinaryData::getNamedResource("model_07_json", size);
    return {data, (size_t)size};
}

/** The textbook LSTM step in plain loops, with weights in PyTorch's row order. */
struct ScalarLstm
{
    explicit ScalarLstm(const juce::MemoryBlock& file)
    {
        const auto doc = nlohmann::json::parse(file.toString().toStdString());
        const auto& w = doc.at("state_dict");
        for (size_t r = 0; r < 4 * hidden; ++r)
        {
            wih[r] = w.at("rec.weight_ih_l0")[r][0].get<float>();
            bias[r] = w.at("rec.bias_ih_l0")[r].get<float>() + w.at("rec.bias_hh_l0")[r].get<float>();
            for (size_t j = 0; j < hidden; ++j)
                whh[r][j] = w.at("rec.weight_hh_l0")[r][j].get<float>();
        }
        for (size_t j = 0; j < hidden; ++j)
            dense[j] = w.at("lin.weight")[0][j].get<float>();
        denseBias = w.at("lin.bias")[0].get<float>();
    }

    std::array<float, 4 * hidden> wih{}, bias{};
    std::array<std::array<float, hidden>, 4 * hidden> whh{};
    std::array<float, hidden> dense{}, h{}, c{};
    float denseBias = 0.0f;

    float step(float x)
    {
        std::array<float, 4 * hidden> g;
        for (int r = 0; r < 4 * hidden; ++r)
        {
            float sum = wih[(size_t)r] * x + bias[(size_t)r];
            for (int j = 0; j < hidden; ++j)
                sum += whh[(size_t)r][(size_t)j] * h[(size_t)j];
            g[(size_t)r] = sum;
        }
        float y = denseBias;
        for (int j = 0; j < hidden; ++j)
        {
            auto sigmoid = [](float v) { return 1.0f / (1.0f + std::exp(-v)); };
            const float i = sigmoid(g[(size_t)j]), f = sigmoid(g[(size_t)(hidden + j)]);
            const float cand = std::tanh(g[(size_t)(2 * hidden + j)]),
                        o = sigmoid(g[(size_t)(3 * hidden + j)]);
            c[(size_t)j] = f * c[(size_t)j] + i * cand;
            h[(size_t)j] = o * std::tanh(c[(size_t)j]);
        }
        for (int j = 0; j < hidden; ++j)
            y += dense[(size_t)j] * h[(size_t)j];
        return y + x;
    }
};
} // namespace

static void Network_RT_LSTM(benchmark::State& state)
{
    juce::ScopedNoDenormals noDenormals; // as on the audio thread
    RT_LSTM network;
    network.load_json(modelFile());
    const auto input = bench_signal::input();
    std::vector<float> output(input.size());
    for (auto _ : state)
    {
        network.process(input.data(), output.data(), numSamples);
        benchmark::DoNotOptimize(output.data());
    }
    setPerSampleCounters(state);
}
BENCHMARK(Network_RT_LSTM)->Unit(benchmark::kMillisecond);

static void Network_ScalarReference(benchmark::State& state)
{
    juce::ScopedNoDenormals noDenormals;
    auto lstm = std::make_unique<ScalarLstm>(modelFile());
    const auto input = bench_signal::input();
    std::vector<float> output(input.size());
    for (auto _ : state)
    {
        for (size_t i = 0; i < input.size(); ++i)
            output[i] = lstm->step(input[i]);
        benchmark::DoNotOptimize(output.data());
    }
    setPerSampleCounters(state);
}
BENCHMARK(Network_ScalarReference)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
