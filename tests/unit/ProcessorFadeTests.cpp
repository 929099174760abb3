// The network-change fade, block by block through processBlock: the gain on
// each block, the cleared blocks, the swap at counter 8, and the restart when Boost moves.
//
// The gain is measured against a twin processor that gets the same input and parameters but
// never fades (its choices are marked done and its counter is held at 0, except for the swap
// while the faded one swaps, it swaps too): the only difference is then the fade.

#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

#include "processor/ModelFade.h"

namespace
{
constexpr double rate = 44100.0;
constexpr int blockLength = 256;

/** Gain of fade step c on sample i of a block of n samples (the fade table). */
float expectedGain(int c, int i, int n)
{
    if (c >= 5 && c <= 8)
        return 0.0f;
    float a = 1.0f, b = 1.0f;
    if (c >= 9 && c <= 12)
    {
        a = 0.25f * (float)(c - 8);
        b = a - 0.25f;
    }
    else if (c >= 1 && c <= 4)
    {
        a = 0.25f * (float)(4 - c);
        b = a + 0.25f;
    }
    return a + (float)i * (b - a) / (float)n;
}

float peak(const juce::AudioBuffer<float>& buffer)
{
    return buffer.getMagnitude(0, buffer.getNumSamples());
}

/** Checks that the faded output is the twin's output times the step's gain, sample by sample
    (from sample `from` on: after a jump of the gain the post low-pass needs a few samples). */
void expectFadeGain(const juce::AudioBuffer<float>& faded, const juce::AudioBuffer<float>& twin, int c,
                    int block, int from = 0)
{
    const float scale = peak(twin);
    ASSERT_GT(scale, 0.0f) << "block " << block; // small at first: the wet gain ramps up from 0
    float worst = 0.0f;
    for (int ch = 0; ch < faded.getNumChannels(); ++ch)
        for (int i = from; i < faded.getNumSamples(); ++i)
            worst =
                std::max(worst, std::abs(faded.getSample(ch, i) -
                                         expectedGain(c, i, faded.getNumSamples()) * twin.getSample(ch, i)));
    // The post low-pass (20 kHz) smears the ramp by a few samples; a quarter step is 0.25.
    EXPECT_LT(worst, 0.01f * scale) << "block " << block << " counter " << c;
    if (c >= 5 && c <= 8)
    {
        EXPECT_LT(peak(faded), 2e-3f * scale) << "cleared block " << block;
    }
}

struct FadePair
{
    std::unique_ptr<ZiruzozodAudioProcessor> faded, twin;
    long long position = 0;

    explicit FadePair(const std::map<juce::String, float>& parameters)
        : faded(makeProcessor(parameters)), twin(makeProcessor(parameters))
    {
        prepare(*faded, rate, blockLength);
        prepare(*twin, rate, blockLength);
        ProcessorTestProbe{*twin}.skipBlockChoices(
            parameters.count(ParameterIds::boost) ? parameters.at(ParameterIds::boost) : 0.0f);
    }

    void set(const juce::String& id, float value)
    {
        setParameter(*faded, id, value);
        setParameter(*twin, id, value);
        if (id == ParameterIds::boost)
            ProcessorTestProbe{*twin}.skipBlockChoices(value);
    }

    /** One block through both; the twin takes no fade step, but swaps when told. */
    std::pair<juce::AudioBuffer<float>, juce::AudioBuffer<float>> block(bool twinSwaps)
    {
        twin->modelFadeCounter.store(0);
        long long twinPosition = position;
        auto a = processSignalBlock(*faded, 2, blockLength, position, rate);
        auto b = processSignalBlock(*twin, 2, blockLength, twinPosition, rate);
        if (twinSwaps)
            ProcessorTestProbe{*twin}.swap();
        return {a, b};
    }
};
} // namespace

TEST(ProcessorFade, FadeTableGivesEachStepItsAction)
{
    for (int c = -2; c <= 14; ++c)
    {
        const auto step = ModelFade::forCounter(c);
        EXPECT_EQ(step.swapsNetworks, c == 8) << c;
        EXPECT_EQ(step.countsDown, c >= 1) << c;
        if (c >= 5 && c <= 8)
            EXPECT_EQ(step.action, ModelFade::Action::clear) << c;
        else if (c >= 1 && c <= 12)
        {
            EXPECT_EQ(step.action, ModelFade::Action::ramp) << c;
            EXPECT_FLOAT_EQ(step.startGain, expectedGain(c, 0, 4)) << c;
            EXPECT_FLOAT_EQ(step.endGain, expectedGain(c, 4, 4)) << c;
        }
        else
            EXPECT_EQ(step.action, ModelFade::Action::none) << c;
    }
}

