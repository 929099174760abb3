#pragma once

#include <juce_dsp/juce_dsp.h>

/** Keeps NaN and infinity out of the chain's recursive state: one such sample from a host
    would otherwise poison every filter and network until the next preparation. The test reads the exponent
   bits, so it holds whatever floating-point options the build uses. */
struct FiniteSamples
{
    static bool isFinite(float sample) noexcept;

    /** Sets every non-finite sample of the block to 0; returns whether there was one. */
    static bool replaceNonFinite(const juce::dsp::AudioBlock<float>& block) noexcept;
};
