#pragma once

#include <juce_dsp/juce_dsp.h>

/** Keeps samples that no real signal holds out of the chain's recursive state: NaN, infinity,
    and finite values beyond 1000 (60 dB over full scale). One such sample from a host would
    otherwise poison every filter, oversampler and network until the next preparation, or for
    a second of huge output. The test compares the bit pattern, so it holds whatever
    floating-point options the build uses. */
struct HealthySamples
{
    /** The largest magnitude a healthy sample has. */
    static constexpr float largestMagnitude = 1000.0f;

    static bool isHealthy(float sample) noexcept;

    /** Sets every sample of the block that is not healthy to 0; returns whether there was one. */
    static bool replaceUnhealthy(const juce::dsp::AudioBlock<float>& block) noexcept;
};
