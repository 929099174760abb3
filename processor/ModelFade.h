#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** The twelve-step network-change fade: what one value of the fade counter
    does to the processed block. The counter itself lives in the processor. */
struct ModelFade
{
    static constexpr int fullFade = 12;         // stored by a network choice and the Ultra Mode toggle
    static constexpr int swapStep = 8;          // the step that makes the chosen networks current
    static constexpr int preparationFadeIn = 3; // stored at the end of every preparation

    enum class Action
    {
        none,
        ramp,
        clear
    };

    struct Step
    {
        Action action = Action::none;
        float startGain = 1.0f, endGain = 1.0f; // for a ramp: gain on the first sample, and after the last
        bool swapsNetworks = false;
        bool countsDown = false;
    };

    /** The step for counter value c. */
    static Step forCounter(int c) noexcept;

    /** Applies the step to the samples [start, start + num) of a block of blockLength samples:
        a ramp over the whole block is split exactly as one ramp over the block would run. */
    static void apply(const Step& step, juce::AudioBuffer<float>& buffer, int numChannels, int start, int num,
                      int blockLength) noexcept;
};
