#pragma once

#include <juce_dsp/juce_dsp.h>

#include <atomic>

/** One output-level follower: instant attack, release of time constant 0.1 s. */
struct LevelFollower
{
    float envelope = 0.0f;
    float attackCoefficient = 1.0f;
    float releaseCoefficient = 0.0f;
    float timeConstant = 0.1f;

    /** Sets the envelope to 0 and the release coefficient for the given host rate. */
    void prepare(double sampleRate) noexcept;

    /** Moves the envelope one sample towards the input level x and returns it. */
    float step(float x) noexcept;
};

/** Feeds the finished output block through the two followers and stores the two published
    levels once per sample, for one or two output channels. */
void publishOutputLevels(const juce::dsp::AudioBlock<const float>& output, int numOutputChannels,
                         LevelFollower& left, LevelFollower& right, std::atomic<float>& levelLeft,
                         std::atomic<float>& levelRight) noexcept;
