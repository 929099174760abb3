#pragma once

// What "the chain still works" means in numbers. Samples that are not finite, or beyond 1000,
// leave the chain as 0, so "the output is finite" can no longer fail: a chain gone unstable
// shows as output up to 1000 or as silence, and only a level tells either from sound.

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <limits>

namespace OutputBounds
{
/** Below this, a block of a test signal of about -12 dBFS has been silenced. */
constexpr float audible = 1.0e-3f;

/** Above this, such a block has been blown up: the chain makes about 0.3 of it at the default
    settings and at Boost 4 with Drive 1, at every rate and on both paths. */
constexpr float loudestAtTestSettings = 4.0f;

/** The most the chain makes of a signal's peak at any settings, parameters moving included.
    Every gain at its largest at once (+12 dB input trim, Drive 1, the +17.6 dB makeup of
    Drive 0.1 with AutoGain off, +12 dB output trim) is a factor of 120; no setting reaches it,
    since the makeup rises only as the drive falls, and the loudest measured is 44 (both trims at
    +12 dB while Drive swings between 0.1 and 1 against its makeup). A bound from the networks'
    weights alone would lie above the 1000 where samples are replaced, and could not fail. */
constexpr float largestGainAtAnySettings = 128.0f;

/** The largest magnitude in the buffer; infinity when a sample is not finite. */
inline float peak(const juce::AudioBuffer<float>& buffer)
{
    float largest = 0.0f;
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const float sample = buffer.getSample(ch, i);
            if (!std::isfinite(sample))
                return std::numeric_limits<float>::infinity();
            largest = std::max(largest, std::abs(sample));
        }
    return largest;
}
} // namespace OutputBounds