TEST(ProcessorFade, RampInPiecesEqualsTheRampOverTheBlock)
{
    juce::AudioBuffer<float> whole(1, 300), pieces(1, 300);
    for (int i = 0; i < 300; ++i)
        whole.setSample(0, i, 1.0f);
    pieces.makeCopyOf(whole);
    const auto step = ModelFade::forCounter(11);
    ModelFade::apply(step, whole, 1, 0, 300, 300);
    ModelFade::apply(step, pieces, 1, 0, 128, 300);
    ModelFade::apply(step, pieces, 1, 128, 128, 300);
    ModelFade::apply(step, pieces, 1, 256, 44, 300);
    EXPECT_FLOAT_EQ(whole.getSample(0, 0), 0.75f);
    EXPECT_NEAR(whole.getSample(0, 299), 0.75f - 299.0f * 0.25f / 300.0f, 1e-6f);
    for (int i = 0; i < 300; ++i)
        EXPECT_NEAR(pieces.getSample(0, i), whole.getSample(0, i), 1e-5f) << i;
}

TEST(ProcessorFade, FirstBlockStartsTheFullTwelveBlockFade)
{
    // 44.1 kHz, Ultra Mode on, Boost 0: preparation makes network 0 current with counter 3;
    // the first block chooses network 0 again and sets 12, so it ramps 1 to 0.75.
    FadePair pair({{ParameterIds::ultraMode, 1.0f}, {ParameterIds::boost, 0.0f}});
    ProcessorTestProbe probe{*pair.faded};
    EXPECT_EQ(pair.faded->modelFadeCounter.load(), 3);

    for (int block = 1; block <= 16; ++block)
    {
        const int c = block <= 12 ? 13 - block : 0;
        const auto [faded, twin] = pair.block(c == 8);
        expectFadeGain(faded, twin, c, block);
        EXPECT_EQ(pair.faded->modelFadeCounter.load(), juce::jmax(0, c - 1)) << "block " << block;
        EXPECT_EQ(probe.currentLeft(), 0);
    }
}

TEST(ProcessorFade, BoostChangeSwapsTheNewPairInAtCounterEight)
{
    auto p = makeProcessor({{ParameterIds::ultraMode, 1.0f}});
    prepare(*p, 48000.0, 128);
    ProcessorTestProbe probe{*p};
    long long position = 0;
    for (int block = 0; block < 13; ++block)
        processSignalBlock(*p, 2, 128, position, 48000.0);
    ASSERT_EQ(p->modelFadeCounter.load(), 0);
    ASSERT_EQ(probe.currentLeft(), 5);

    setParameter(*p, ParameterIds::boost, 2.0f);
    for (int block = 1; block <= 12; ++block)
    {
        processSignalBlock(*p, 2, 128, position, 48000.0);
        EXPECT_EQ(probe.nextLeft(), 7);
        EXPECT_EQ(probe.currentLeft(), block < 5 ? 5 : 7) << "block " << block;
        EXPECT_EQ(probe.currentRight(), block < 5 ? 5 : 7) << "block " << block;
        EXPECT_EQ(p->modelFadeCounter.load(), 12 - block);
    }
}

TEST(ProcessorFade, BoostMovedDuringAFadeRestartsIt)
{
    FadePair pair({{ParameterIds::ultraMode, 1.0f}, {ParameterIds::boost, 0.0f}});
    ProcessorTestProbe probe{*pair.faded};

    // Blocks 1 and 2 take steps 12 and 11; Boost moves before block 3, which takes step 12
    // again (a jump back from the level reached) and the full fade follows.
    for (int block = 1; block <= 2; ++block)
    {
        const auto [faded, twin] = pair.block(false);
        expectFadeGain(faded, twin, 13 - block, block);
    }
    pair.set(ParameterIds::boost, 3.0f);
    for (int block = 3; block <= 6; ++block)
    {
        const int c = 15 - block; // 12, 11, 10, 9
        const auto [faded, twin] = pair.block(false);
        expectFadeGain(faded, twin, c, block, block == 3 ? 32 : 0); // block 3 jumps back to 1
        EXPECT_EQ(probe.currentLeft(), 0);
        EXPECT_EQ(probe.nextLeft(), 3);
    }

    // From here the faded processor runs the new pair; the twin, the old one.
    long long position = pair.position;
    for (int block = 7; block <= 14; ++block)
    {
        processSignalBlock(*pair.faded, 2, blockLength, position, rate);
        EXPECT_EQ(probe.currentLeft(), 3) << "block " << block;
        EXPECT_EQ(pair.faded->modelFadeCounter.load(), juce::jmax(0, 14 - block)) << "block " << block;
    }
}

