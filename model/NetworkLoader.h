#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace network_loader_detail
{
using json = nlohmann::json;
using Rows = std::vector<std::vector<float>>;

// Files with short arrays would otherwise read past the weights they hold.
[[noreturn]] inline void throwTooShort(const std::string& key, std::size_t have, std::size_t need)
{
    throw json::out_of_range::create(401,
                                     "'" + key + "' holds " + std::to_string(have) + " values where " +
                                         std::to_string(need) + " are needed",
                                     nullptr);
}

inline Rows readRows(const json& weights, const std::string& key, std::size_t numRows, std::size_t numColumns)
{
    auto rows = weights.at(key).get<Rows>();
    if (rows.size() < numRows)
        throwTooShort(key, rows.size(), numRows);
    for (const auto& row : rows)
        if (row.size() < numColumns)
            throwTooShort(key, row.size(), numColumns);
    return rows;
}

inline std::vector<float> readVector(const json& weights, const std::string& key, std::size_t size)
{
    auto values = weights.at(key).get<std::vector<float>>();
    if (values.size() < size)
        throwTooShort(key, values.size(), size);
    return values;
}
} // namespace network_loader_detail

/** Fills a network from a parsed model file's "state_dict" ("rec." LSTM and "lin." dense weights in
    PyTorch's names and layout), each part as soon as it is read. Throws nlohmann::json's
    exceptions for a missing key, a value of the wrong kind or an array too short. */
template <class Network> void loadNetwork(Network& network, const nlohmann::json& document)
{
    using namespace network_loader_detail;
    constexpr std::size_t gateRows = Network::numGateRows;
    constexpr std::size_t units = Network::numUnits;

    const auto& weights = document.at("state_dict");
    network.setInputWeights(readRows(weights, "rec.weight_ih_l0", gateRows, Network::numInputs));
    network.setRecurrentWeights(readRows(weights, "rec.weight_hh_l0", gateRows, units));
    const auto inputBias = readVector(weights, "rec.bias_ih_l0", gateRows);
    network.setBias(inputBias, readVector(weights, "rec.bias_hh_l0", gateRows));
    network.setDenseWeights(readRows(weights, "lin.weight", 1, units)[0]);
    network.setDenseBias(readVector(weights, "lin.bias", 1)[0]);
}
