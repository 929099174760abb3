#include "ChainFormulas.h"

#include <cmath>

float ChainFormulas::decibelsToGain(float decibels) noexcept
{
    return juce::Decibels::decibelsToGain(decibels, -100.0f);
}

float ChainFormulas::heldBoost(float boost) noexcept
{
    return std::isfinite(boost) ? juce::jlimit(0.0f, 4.0f, boost) : 0.0f;
}

int ChainFormulas::boostPosition(float boost) noexcept
{
    return (int)heldBoost(boost);
}

double ChainFormulas::makeupOffsetDecibels(float boost) noexcept
{
    static constexpr double offsets[] = {-3.407, -4.866, -7.09, -8.956, -11.1136};
    return offsets[boostPosition(boost)];
}

float ChainFormulas::makeupLevelDecibels(float dryMixPercent, float boost) noexcept
{
    return (float)((double)(dryMixPercent / 100.0f) + makeupOffsetDecibels(boost));
}

float ChainFormulas::makeupTargetDecibels(float makeupLevel, bool autoGain, float drive) noexcept
{
    if (autoGain)
        return makeupLevel;
    return makeupLevel - juce::Decibels::gainToDecibels(drive, -100.0f);
}

float ChainFormulas::lowPassLimit(double sampleRate) noexcept
{
    return 0.49f * (float)sampleRate;
}

void ChainFormulas::setFirstOrderHighPass(juce::dsp::IIR::Coefficients<float>& target, double sampleRate,
                                          float frequency) noexcept
{
    target = juce::dsp::IIR::ArrayCoefficients<float>::makeFirstOrderHighPass(sampleRate, frequency);
}

void ChainFormulas::setFirstOrderLowPass(juce::dsp::IIR::Coefficients<float>& target, double sampleRate,
                                         float frequency) noexcept
{
    target = juce::dsp::IIR::ArrayCoefficients<float>::makeFirstOrderLowPass(
        sampleRate, juce::jmin(frequency, lowPassLimit(sampleRate)));
}
