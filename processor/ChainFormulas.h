#pragma once

#include <juce_dsp/juce_dsp.h>

/** The arithmetic of the signal chain, kept apart so that tests can check it against values
    computed independently. Nothing here allocates. */
struct ChainFormulas
{
    /** 10^(dB × 0.05) in single precision above -100 dB, 0 at or below it. */
    static float decibelsToGain(float decibels) noexcept;

    /** Boost held to its range 0 to 4; a value that is not a finite number counts as 0. Boost
        becomes an array index, and a host or a damaged state may hand over anything. */
    static float heldBoost(float boost) noexcept;

    /** The whole Boost position 0 to 4 of a held Boost, truncated toward zero. */
    static int boostPosition(float boost) noexcept;

    /** Makeup offset for a Boost position 0 to 4 in dB. */
    static double makeupOffsetDecibels(float boost) noexcept;

    /** Dry Mix / 100 plus the Boost offset, summed in double precision. */
    static float makeupLevelDecibels(float dryMixPercent, float boost) noexcept;

    /** The makeup gain's target: the level itself with AutoGain on, the level minus the drive
        in dB (not below -100 dB) with AutoGain off. */
    static float makeupTargetDecibels(float makeupLevel, bool autoGain, float drive) noexcept;

    /** Highest cut-off given to a low-pass design: just below half the rate. It only bites
        below 40.8 kHz, where the 20 kHz designs would otherwise be unstable. */
    static float lowPassLimit(double sampleRate) noexcept;

    /** The framework's first-order designs (b0, b1, a0, a1), assigned in place to the filter's
        own coefficient object, which keeps its storage. */
    static void setFirstOrderHighPass(juce::dsp::IIR::Coefficients<float>& target, double sampleRate,
                                      float frequency) noexcept;
    static void setFirstOrderLowPass(juce::dsp::IIR::Coefficients<float>& target, double sampleRate,
                                     float frequency) noexcept;
};
