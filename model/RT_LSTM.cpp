#include "RT_LSTM.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace
{
using json = nlohmann::json;
using Rows = std::vector<std::vector<float>>;

// Files with short arrays would otherwise read past the weights they hold.
[[noreturn]] void throwTooShort(const std::string& key, size_t have, size_t need)
{
    throw json::out_of_range::create(
        401, "'" + key + "' holds " + std::to_string(have) + " values where " + std::to_string(need) + " are needed",
        nullptr);
}

Rows readRows(const json& weights, const std::string& key, size_t numRows, size_t numColumns)
{
    auto rows = weights.at(key).get<Rows>();
    if (rows.size() < numRows)
        throwTooShort(key, rows.size(), numRows);
    for (const auto& row : rows)
        if (row.size() < numColumns)
            throwTooShort(key, row.size(), numColumns);
    return rows;
}

std::vector<float> readVector(const json& weights, const std::string& key, size_t size)
{
    auto values = weights.at(key).get<std::vector<float>>();
    if (values.size() < size)
        throwTooShort(key, values.size(), size);
    return values;
}

template <int InputSize>
void loadNetwork(LstmNetwork<InputSize>& network, const json& document)
{
    using Layer = decltype(network.lstm);
    constexpr int gateRows = Layer::numGateRows;
    constexpr int units = Layer::numUnits;

    const auto& weights = document.at("state_dict");

    const auto inputRows = readRows(weights, "rec.weight_ih_l0", gateRows, InputSize);
    typename Layer::InputWeights inputWeights;
    for (int r = 0; r < gateRows; ++r)
        for (int j = 0; j < InputSize; ++j)
            inputWeights(r, j) = inputRows[(size_t) r][(size_t) j];
    network.lstm.setInputWeights(inputWeights);

    const auto recurrentRows = readRows(weights, "rec.weight_hh_l0", gateRows, units);
    typename Layer::RecurrentWeights recurrentWeights;
    for (int r = 0; r < gateRows; ++r)
        for (int j = 0; j < units; ++j)
            recurrentWeights(r, j) = recurrentRows[(size_t) r][(size_t) j];
    network.lstm.setRecurrentWeights(recurrentWeights);

    const auto inputBias = readVector(weights, "rec.bias_ih_l0", gateRows);
    const auto recurrentBias = readVector(weights, "rec.bias_hh_l0", gateRows);
    typename Layer::GateVector bias;
    for (int r = 0; r < gateRows; ++r)
        bias(r) = inputBias[(size_t) r] + recurrentBias[(size_t) r];
    network.lstm.setBias(bias);

    const auto denseRows = readRows(weights, "lin.weight", 1, units);
    typename decltype(network.dense)::InputVector denseWeights;
    for (int j = 0; j < units; ++j)
        denseWeights(j) = denseRows[0][(size_t) j];
    network.dense.setWeights(denseWeights);
    network.dense.setBias(readVector(weights, "lin.bias", 1)[0]);
}
} // namespace

void RT_LSTM::load_json(const juce::MemoryBlock& modelFile)
{
    const std::string text(static_cast<const char*>(modelFile.getData()), modelFile.getSize());
    const auto document = json::parse(text);

    input_size = document.at("model_data").at("input_size").get<int>();

    switch (input_size)
    {
        case 1: loadNetwork(network_1in, document); break;
        case 2: loadNetwork(network_2in, document); break;
        case 3: loadNetwork(network_3in, document); break;
        default: break;
    }
}

void RT_LSTM::process(const float* input, float* output, int numSamples)
{
    for (int i = 0; i < numSamples; ++i)
    {
        const float x = input[i];
        output[i] = network_1in.forward(&x) + x;
    }
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
        conditioning_step = (condition - conditioning_value) / (float) numSamples;

    for (int i = 0; i < numSamples; ++i)
    {
        const float x = input[i];
        frame_2in[0] = x;
        frame_2in[1] = conditioning_ramping ? conditioning_value + (float) (i + 1) * conditioning_step : condition;
        output[i] = network_2in.forward(frame_2in) + x;
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
