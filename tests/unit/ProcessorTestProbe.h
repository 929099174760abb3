#pragma once

// What the processor tests share: making a processor as a host would (bus layout, rate and
// block size recorded, then prepared), setting parameters in their own units, and a probe of
// the processor's private chain state.

#include "../OutputBounds.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

struct ProcessorTestProbe
{
    ZiruzozodAudioProcessor& p;

    static int indexOf(const RT_LSTM* model,
                       const std::array<RT_LSTM, ZiruzozodAudioProcessor::numModels>& models)
    {
        return model == nullptr ? -1 : (int)(model - models.data());
    }
    int currentLeft() const { return indexOf(p.currentModelLeft, p.modelsLeft); }
    int currentRight() const { return indexOf(p.currentModelRight, p.modelsRight); }
    int nextLeft() const { return indexOf(p.nextModelLeft, p.modelsLeft); }
    int nextRight() const { return indexOf(p.nextModelRight, p.modelsRight); }
    int oversamplingOrder() const { return p.oversamplingOrder; }
    bool modelReady() const { return p.modelReady; }
    bool isPrepared() const { return p.isPrepared; }
    bool modelIsConditioned() const { return p.modelIsConditioned; }
    bool currentPairSharesWeights() const { return p.currentPairSharesWeights(); }
    int lastBoost() const { return p.lastBoost; }

    /** Makes the block-time choice as done, so that only the test moves the fade counter. */
    void skipBlockChoices(float boost)
    {
        p.modelChosenOnce = true;
        p.lastBoost = (int)boost;
    }

    /** The swap step of the fade, alone: the chosen pair becomes current. */
    void swap() { p.swapInChosenNetworks(); }

    /** Puts a network in place of model file k on both channels, as if the processor had loaded it. */
    void setNetworks(int k, const RT_LSTM& network)
    {
        p.modelsLeft[(size_t)k] = network;
        p.modelsRight[(size_t)k] = network;
    }

    /** Every one of the 50 networks replaced by an empty one, which returns its input. */
    void emptyAllNetworks()
    {
        const RT_LSTM empty;
        for (int k = 0; k < ZiruzozodAudioProcessor::numModels; ++k)
            setNetworks(k, empty);
    }

    /** Copies of the networks of model file k, state included. */
    RT_LSTM networkLeft(int k) const { return p.modelsLeft[(size_t)k]; }
    RT_LSTM networkRight(int k) const { return p.modelsRight[(size_t)k]; }

    const juce::Array<float>& preHighPassLeft() const { return p.preHighPassLeft.coefficients->coefficients; }
    const juce::Array<float>& preHighPassRight() const
    {
        return p.preHighPassRight.coefficients->coefficients;
    }
    const juce::Array<float>& postLowPassLeft() const { return p.postLowPassLeft.coefficients->coefficients; }
    const juce::Array<float>& postLowPassRight() const
    {
        return p.postLowPassRight.coefficients->coefficients;
    }
    const juce::Array<float>& dcHighPass() const { return p.dcHighPass.state->coefficients; }
    const juce::Array<float>& ultrasonicLowPass() const { return p.ultrasonicLowPass.state->coefficients; }

    juce::dsp::Gain<float>& gain(const std::string& name)
    {
        if (name == "drive")
            return p.driveGain;
        if (name == "input")
            return p.inputGain;
        if (name == "output")
            return p.outputGain;
        if (name == "dry")
            return p.dryGain;
        if (name == "wet")
            return p.wetGain;
        return p.makeupGain;
    }

    /** Every gain stage at its target, as half a second of blocks would leave it. */
    void settleGains()
    {
        for (auto* stage : {&p.inputGain, &p.driveGain, &p.outputGain, &p.dryGain, &p.wetGain, &p.makeupGain})
            stage->reset();
    }

    const LevelFollower* followerLeft() const { return p.levelFollowerLeft.get(); }
    const LevelFollower* followerRight() const { return p.levelFollowerRight.get(); }
};

/** Sets a parameter in its own units, the way a host does. */
inline void setParameter(ZiruzozodAudioProcessor& p, const juce::String& id, float value)
{
    auto* parameter = p.apvts->getParameter(id);
    ASSERT_NE(parameter, nullptr) << id;
    parameter->setValueNotifyingHost(parameter->convertTo0to1(value));
}

inline float parameterValue(ZiruzozodAudioProcessor& p, const juce::String& id)
{
    return p.apvts->getRawParameterValue(id)->load();
}

/** Sets the bus layout, records the rate and block size and prepares, as a plug-in client does. */
inline void prepare(ZiruzozodAudioProcessor& p, double rate, int block, int channels = 2)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(set);
    layout.outputBuses.add(set);
    EXPECT_TRUE(p.setBusesLayout(layout));
    p.setRateAndBufferSizeDetails(rate, block);
    p.prepareToPlay(rate, block);
}

inline std::unique_ptr<ZiruzozodAudioProcessor>
makeProcessor(const std::map<juce::String, float>& parameters = {})
{
    auto p = std::make_unique<ZiruzozodAudioProcessor>();
    for (const auto& [id, value] : parameters)
        setParameter(*p, id, value);
    return p;
}

/** The largest magnitude of fillSignal's samples. */
constexpr float testSignalPeak = 0.26f;

/** A deterministic guitar-ish test signal: two partials and a little noise, around -12 dBFS. */
inline void fillSignal(juce::AudioBuffer<float>& buffer, long long firstSample, double rate)
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const double t = (double)(firstSample + i) / rate;
            const double noise = std::sin((double)(firstSample + i) * 12.9898 + ch * 78.233) * 0.01;
            buffer.setSample(ch, i,
                             (float)(0.2 * std::sin(2.0 * juce::MathConstants<double>::pi * 220.0 * t + ch) +
                                     0.05 * std::sin(2.0 * juce::MathConstants<double>::pi * 1330.0 * t) +
                                     noise));
        }
}

inline bool allFinite(const juce::AudioBuffer<float>& buffer)
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!std::isfinite(buffer.getSample(ch, i)))
                return false;
    return true;
}

/** Processes one block of the test signal; returns the output. */
inline juce::AudioBuffer<float> processSignalBlock(ZiruzozodAudioProcessor& p, int channels, int length,
                                                   long long& position, double rate)
{
    juce::AudioBuffer<float> buffer(channels, length);
    fillSignal(buffer, position, rate);
    position += length;
    juce::MidiBuffer midi;
    p.processBlock(buffer, midi);
    return buffer;
}
