// The cost of processBlock: stereo, 48 kHz, 512-sample blocks, with Ultra Mode off (the
// networks at 96 kHz inside the two-times oversampler) and on (the networks at 48 kHz).
// "realtime_fraction" is the processing time divided by the audio time (0.02: 2% of a core).
//
//   build/bench/brimwell_bench --benchmark_filter=ProcessBlock

#include "processor/ParameterIds.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

void processBlocks(benchmark::State& state, bool ultraMode)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    auto processor = std::make_unique<ZiruzozodAudioProcessor>();
    auto* ultra = processor->apvts->getParameter(ParameterIds::ultraMode);
    ultra->setValueNotifyingHost(ultraMode ? 1.0f : 0.0f);
    processor->setRateAndBufferSizeDetails(sampleRate, blockSize);
    processor->prepareToPlay(sampleRate, blockSize);

    // One second of a decaying two-tone signal, played in a loop.
    const int length = (int)sampleRate;
    juce::AudioBuffer<float> source(2, length);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < length; ++i)
            source.setSample(ch, i,
                             0.3f * std::sin(0.0288f * (float)i + (float)ch) *
                                     std::exp(-2.0f * (float)i / (float)length) +
                                 0.05f * std::sin(0.174f * (float)i));

    juce::AudioBuffer<float> block(2, blockSize);
    juce::MidiBuffer midi;
    int position = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        // The copy costs well under a microsecond; pausing the timer would cost more.
        for (int ch = 0; ch < 2; ++ch)
            block.copyFrom(ch, 0, source, ch, position, blockSize);
        position = (position + blockSize) % (length - blockSize);

        processor->processBlock(block, midi);
        benchmark::DoNotOptimize(block.getReadPointer(0));
    }

    // Processing time over audio time (the loop's own overhead is a few nanoseconds a block).
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    const double audioSeconds = (double)state.iterations() * blockSize / sampleRate;
    state.counters["realtime_fraction"] = audioSeconds > 0.0 ? elapsed.count() / audioSeconds : 0.0;
    state.SetItemsProcessed((int64_t)state.iterations() * blockSize);
}
} // namespace

static void ProcessBlock_Stereo48k_UltraOff(benchmark::State& state)
{
    processBlocks(state, false);
}
BENCHMARK(ProcessBlock_Stereo48k_UltraOff)->Unit(benchmark::kMicrosecond);

static void ProcessBlock_Stereo48k_UltraOn(benchmark::State& state)
{
    processBlocks(state, true);
}
BENCHMARK(ProcessBlock_Stereo48k_UltraOn)->Unit(benchmark::kMicrosecond);
