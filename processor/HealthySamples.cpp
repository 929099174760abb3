#include "FiniteSamples.h"

#include <cstdint>
#include <cstring>

bool FiniteSamples::isFinite(float sample) noexcept
{
    std::uint32_t bits;
    std::memcpy(&bits, &sample, sizeof bits);
    return (bits & 0x7f800000u) != 0x7f800000u;
}

bool FiniteSamples::replaceNonFinite(const juce::dsp::AudioBlock<float>& block) noexcept
{
    bool found = false;
    for (size_t ch = 0; ch < block.getNumChannels(); ++ch)
    {
        auto* samples = block.getChannelPointer(ch);
        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            if (!isFinite(samples[i]))
            {
                samples[i] = 0.0f;
                found = true;
            }
        }
    }
    return found;
}
