#include "LevelFollower.h"

#include <cmath>

void LevelFollower::prepare(double sampleRate) noexcept
{
    envelope = 0.0f;
    attackCoefficient = 1.0f;
    releaseCoefficient = 1.0f - std::exp(-1.0f / (timeConstant * (float)sampleRate));
}

float LevelFollower::step(float x) noexcept
{
    const float c = x > envelope ? attackCoefficient : releaseCoefficient;
    envelope = (x - envelope) * c + envelope;
    return envelope;
}

void publishOutputLevels(const juce::dsp::AudioBlock<const float>& output, int numOutputChannels,
                         LevelFollower& left, LevelFollower& right, std::atomic<float>& levelLeft,
                         std::atomic<float>& levelRight) noexcept
{
    const auto numSamples = output.getNumSamples();
    if (numSamples == 0 || output.getNumChannels() == 0)
        return;

    const float* l = output.getChannelPointer(0);

    if (numOutputChannels >= 2 && output.getNumChannels() >= 2)
    {
        const float* r = output.getChannelPointer(1);
        for (size_t i = 0; i < numSamples; ++i)
        {
            left.step(std::abs((float)((double)l[i] * 1.9)));
            right.step(std::abs((float)((double)r[i] * 1.9)));
            levelLeft.store(left.step(std::abs(l[i])));
            levelRight.store(right.step(std::abs(r[i] + r[i])));
        }
        return;
    }

    for (size_t i = 0; i < numSamples; ++i)
    {
        left.step(std::abs((float)((double)l[i] * 1.9)));
        levelLeft.store(left.step(std::abs(l[i])));
        levelRight.store(left.step(std::abs(l[i] + l[i])));
    }
}