TEST(ProcessorFade, PowerOnHoldsTheFadeAndEmptyBlocksStillStep)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0, 64);
    ProcessorTestProbe probe{*p};
    long long position = 0;
    processSignalBlock(*p, 2, 64, position, 44100.0);
    ASSERT_EQ(p->modelFadeCounter.load(), 11);

    setParameter(*p, ParameterIds::power, 1.0f);
    const auto held = processSignalBlock(*p, 2, 64, position, 44100.0);
    EXPECT_EQ(p->modelFadeCounter.load(), 11);
    setParameter(*p, ParameterIds::power, 0.0f);

    setParameter(*p, ParameterIds::boost, 1.0f);
    for (int block = 0; block < 5; ++block)
        processSignalBlock(*p, 2, 0, position, 44100.0); // 12 (new choice), 11, 10, 9, 8: swap
    EXPECT_EQ(p->modelFadeCounter.load(), 7);
    EXPECT_EQ(probe.currentLeft(), 1);
}

TEST(ProcessorFade, MonoFadesItsOneChannel)
{
    auto faded = makeProcessor();
    auto twin = makeProcessor();
    prepare(*faded, rate, blockLength, 1);
    prepare(*twin, rate, blockLength, 1);
    ProcessorTestProbe{*twin}.skipBlockChoices(0.0f);
    long long a = 0, b = 0;
    for (int block = 1; block <= 13; ++block)
    {
        const int c = block <= 12 ? 13 - block : 0;
        twin->modelFadeCounter.store(0);
        const auto x = processSignalBlock(*faded, 1, blockLength, a, rate);
        const auto y = processSignalBlock(*twin, 1, blockLength, b, rate);
        if (c == 8)
            ProcessorTestProbe{*twin}.swap();
        expectFadeGain(x, y, c, block);
    }
}

TEST(ProcessorFade, SwapWithNoChosenPairLeavesTheChannelsUntouchedByNetworks)
{
    // 32 kHz with Ultra Mode on: no network is ever chosen; the editor's toggle still
    // stores 12, and its swap finds no pair.
    auto p = makeProcessor();
    prepare(*p, 32000.0, 128);
    ProcessorTestProbe probe{*p};
    long long position = 0;
    p->modelFadeCounter.store(12);
    for (int block = 0; block < 13; ++block)
    {
        const auto out = processSignalBlock(*p, 2, 128, position, 32000.0);
        ASSERT_LT(OutputBounds::peak(out), OutputBounds::loudestAtTestSettings) << "block " << block;
    }
    EXPECT_EQ(probe.currentLeft(), -1);
    EXPECT_FALSE(probe.modelIsConditioned());
    EXPECT_FALSE(probe.modelReady());
    EXPECT_EQ(p->modelFadeCounter.load(), 0);
}

TEST(ProcessorFade, UltraModeChangeAloneMakesNoChoiceAndNoFade)
{
    auto p = makeProcessor({{ParameterIds::boost, 1.0f}});
    prepare(*p, 48000.0, 128);
    ProcessorTestProbe probe{*p};
    long long position = 0;
    for (int block = 0; block < 13; ++block)
        processSignalBlock(*p, 2, 128, position, 48000.0);
    ASSERT_EQ(p->modelFadeCounter.load(), 0);

    setParameter(*p, ParameterIds::ultraMode, 0.0f);
    probe.settleGains();
    for (int block = 0; block < 3; ++block)
    {
        const float level = OutputBounds::peak(processSignalBlock(*p, 2, 128, position, 48000.0));
        EXPECT_LT(level, OutputBounds::loudestAtTestSettings) << "block " << block;
        EXPECT_GT(level, OutputBounds::audible) << "block " << block;
    }
    EXPECT_EQ(p->modelFadeCounter.load(), 0);
    EXPECT_EQ(probe.currentLeft(), 6); // network 5 + Boost keeps running, now oversampled
}
