// The two-times oversampled path (Ultra Mode off at 44.1 and 48 kHz): the networks run on the
// up-sampled block, the dry copy passes an oversampler identical to the processed path's, and
// the latency reported to the host is the processed path's delay.

#include "ChainComparison.h"
#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

#include <nlohmann/json.hpp>

#include <complex>

namespace
{
using json = nlohmann::json;

constexpr float countingStep = 2.5e-4f;

/** A network that counts its steps whatever its input: gates saturated open, no input or
    recurrent weights, and a cell that gains countingStep per step; its output is the input plus
    tanh(cell). Two copies give the same next output only after the same number of steps. */
RT_LSTM countingNetwork()
{
    auto zeros = [](size_t rows, size_t columns) { return json(rows, json(columns, 0.0f)); };
    json bias(160, 0.0f);
    bias[0] = bias[40] = bias[120] = 40.0f; // input, forget and output gate of unit 0: exactly 1
    bias[80] = std::atanh(countingStep);    // its candidate
    json dense(40, 0.0f);
    dense[0] = 1.0f;

    json model;
    model["model_data"] = {{"input_size", 1}};
    model["state_dict"] = {{"rec.weight_ih_l0", zeros(160, 1)},
                           {"rec.weight_hh_l0", zeros(160, 40)},
                           {"rec.bias_ih_l0", bias},
                           {"rec.bias_hh_l0", json(160, 0.0f)},
                           {"lin.weight", json::array({dense})},
                           {"lin.bias", json::array({0.0f})}};
    const auto text = model.dump();
    RT_LSTM network;
    network.load_json(juce::MemoryBlock(text.data(), text.size()));
    return network;
}

/** Prepared, one block, prepared again: each gain stage then stands at its target (a preparation
    ends the ramps), the first-block choice is made, and with the fade counter cleared the
    processed path runs unfaded from fresh filter and oversampler states. */
void prepareSettled(ZiruzozodAudioProcessor& p, double rate, int block)
{
    prepare(p, rate, block);
    juce::AudioBuffer<float> silence(2, block);
    silence.clear();
    juce::MidiBuffer midi;
    p.processBlock(silence, midi);
    p.prepareToPlay(rate, block);
    p.modelFadeCounter.store(0);
}

std::unique_ptr<ZiruzozodAudioProcessor> settledWithEmptyNetworks(double rate, int block, float ultraMode,
                                                                  float dryMix)
{
    auto p = makeProcessor({{ParameterIds::ultraMode, ultraMode}, {ParameterIds::dryMix, dryMix}});
    ProcessorTestProbe{*p}.emptyAllNetworks();
    prepareSettled(*p, rate, block);
    return p;
}

juce::AudioBuffer<float> processInBlocks(ZiruzozodAudioProcessor& p, juce::AudioBuffer<float> audio,
                                         int block)
{
    juce::MidiBuffer midi;
    for (int start = 0; start < audio.getNumSamples(); start += block)
    {
        juce::AudioBuffer<float> view(audio.getArrayOfWritePointers(), audio.getNumChannels(), start,
                                      std::min(block, audio.getNumSamples() - start));
        p.processBlock(view, midi);
    }
    return audio;
}

/** Up and down through a new oversampler made as the processor makes its two. */
juce::AudioBuffer<float> throughOversampler(juce::AudioBuffer<float> audio, int block)
{
    juce::dsp::Oversampling<float> oversampler((size_t)audio.getNumChannels(), 1,
                                               juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                               true, false);
    oversampler.initProcessing((size_t)block);
    for (int start = 0; start < audio.getNumSamples(); start += block)
    {
        auto part = juce::dsp::AudioBlock<float>(audio).getSubBlock(
            (size_t)start, (size_t)std::min(block, audio.getNumSamples() - start));
        oversampler.processSamplesUp(part);
        oversampler.processSamplesDown(part);
    }
    return audio;
}

juce::AudioBuffer<float> testSignal(double rate, int length)
{
    juce::AudioBuffer<float> signal(2, length);
    fillSignal(signal, 0, rate);
    return signal;
}

std::complex<double> responseAt(const juce::AudioBuffer<float>& impulseResponse, double frequency,
                                double rate)
{
    std::complex<double> sum;
    for (int i = 0; i < impulseResponse.getNumSamples(); ++i)
        sum += (double)impulseResponse.getSample(0, i) *
               std::polar(1.0, -juce::MathConstants<double>::twoPi * frequency * i / rate);
    return sum;
}
} // namespace

