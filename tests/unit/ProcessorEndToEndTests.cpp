// The whole chain against an independent model of it: tools/chain_model.py computed a few cases
// (rates, channel counts, block sizes, parameter settings and changes) from the chain's
// description and stored their expected output in tests/data/chain_model.bin. The processor runs
// the same input here and must give the same audio: above 500 Hz within 1e-4 of the peak (a
// makeup gain 0.005 dB off exceeds it), and as a whole within 1e-2. The model's network differs
// from the processor's by a rounding in the activations, which is all the 20 Hz high-pass needs
// to move the audio below a few hundred hertz (see ChainComparison.h).

#include "ChainComparison.h"
#include "ProcessorTestProbe.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
using json = nlohmann::json;

struct ChainCase
{
    std::string name;
    double rate = 0.0;
    int channels = 0, blockSize = 0, length = 0;
    std::map<juce::String, float> parameters;
    std::map<int, std::map<juce::String, float>> changesBeforeBlock;
    json inputCheck;
    juce::AudioBuffer<float> expected;
};

std::map<juce::String, float> parametersOf(const json& object)
{
    std::map<juce::String, float> parameters;
    for (const auto& [id, value] : object.items())
        parameters[juce::String(id)] = value.get<float>();
    return parameters;
}

std::vector<ChainCase> readFixture()
{
    juce::MemoryBlock bytes;
    const auto file = juce::File(BRIMWELL_TEST_DATA_DIR).getChildFile("chain_model.bin");
    if (!file.loadFileAsData(bytes) || bytes.getSize() < 12 ||
        std::memcmp(bytes.getData(), "BWCHAIN1", 8) != 0)
    {
        ADD_FAILURE() << "unreadable fixture " << file.getFullPathName();
        return {};
    }
    const auto* data = static_cast<const char*>(bytes.getData());
    const auto headerSize = (size_t)juce::ByteOrder::littleEndianInt(data + 8);
    const auto header = json::parse(data + 12, data + 12 + headerSize);

    std::vector<ChainCase> cases;
    size_t offset = 12 + headerSize;
    for (const auto& c : header.at("cases"))
    {
        ChainCase chainCase;
        chainCase.name = c.at("name").get<std::string>();
        chainCase.rate = c.at("rate").get<double>();
        chainCase.channels = c.at("channels").get<int>();
        chainCase.blockSize = c.at("blockSize").get<int>();
        chainCase.length = c.at("length").get<int>();
        chainCase.parameters = parametersOf(c.at("parameters"));
        for (const auto& change : c.at("changes"))
            chainCase.changesBeforeBlock[change.at("block").get<int>()] =
                parametersOf(change.at("parameters"));
        chainCase.inputCheck = c.at("inputCheck");

        const auto numValues = (size_t)chainCase.channels * (size_t)chainCase.length;
        if (offset + numValues * sizeof(float) > bytes.getSize())
        {
            ADD_FAILURE() << "fixture too short for " << chainCase.name;
            return {};
        }
        chainCase.expected.setSize(chainCase.channels, chainCase.length);
        for (int ch = 0; ch < chainCase.channels; ++ch)
            for (int i = 0; i < chainCase.length; ++i, offset += sizeof(float))
            {
                const auto bits = juce::ByteOrder::littleEndianInt(data + offset);
                float value;
                std::memcpy(&value, &bits, sizeof value);
                chainCase.expected.setSample(ch, i, value);
            }
        cases.push_back(std::move(chainCase));
    }
    EXPECT_EQ(offset, bytes.getSize());
    return cases;
}

//==============================================================================
// The model's test signal, bit for bit: 32-bit integer phases and hashed noise, and float steps
// that are exact or a single rounding (see test_signal in tools/chain_model.py).

float frac24(uint32_t phase)
{
    return (float)(phase >> 8) * 0x1p-24f;
}

uint32_t hashed(uint32_t n, uint32_t channel)
{
    uint32_t h = n * 0x9E3779B1u + channel * 0x85EBCA6Bu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

juce::AudioBuffer<float> modelTestSignal(int channels, int length, double rate)
{
    juce::AudioBuffer<float> signal(channels, length);
    for (uint32_t ch = 0; ch < (uint32_t)channels; ++ch)
        for (uint32_t n = 0; n < (uint32_t)length; ++n)
        {
            auto phase = [&](double frequency, uint32_t offset)
            {
                const auto increment = (uint32_t)std::floor(frequency * 4294967296.0 / rate + 0.5);
                return n * increment + offset * ch;
            };
            const float saw = frac24(phase(147.0, 0x40000000u)) * 2.0f - 1.0f;
            const float high = std::abs(frac24(phase(1250.0, 0x15555555u)) - 0.5f) * 4.0f - 1.0f;
            const float low = std::abs(frac24(phase(55.0, 0x2AAAAAAAu)) - 0.5f) * 4.0f - 1.0f;
            const float envelope = 0.25f + 0.75f * (std::abs(frac24(phase(1.7, 0x60000000u)) - 0.5f) * 2.0f);
            const float noise = frac24(hashed(n, ch)) - 0.5f;
            const float partials = (0.3f * saw + 0.2f * high) + 0.15f * low;
            signal.setSample((int)ch, (int)n, envelope * partials + 0.03f * noise);
        }
    return signal;
}

/** Runs a case through a processor prepared as a host would, block by block. */
juce::AudioBuffer<float> runCase(const ChainCase& c, const juce::AudioBuffer<float>& input)
{
    auto p = makeProcessor(c.parameters);
    prepare(*p, c.rate, c.blockSize, c.channels);
    juce::AudioBuffer<float> output(input);
    juce::MidiBuffer midi;
    for (int start = 0, block = 0; start < c.length; start += c.blockSize, ++block)
    {
        if (const auto change = c.changesBeforeBlock.find(block); change != c.changesBeforeBlock.end())
            for (const auto& [id, value] : change->second)
                setParameter(*p, id, value);
        const int n = std::min(c.blockSize, c.length - start);
        juce::AudioBuffer<float> view(output.getArrayOfWritePointers(), c.channels, start, n);
        p->processBlock(view, midi);
    }
    return output;
}
} // namespace

TEST(ProcessorEndToEnd, AgreesWithTheIndependentModelOfTheChain)
{
    const auto cases = readFixture();
    ASSERT_FALSE(cases.empty());
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto input = modelTestSignal(c.channels, c.length, c.rate);
        const auto& indices = c.inputCheck.at("indices");
        for (int ch = 0; ch < c.channels; ++ch)
            for (size_t k = 0; k < indices.size(); ++k)
                ASSERT_EQ(input.getSample(ch, indices[k].get<int>()),
                          c.inputCheck.at("values")[(size_t)ch][k].get<float>())
                    << "the test signal differs from the model's, channel " << ch;

        const ChainDifference d(runCase(c, input), c.expected, c.rate);
        std::printf("[ chain    ] %s: above 500 Hz %.2e, whole %.2e of the peak\n", c.name.c_str(),
                    d.above500Hz, d.whole);
        EXPECT_LT(d.above500Hz, 1e-4);
        EXPECT_LT(d.whole, 1e-2);
    }
}
