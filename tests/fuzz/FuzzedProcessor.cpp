#include "FuzzedProcessor.h"

#include "../OutputBounds.h"
#include "../TestEnvironment.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 64;
constexpr int blocksPerCheck = 4;
constexpr float signalPeak = 0.3f;
} // namespace

FuzzedProcessor::FuzzedProcessor() : home(juce::String(useTemporaryHome())), buffer(2, blockSize)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(juce::AudioChannelSet::stereo());
    layout.outputBuses.add(juce::AudioChannelSet::stereo());
    require(processor.setBusesLayout(layout), "stereo layout accepted");
    processor.setRateAndBufferSizeDetails(rate, blockSize);
    for (auto* parameter : processor.getParameters())
    {
        parameters.push_back(dynamic_cast<juce::RangedAudioParameter*>(parameter));
        require(parameters.back() != nullptr, "every parameter has a range");
    }
    processor.getStateInformation(defaultState);
    prepare();
}

FuzzedProcessor::~FuzzedProcessor()
{
    home.deleteRecursively();
}

void FuzzedProcessor::restoreDefaults()
{
    processor.setStateInformation(defaultState.getData(), (int)defaultState.getSize());
}

void FuzzedProcessor::prepare()
{
    processor.prepareToPlay(rate, blockSize);
}

void FuzzedProcessor::checkParameters()
{
    for (auto* parameter : parameters)
    {
        const float normalised = parameter->getValue();
        require(std::isfinite(normalised) && normalised >= 0.0f && normalised <= 1.0f,
                "normalised value finite and within 0 to 1");
        const float value = processor.apvts->getRawParameterValue(parameter->paramID)->load();
        const auto& range = parameter->getNormalisableRange();
        require(std::isfinite(value) && value >= range.start && value <= range.end,
                "value finite and within the parameter's range");
    }
}

void FuzzedProcessor::checkBlocks()
{
    for (int block = 0; block < blocksPerCheck; ++block)
    {
        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample(ch, i, signalPeak * (float)std::sin(0.03 * (double)(position + i) + ch));
        position += blockSize;
        processor.processBlock(buffer, midi);
        // Any parameters may come with the input, so no level is sure to be heard; but none
        // makes more than this of the signal, and a chain gone unstable does.
        require(OutputBounds::peak(buffer) <= OutputBounds::largestGainAtAnySettings * signalPeak,
                "output finite and within the loudest the chain makes at any settings");
    }
}

std::vector<float> FuzzedProcessor::parameterValues()
{
    std::vector<float> values;
    for (auto* parameter : parameters)
        values.push_back(processor.apvts->getRawParameterValue(parameter->paramID)->load());
    return values;
}

void FuzzedProcessor::checkSameValues(const std::vector<float>& expected)
{
    const auto values = parameterValues();
    for (size_t k = 0; k < values.size(); ++k)
    {
        const auto& range = parameters[k]->getNormalisableRange();
        require(std::abs(values[k] - expected[k]) <= 1.0e-5f * (range.end - range.start),
                "the saved state restores the same values");
    }
}

juce::MemoryBlock FuzzedProcessor::saveState()
{
    juce::MemoryBlock state;
    processor.getStateInformation(state);
    return state;
}

void FuzzedProcessor::require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}
