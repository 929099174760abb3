#include "RT_LSTM.h"

#include "NetworkLoader.h"

#include <limits>

namespace
{
// The JSON library's conversion to int, except for a floating value that int cannot hold,
// whose truncation is undefined: it saturates. Such a count names no network either way.
int readInputCount(const nlohmann::json& count)
{
    if (count.is_number_float())
    {
        const double value = count.get<double>();
        constexpr double below = (double)std::numeric_limits<int>::min() - 1.0;
        constexpr double above = (double)std::numeric_limits<int>::max() + 1.0;
        if (!(value > below && value < above))
            return value > 0.0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    }
    return count.get<int>();
}
} // namespace

void RT_LSTM::load_json(const juce::MemoryBlock& modelFile)
{
    const auto* text = static_cast<const char*>(modelFile.getData());
    const auto document = nlohmann::json::parse(text, text + modelFile.getSize());

    input_size = readInputCount(document.at("model_data").at("input_size"));

    switch (input_size)
    {
    case 1:
        loadNetwork(network_1in, document);
        break;
    case 2:
        loadNetwork(network_2in, document);
        break;
    case 3:
        loadNetwork(network_3in, document);
        break;
    default:
        break;
    }
}

void RT_LSTM::process(const float* input, float* output, int numSamples)
{
    network_1in.process(input, output, numSamples);
}

void RT_LSTM::process(const float* input, float condition, float* output, int numSamples)
{
    if (startConditionedCall(condition, numSamples))
        for (int i = 0; i < numSamples; ++i)
        {
            setFrame(input[i], i, condition);
            network_2in.process(frame_2in, output + i, 1);
        }
    conditioning_value = condition;
}

bool RT_LSTM::sharesWeightsWith(const RT_LSTM& other) const noexcept
{
    return network_1in.hasSameWeightsAs(other.network_1in) && network_2in.hasSameWeightsAs(other.network_2in);
}

void RT_LSTM::processPair(RT_LSTM& left, RT_LSTM& right, float* leftSamples, float* rightSamples,
                          int numSamples)
{
    LstmNetwork<1>::processPair(left.network_1in, leftSamples, leftSamples, right.network_1in, rightSamples,
                                rightSamples, numSamples);
}

void RT_LSTM::processPair(RT_LSTM& left, RT_LSTM& right, float* leftSamples, float* rightSamples,
                          float condition, int numSamples)
{
    const bool hasSamples = left.startConditionedCall(condition, numSamples);
    right.startConditionedCall(condition, numSamples);
    if (hasSamples)
        for (int i = 0; i < numSamples; ++i)
        {
            left.setFrame(leftSamples[i], i, condition);
            right.setFrame(rightSamples[i], i, condition);
            LstmNetwork<2>::processPair(left.network_2in, left.frame_2in, leftSamples + i, right.network_2in,
                                        right.frame_2in, rightSamples + i, 1);
        }
    left.conditioning_value = condition;
    right.conditioning_value = condition;
}

bool RT_LSTM::startConditionedCall(float condition, int numSamples) noexcept
{
    // Written so that a NaN on either side counts as a change.
    conditioning_ramping = !(condition == conditioning_value);
    if (numSamples <= 0)
        return false;
    if (conditioning_ramping)
        conditioning_step = (condition - conditioning_value) / (float)numSamples;
    return true;
}

void RT_LSTM::setFrame(float sample, int i, float condition) noexcept
{
    frame_2in[0] = sample;
    frame_2in[1] = conditioning_ramping ? conditioning_value + (float)(i + 1) * conditioning_step : condition;
}

void RT_LSTM::reset()
{
    if (input_size == 1)
        network_1in.reset();
    else
        network_2in.reset();
}