TEST(ProcessorOversampling, NetworksRunOnTheUpsampledBlock)
{
    struct Case
    {
        double rate;
        float ultraMode;
        int network, stepsPerSample;
    };
    // The rows with Ultra Mode on and at 96 kHz show that the count tells the paths apart.
    for (const auto& c : {Case{44100.0, 0.0f, 15, 2}, Case{48000.0, 0.0f, 15, 2}, Case{48000.0, 1.0f, 5, 1},
                          Case{96000.0, 0.0f, 15, 1}})
    {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, Ultra Mode " << c.ultraMode);
        auto p = makeProcessor({{ParameterIds::ultraMode, c.ultraMode}});
        ProcessorTestProbe probe{*p};
        const auto counting = countingNetwork();
        probe.setNetworks(c.network, counting);
        prepare(*p, c.rate, 480);
        processInBlocks(*p, testSignal(c.rate, 8 * 480), 480);

        auto inProcessor = probe.networkLeft(c.network);
        auto reference = counting;
        std::vector<float> zeros((size_t)(c.stepsPerSample * 8 * 480), 0.0f);
        reference.process(zeros.data(), zeros.data(), (int)zeros.size());

        float a = 0.0f, b = 0.0f;
        inProcessor.process(&a, &a, 1);
        reference.process(&b, &b, 1);
        EXPECT_EQ(a, b);
    }
}

TEST(ProcessorOversampling, DryCopyAndProcessedPathPassIdenticalOversamplers)
{
    constexpr int block = 441, length = 20 * block;
    for (const double rate : {44100.0, 48000.0})
    {
        SCOPED_TRACE(rate);
        const auto input = testSignal(rate, length);

        // Dry Mix 0, the dry copy alone: the input through an oversampler like the processor's, exactly.
        auto dryOnly = settledWithEmptyNetworks(rate, block, 0.0f, 0.0f);
        const auto dry = processInBlocks(*dryOnly, input, block);
        const auto expectedDry = throughOversampler(input, block);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < length; ++i)
                ASSERT_EQ(dry.getSample(ch, i), expectedDry.getSample(ch, i))
                    << "channel " << ch << " sample " << i;

        // Dry Mix 50: Ultra Mode off gives what Ultra Mode on gives, passed through the
        // oversampler (above 500 Hz: the 20 Hz high-pass, which sits before the oversampler in
        // one and after it in the other, turns their different roundings into a drift below).
        // Both shares carry the oversampler's delay, so they add up in step.
        auto off = settledWithEmptyNetworks(rate, block, 0.0f, 50.0f);
        auto on = settledWithEmptyNetworks(rate, block, 1.0f, 50.0f);
        const ChainDifference d(processInBlocks(*off, input, block),
                                throughOversampler(processInBlocks(*on, input, block), block), rate);
        EXPECT_LT(d.above500Hz, 1e-5);
        EXPECT_LT(d.whole, 2e-3);
    }
}

TEST(ProcessorOversampling, ReportedLatencyIsTheDelayOfTheProcessedPath)
{
    constexpr int block = 512, length = 64 * block;
    for (const double rate : {44100.0, 48000.0})
    {
        SCOPED_TRACE(rate);
        juce::AudioBuffer<float> impulse(2, length);
        impulse.clear();
        impulse.setSample(0, 0, 1.0f);
        impulse.setSample(1, 0, 1.0f);

        // The oversampler's delay is what Ultra Mode off adds to the processed path (Dry Mix 100):
        // the phase of the one response against the other, which share every other filter.
        auto off = settledWithEmptyNetworks(rate, block, 0.0f, 100.0f);
        auto on = settledWithEmptyNetworks(rate, block, 1.0f, 100.0f);
        const auto withOversampler = processInBlocks(*off, impulse, block);
        const auto without = processInBlocks(*on, impulse, block);

        for (const double frequency : {200.0, 1000.0, 5000.0})
        {
            const auto ratio =
                responseAt(withOversampler, frequency, rate) / responseAt(without, frequency, rate);
            const double delay = -std::arg(ratio) / (juce::MathConstants<double>::twoPi * frequency / rate);
            std::printf("[ latency  ] %.0f Hz: reported %d samples, measured at %.0f Hz %.3f\n", rate,
                        off->getLatencySamples(), frequency, delay);
            EXPECT_NEAR(std::abs(ratio), 1.0, 1e-3) << frequency << " Hz";
            EXPECT_GE(delay, off->getLatencySamples()) << frequency << " Hz";
            EXPECT_LT(delay, off->getLatencySamples() + 1) << frequency << " Hz";
        }
    }
}
