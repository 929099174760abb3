#pragma once

// Comparing two renderings of the chain. The float32 20 Hz high-pass has its poles so close to 1
// that one rounding upstream moves its output by about 2e-4 of the signal at 48 kHz (2.5e-3 at
// 192 kHz) below 200 Hz; so two renderings are compared above 500 Hz, after a zero-phase
// high-pass, and as a whole only to a looser bound.

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>
#include <vector>

/** A second-order Butterworth high-pass run forward and then backward: no phase shift. */
inline std::vector<double> zeroPhaseHighPass(std::vector<double> x, double rate, double cutoff)
{
    for (int pass = 0; pass < 2; ++pass)
    {
        juce::dsp::IIR::Filter<double> filter(
            juce::dsp::IIR::Coefficients<double>::makeHighPass(rate, cutoff));
        for (auto& v : x)
            v = filter.processSample(v);
        std::reverse(x.begin(), x.end());
    }
    return x;
}

/** The largest difference between two renderings, relative to the expected one's peak. */
struct ChainDifference
{
    double above500Hz = 0.0, whole = 0.0;

    ChainDifference(const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected,
                    double rate)
    {
        const double peak = expected.getMagnitude(0, expected.getNumSamples());
        for (int ch = 0; ch < expected.getNumChannels(); ++ch)
        {
            std::vector<double> difference((size_t)expected.getNumSamples());
            for (int i = 0; i < expected.getNumSamples(); ++i)
                difference[(size_t)i] = (double)actual.getSample(ch, i) - (double)expected.getSample(ch, i);
            for (const double v : difference)
                whole = std::max(whole, std::abs(v) / peak);
            for (const double v : zeroPhaseHighPass(difference, rate, 500.0))
                above500Hz = std::max(above500Hz, std::abs(v) / peak);
        }
    }
};
