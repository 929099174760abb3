#include "RT_LSTM.h"

#include "NetworkLoader.h"

void RT_LSTM::load_json(const juce::MemoryBlock& modelFile)
{
    const auto* text = static_cast<const char*>(modelFile.getData());
    const auto document = nlohmann::json::parse(text, text + modelFile.getSize());

    input_size = document.at("model_data").at("input_size").get<int>();

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
    // Written so that a NaN on either side counts as a change.
    conditioning_ramping = !(condition == conditioning_value);

    if (numSamples <= 0)
    {
        conditioning_value = condition;
        return;
    }

    if (conditioning_ramping)
        conditioning_step = (condition - conditioning_value) / (float)numSamples;

    for (int i = 0; i < numSamples; ++i)
    {
        frame_2in[0] = input[i];
        frame_2in[1] =
            conditioning_ramping ? conditioning_value + (float)(i + 1) * conditioning_step : condition;
        network_2in.process(frame_2in, output + i, 1);
    }

    conditioning_value = condition;
}

void RT_LSTM::reset()
{
    if (input_size == 1)
        network_1in.reset();
    else
        network_2in.reset();
}
