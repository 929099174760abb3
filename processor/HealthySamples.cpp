#include "HealthySamples.h"

#include <cstdint>
#include <cstring>

namespace
{
std::uint32_t magnitudeBits(float sample) noexcept
{
    std::uint32_t bits;
    std::memcpy(&bits, &sample, sizeof bits);
    return bits & 0x7fffffffu;
}
} // namespace

// Without the sign bit, the bit patterns of floats order as their magnitudes do, and those of
// infinity and NaN lie above every finite one: one integer comparison tests all three.
bool HealthySamples::isHealthy(float sample) noexcept
{
    constexpr std::uint32_t largestBits = 0x447a0000u; // 1000.0f; tests check that the two agree
    return magnitudeBits(sample) <= largestBits;
}

bool HealthySamples::replaceUnhealthy(const juce::dsp::AudioBlock<float>& block) noexcept
{
    bool found = false;
    if (block.getNumSamples() == 0) // the block has no channel pointers to give then
        return found;

    for (size_t ch = 0; ch < block.getNumChannels(); ++ch)
    {
        auto* samples = block.getChannelPointer(ch);
        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            if (!isHealthy(samples[i]))
            {
                samples[i] = 0.0f;
                found = true;
            }
        }
    }
    return found;
}
