// Model files, as the loader reads them: a file either loads or throws the JSON library's
// exception, and a network that loaded runs and resets.

#include "model/RT_LSTM.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const juce::MemoryBlock file(data, size);
    auto network = std::make_unique<RT_LSTM>();
    try
    {
        network->load_json(file);
    }
    catch (const nlohmann::json::exception&)
    {
        return 0;
    }

    std::array<float, 64> samples;
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * std::sin(0.1f * (float)i);
    network->process(samples.data(), samples.data(), (int)samples.size());
    network->process(samples.data(), 0.5f, samples.data(), (int)samples.size());
    network->reset();
    return 0;
}
