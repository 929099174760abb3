#pragma once

#include <juce_dsp/juce_dsp.h>

/** Keeps NaN and infinity out of the chain's recursive state (a change from Parts 1.101 and
    2.104, which pass every sample through). The test reads the exponent bits, so it holds
    whatever floating-point options the build uses. */
struct FiniteSamples
{
    static bool isFinite(float sample) noexcept;

    /** Sets every non-finite sample of the block to 0; returns whether there was one. */
    static bool replaceNonFinite(const juce::dsp::AudioBlock<float>& block) noexcept;
};
