// The conditioned network: a 2-input model file (none of the shipped ones has two inputs), made
// with PyTorch by tools/torch_conditioned_reference.py. The instance ramps its second input over
// each call as PyTorch's reference does, and the processor feeds it the Drive value from the block
// whose fade swaps it in, until the swap that takes it out.

#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace
{
using json = nlohmann::json;

juce::MemoryBlock readTestData(const char* name)
{
    juce::MemoryBlock bytes;
    const auto file = juce::File(BRIMWELL_TEST_DATA_DIR).getChildFile(name);
    EXPECT_TRUE(file.loadFileAsData(bytes)) << file.getFullPathName();
    return bytes;
}

RT_LSTM conditionedNetwork()
{
    RT_LSTM network;
    network.load_json(readTestData("conditioned_model.json"));
    EXPECT_EQ(network.input_size, 2);
    return network;
}
} // namespace

TEST(ConditionedNetwork, AgreesWithPyTorchWhenEachCallRampsTheSecondInput)
{
    const auto bytes = readTestData("conditioned_reference.json");
    const auto reference = json::parse(static_cast<const char*>(bytes.getData()),
                                       static_cast<const char*>(bytes.getData()) + bytes.getSize());
    const auto input = reference.at("input").get<std::vector<float>>();
    const auto expected = reference.at("output").get<std::vector<float>>();
    ASSERT_EQ(input.size(), expected.size());

    auto network = conditionedNetwork();
    std::vector<float> output(input.size());
    size_t start = 0;
    for (const auto& call : reference.at("calls"))
    {
        const auto n = call.at("samples").get<size_t>();
        ASSERT_LE(start + n, input.size());
        network.process(input.data() + start, call.at("condition").get<float>(), output.data() + start,
                        (int)n);
        start += n;
    }
    ASSERT_EQ(start, input.size());
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_NEAR(output[i], expected[i], 1e-5f) << "sample " << i;
}

TEST(ConditionedNetwork, ProcessorFeedsTheDriveValueFromTheSwapOnAndMarksTheNetworkConditioned)
{
    // At 48 kHz with Ultra Mode on, Boost 1 chooses model file 6; it holds the 2-input network here.
    constexpr int conditioned = 6;
    const auto network = conditionedNetwork();
    auto p = makeProcessor();
    ProcessorTestProbe probe{*p};
    probe.setNetworks(conditioned, network);
    prepare(*p, 48000.0, 512);

    // Silence in: the networks' first input is 0, so what they do depends on the second alone.
    // The reference is fed what the processor must feed file 6: each block's Drive value over its length.
    auto reference = network;
    const int lengths[] = {512, 100, 333, 7, 512, 64};
    juce::MidiBuffer midi;
    for (int block = 0; block < 40; ++block)
    {
        if (block == 14)
            setParameter(*p, ParameterIds::boost,
                         1.0f); // the fade's counter-8 step swaps file 6 in on block 18
        if (block == 22)
            setParameter(*p, ParameterIds::drive, 0.7f);
        if (block == 26)
            setParameter(*p, ParameterIds::drive, 0.45f);
        if (block == 30)
            setParameter(*p, ParameterIds::boost, 0.0f); // and out again on block 34

        const int n = lengths[block % 6];
        const bool runsConditioned = probe.currentLeft() == conditioned;
        juce::AudioBuffer<float> silence(2, n);
        silence.clear();
        p->processBlock(silence, midi);
        if (runsConditioned)
        {
            std::vector<float> zeros((size_t)n, 0.0f);
            reference.process(zeros.data(), parameterValue(*p, ParameterIds::drive), zeros.data(), n);
        }
        EXPECT_EQ(probe.modelIsConditioned(), block >= 18 && block < 34) << "after block " << block;
    }

    // Same frames taken, same state: the next call gives the same output, sample for sample.
    auto nextOutput = [](RT_LSTM copy)
    {
        std::vector<float> y(4, 0.0f);
        copy.process(y.data(), 0.2f, y.data(), 4);
        return y;
    };
    const auto expected = nextOutput(reference);
    EXPECT_NE(expected, nextOutput(network)) << "the reference took no frames";
    EXPECT_EQ(nextOutput(probe.networkLeft(conditioned)), expected);
    EXPECT_EQ(nextOutput(probe.networkRight(conditioned)), expected);
}
