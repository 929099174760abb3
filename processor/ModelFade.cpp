#include "ModelFade.h"

ModelFade::Step ModelFade::forCounter(int c) noexcept
{
    Step step;
    if (c <= 0 || c > fullFade)
    {
        step.countsDown = c > fullFade;
        return step;
    }

    step.countsDown = true;
    step.swapsNetworks = c == swapStep;

    if (c > swapStep) // 12 to 9: fade out
    {
        step.action = Action::ramp;
        step.startGain = (float)(c - swapStep) * 0.25f;
        step.endGain = (float)(c - swapStep - 1) * 0.25f;
    }
    else if (c > 4) // 8 to 5: silent while the new networks settle
    {
        step.action = Action::clear;
    }
    else // 4 to 1: fade in
    {
        step.action = Action::ramp;
        step.startGain = (float)(4 - c) * 0.25f;
        step.endGain = (float)(5 - c) * 0.25f;
    }
    return step;
}

void ModelFade::apply(const Step& step, juce::AudioBuffer<float>& buffer, int numChannels, int start, int num,
                      int blockLength) noexcept
{
    if (step.action == Action::none || num <= 0 || blockLength <= 0)
        return;

    if (step.action == Action::clear)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            buffer.clear(ch, start, num);
        return;
    }

    float from = step.startGain, to = step.endGain;
    if (num != blockLength)
    {
        const float perSample = (step.endGain - step.startGain) / (float)blockLength;
        from = step.startGain + perSample * (float)start;
        to = step.startGain + perSample * (float)(start + num);
    }
    for (int ch = 0; ch < numChannels; ++ch)
        buffer.applyGainRamp(ch, start, num, from, to);
}
