// Preparation and the two rate tables, driven through the
// processor's plug-in interface: which networks are current or chosen, the oversampling
// order, and the latency reported to the host.

#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

namespace
{
int twoTimesOversamplerLatency()
{
    juce::dsp::Oversampling<float> reference(2, 1, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                             true, false);
    reference.initProcessing(512);
    return (int)reference.getLatencyInSamples();
}

struct PreparationCase
{
    double rate;
    bool ultraMode;
    float boost;
    int order;
    int network; // -1: none current
};

class PreparationRateTable : public ::testing::TestWithParam<PreparationCase>
{
};
} // namespace

TEST(ProcessorPreparation, TwoTimesOversamplerHasALatency)
{
    EXPECT_GT(twoTimesOversamplerLatency(), 0);
}

TEST_P(PreparationRateTable, ChoosesOrderNetworksAndLatency)
{
    const auto c = GetParam();
    auto p =
        makeProcessor({{ParameterIds::ultraMode, c.ultraMode ? 1.0f : 0.0f}, {ParameterIds::boost, c.boost}});
    prepare(*p, c.rate, 512);
    ProcessorTestProbe probe{*p};

    EXPECT_TRUE(probe.isPrepared());
    EXPECT_EQ(probe.oversamplingOrder(), c.order);
    EXPECT_EQ(probe.currentLeft(), c.network);
    EXPECT_EQ(probe.currentRight(), c.network);
    EXPECT_EQ(probe.nextLeft(), c.network);
    EXPECT_EQ(probe.modelReady(), c.network >= 0);
    EXPECT_FALSE(probe.modelIsConditioned());
    EXPECT_EQ(p->modelFadeCounter.load(), 3);
    EXPECT_EQ(p->getLatencySamples(), c.order == 1 ? twoTimesOversamplerLatency() : 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryListedRateAndSome, PreparationRateTable,
    ::testing::Values(
        PreparationCase{44100.0, true, 0.0f, 1, 0}, PreparationCase{44100.0, false, 2.0f, 1, 17},
        PreparationCase{48000.0, true, 3.0f, 1, 8}, PreparationCase{48000.0, false, 0.0f, 1, 15},
        PreparationCase{88200.0, true, 1.0f, 0, 11}, PreparationCase{88200.0, false, 2.0f, 0, 17},
        PreparationCase{96000.0, true, 4.0f, 0, 19}, PreparationCase{96000.0, false, 4.0f, 0, 19},
        PreparationCase{176400.0, true, 1.0f, 0, 21}, PreparationCase{176400.0, false, 1.0f, 0, 21},
        PreparationCase{192000.0, true, 0.0f, 0, 20}, PreparationCase{192000.0, false, 3.0f, 0, 23},
        // Not listed: no network, the order stays 1 (a two-times oversampler's latency).
        PreparationCase{32000.0, true, 0.0f, 1, -1}, PreparationCase{32000.0, false, 2.0f, 1, -1},
        PreparationCase{48000.5, true, 0.0f, 1, -1}));

TEST(ProcessorPreparation, UnlistedRateKeepsTheEarlierChoice)
{
    auto p = makeProcessor({{ParameterIds::boost, 3.0f}});
    prepare(*p, 48000.0, 256);
    ProcessorTestProbe probe{*p};
    ASSERT_EQ(probe.currentLeft(), 8);

    prepare(*p, 32000.0, 256);
    EXPECT_EQ(probe.currentLeft(), 8);
    EXPECT_EQ(probe.currentRight(), 8);
    EXPECT_EQ(probe.oversamplingOrder(), 1);
    EXPECT_TRUE(probe.modelReady());
    EXPECT_EQ(p->modelFadeCounter.load(), 3);
}

TEST(ProcessorPreparation, ReleaseThenBlocksPassUntouchedUntilPreparedAgain)
{
    auto p = makeProcessor();
    juce::AudioBuffer<float> block(2, 128);
    fillSignal(block, 0, 44100.0);
    const auto input = block;
    juce::MidiBuffer midi;

    p->processBlock(block, midi); // never prepared
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(block.getSample(ch, i), input.getSample(ch, i));

    prepare(*p, 44100.0, 128);
    p->releaseResources();
    ProcessorTestProbe probe{*p};
    EXPECT_FALSE(probe.isPrepared());
    p->processBlock(block, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(block.getSample(ch, i), input.getSample(ch, i));
    EXPECT_EQ(p->modelFadeCounter.load(), 3); // no fade step while released
}

//==============================================================================
namespace
{
struct BlockChoiceCase
{
    double rate;
    bool ultraMode;
    float boost;
    int currentAfterPreparation;
    int chosen; // next network after the first block; -1: no choice made
    int counterAfterFirstBlock;
};

class BlockRateTable : public ::testing::TestWithParam<BlockChoiceCase>
{
};
} // namespace

TEST_P(BlockRateTable, FirstBlockChoosesFromTheBlockTable)
{
    const auto c = GetParam();
    auto p =
        makeProcessor({{ParameterIds::ultraMode, c.ultraMode ? 1.0f : 0.0f}, {ParameterIds::boost, c.boost}});
    prepare(*p, c.rate, 64);
    ProcessorTestProbe probe{*p};
    ASSERT_EQ(probe.currentLeft(), c.currentAfterPreparation);

    long long position = 0;
    processSignalBlock(*p, 2, 64, position, c.rate);
    EXPECT_EQ(probe.nextLeft(), c.chosen >= 0 ? c.chosen : c.currentAfterPreparation);
    EXPECT_EQ(probe.nextRight(), c.chosen >= 0 ? c.chosen : c.currentAfterPreparation);
    EXPECT_EQ(p->modelFadeCounter.load(), c.counterAfterFirstBlock);
    EXPECT_EQ(probe.lastBoost(), (int)c.boost);

    // The swap, on the block that reads counter 8, makes the chosen pair current.
    for (int block = 2; block <= 5; ++block)
        processSignalBlock(*p, 2, 64, position, c.rate);
    const int expected = c.chosen >= 0 ? c.chosen : c.currentAfterPreparation;
    EXPECT_EQ(probe.currentLeft(), expected);
    EXPECT_EQ(probe.currentRight(), expected);
    EXPECT_EQ(probe.modelReady(), expected >= 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryListedRateAndSome, BlockRateTable,
    ::testing::Values(
        BlockChoiceCase{44100.0, true, 0.0f, 0, 0, 11}, BlockChoiceCase{44100.0, false, 1.0f, 16, 16, 11},
        BlockChoiceCase{48000.0, true, 2.0f, 7, 7, 11}, BlockChoiceCase{48000.0, false, 2.0f, 17, 17, 11},
        BlockChoiceCase{88200.0, true, 3.0f, 13, 13, 11}, BlockChoiceCase{96000.0, true, 1.0f, 16, 16, 11},
        BlockChoiceCase{192000.0, true, 4.0f, 24, 24, 11}, BlockChoiceCase{192000.0, false, 1.0f, 21, 21, 11},
        // 176.4 kHz is not in the block table: Ultra Mode on makes no choice (the
        // preparation fade-in just counts down), Ultra Mode off chooses 15 + Boost.
        BlockChoiceCase{176400.0, true, 1.0f, 21, -1, 2}, BlockChoiceCase{176400.0, false, 1.0f, 21, 16, 11},
        // Unlisted: Ultra Mode on never chooses; off chooses 15 + Boost, current at the swap.
        BlockChoiceCase{32000.0, true, 0.0f, -1, -1, 2}, BlockChoiceCase{32000.0, false, 2.0f, -1, 17, 11}));

TEST(ProcessorPreparation, At176kUltraModeOnBoostMovesNoNetwork)
{
    auto p = makeProcessor({{ParameterIds::boost, 1.0f}});
    prepare(*p, 176400.0, 64);
    ProcessorTestProbe probe{*p};
    long long position = 0;
    for (int block = 0; block < 4; ++block)
        processSignalBlock(*p, 2, 64, position, 176400.0);
    ASSERT_EQ(p->modelFadeCounter.load(), 0);

    setParameter(*p, ParameterIds::boost, 3.0f);
    processSignalBlock(*p, 2, 64, position, 176400.0);
    EXPECT_EQ(p->modelFadeCounter.load(), 0);
    EXPECT_EQ(probe.currentLeft(), 21);
    EXPECT_EQ(probe.lastBoost(), 3);

    prepare(*p, 176400.0, 64);
    EXPECT_EQ(probe.currentLeft(), 23);
}
