// The chain's arithmetic against values computed here from the chain's formulas (in double
// precision, or in single precision where the chain is exact), not from the code under test; the
// chain's behaviour at its edges (Power, Dry Mix 0, outputKnob, mono); and a bounded, audible
// level at every rate and on every path.

#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

#include "processor/ChainFormulas.h"

#include <limits>
#include <string>
#include <tuple>

namespace
{
constexpr double pi = 3.14159265358979323846;

void expectCoefficients(const juce::Array<float>& actual, std::initializer_list<double> expected,
                        const char* what)
{
    ASSERT_EQ(actual.size(), (int)expected.size()) << what;
    int i = 0;
    for (const double e : expected)
    {
        EXPECT_NEAR(actual[i], e, 2e-6 * std::max(1.0, std::abs(e))) << what << " coefficient " << i;
        ++i;
    }
}

std::unique_ptr<ZiruzozodAudioProcessor> afterOneBlock(double rate,
                                                       const std::map<juce::String, float>& parameters)
{
    auto p = makeProcessor(parameters);
    prepare(*p, rate, 256);
    long long position = 0;
    processSignalBlock(*p, 2, 256, position, rate);
    return p;
}
} // namespace

TEST(ProcessorChain, FirstOrderCoefficientsFollowTheBilinearDesigns)
{
    for (const double fs : {44100.0, 96000.0})
        for (const auto& [hp, lp] :
             {std::pair{20.0, 20000.0}, std::pair{120.0, 8000.0}, std::pair{500.0, 2000.0}})
        {
            auto p =
                afterOneBlock(fs, {{ParameterIds::highPass, (float)hp}, {ParameterIds::lowPass, (float)lp}});
            ProcessorTestProbe probe{*p};

            // High-pass at High Pass - 10 Hz: b0 = 1/(n+1), b1 = -1/(n+1), a1 = (n-1)/(n+1).
            const double nh = std::tan(pi * (hp - 10.0) / fs);
            expectCoefficients(probe.preHighPassLeft(),
                               {1.0 / (nh + 1.0), -1.0 / (nh + 1.0), (nh - 1.0) / (nh + 1.0)},
                               "pre high-pass left");
            expectCoefficients(probe.preHighPassRight(),
                               {1.0 / (nh + 1.0), -1.0 / (nh + 1.0), (nh - 1.0) / (nh + 1.0)},
                               "pre high-pass right");

            // Low-pass at Low Pass: b0 = b1 = n/(n+1), a1 = (n-1)/(n+1).
            const double nl = std::tan(pi * lp / fs);
            expectCoefficients(probe.postLowPassLeft(),
                               {nl / (nl + 1.0), nl / (nl + 1.0), (nl - 1.0) / (nl + 1.0)},
                               "post low-pass left");
            expectCoefficients(probe.postLowPassRight(),
                               {nl / (nl + 1.0), nl / (nl + 1.0), (nl - 1.0) / (nl + 1.0)},
                               "post low-pass right");
        }
}

TEST(ProcessorChain, EachFirstOrderFilterHasItsOwnCoefficients)
{
    auto p = afterOneBlock(44100.0, {});
    ProcessorTestProbe probe{*p};
    EXPECT_NE(&probe.preHighPassLeft(), &probe.preHighPassRight());
    EXPECT_NE(&probe.postLowPassLeft(), &probe.postLowPassRight());
}

TEST(ProcessorChain, FixedFiltersAreTheSinglePrecisionButterworthDesignsAtEveryListedRate)
{
    // Exactly, not within a tolerance: at 96 and 192 kHz one rounding step of a coefficient moves the
    // 20 Hz high-pass response near 100 Hz by 1e-3 to 6e-3.
    const float root2 = 1.4142135f;
    for (const double rate : {44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0})
    {
        SCOPED_TRACE(rate);
        auto p = makeProcessor();
        prepare(*p, rate, 256);
        ProcessorTestProbe probe{*p};
        const auto fs = (float)rate;

        const float n = std::tan(62.831856f / fs); // pi x 20, formed in single precision
        const float c = 1.0f / (1.0f + root2 * n + n * n);
        const float highPass[] = {c, -2.0f * c, c, 2.0f * c * (n * n - 1.0f), c * (1.0f - root2 * n + n * n)};

        const float m = 1.0f / std::tan(62831.855f / fs); // pi x 20000
        const float d = 1.0f / (1.0f + root2 * m + m * m);
        const float lowPass[] = {d, 2.0f * d, d, 2.0f * d * (1.0f - m * m), d * (1.0f - root2 * m + m * m)};

        ASSERT_EQ(probe.dcHighPass().size(), 5);
        ASSERT_EQ(probe.ultrasonicLowPass().size(), 5);
        for (int i = 0; i < 5; ++i)
        {
            EXPECT_EQ(probe.dcHighPass()[i], highPass[i])
                << "20 Hz high-pass coefficient " << i << ": " << std::hexfloat << probe.dcHighPass()[i];
            EXPECT_EQ(probe.ultrasonicLowPass()[i], lowPass[i])
                << "20 kHz low-pass coefficient " << i << ": " << std::hexfloat
                << probe.ultrasonicLowPass()[i];
        }
    }
}

TEST(ProcessorChain, DecibelsBecomeGainsWithTheMinus100Floor)
{
    EXPECT_NEAR(ChainFormulas::decibelsToGain(-12.0f), std::pow(10.0, -0.6), 1e-7);
    EXPECT_NEAR(ChainFormulas::decibelsToGain(12.0f), std::pow(10.0, 0.6), 1e-6);
    EXPECT_EQ(ChainFormulas::decibelsToGain(0.0f), 1.0f);
    EXPECT_NEAR(ChainFormulas::decibelsToGain(-99.9f), std::pow(10.0, -99.9 * 0.05), 1e-9);
    EXPECT_EQ(ChainFormulas::decibelsToGain(-100.0f), 0.0f);
    EXPECT_EQ(ChainFormulas::decibelsToGain(-140.0f), 0.0f);

    // Through the processor: Input Adj and Output Adj of -12 dB give 10^(-0.6).
    auto p = afterOneBlock(44100.0, {{ParameterIds::inputTrim, -12.0f}, {ParameterIds::outputTrim, -12.0f}});
    ProcessorTestProbe probe{*p};
    EXPECT_NEAR(probe.gain("input").getGainLinear(), std::pow(10.0, -0.6), 1e-7);
    EXPECT_NEAR(probe.gain("output").getGainLinear(), std::pow(10.0, -0.6), 1e-7);
}

// The worked values of the makeup formulas; every Boost offset is checked through the whole
// chain against the independent model (ProcessorEndToEndTests).
TEST(ProcessorChain, MakeupLevelIsDryMixPlusTheBoostOffset)
{
    EXPECT_NEAR(ChainFormulas::makeupLevelDecibels(50.0f, 2.0f), -6.59, 1e-5);
    EXPECT_NEAR(ChainFormulas::makeupLevelDecibels(100.0f, 0.0f), 1.0 - 3.407, 1e-5);
}

TEST(ProcessorChain, MakeupGainTargetWithAndWithoutAutoGain)
{
    struct Case
    {
        float mix, boost, autoGain, drive;
        double expectedDecibels;
    };
    const Case cases[] = {
        {50.0f, 2.0f, 1.0f, 0.3f, -6.59},                                 // AutoGain on: the level itself
        {50.0f, 2.0f, 0.0f, 0.1f, -6.59 + 20.0},                          // off at Drive 0.1: +20 dB
        {100.0f, 0.0f, 0.0f, 1.0f, 1.0 - 3.407},                          // off at Drive 1: not raised
        {100.0f, 0.0f, 0.0f, 0.3f, 1.0 - 3.407 - 20.0 * std::log10(0.3)}, // off at the default drive
    };
    for (const auto& c : cases)
    {
        auto p = afterOneBlock(44100.0, {{ParameterIds::dryMix, c.mix},
                                         {ParameterIds::boost, c.boost},
                                         {ParameterIds::autoGain, c.autoGain},
                                         {ParameterIds::drive, c.drive}});
        ProcessorTestProbe probe{*p};
        EXPECT_NEAR(probe.gain("makeup").getGainLinear(), std::pow(10.0, c.expectedDecibels / 20.0),
                    2e-6 * std::pow(10.0, c.expectedDecibels / 20.0))
            << "mix " << c.mix << " boost " << c.boost << " autogain " << c.autoGain << " drive " << c.drive;
        EXPECT_NEAR(probe.gain("dry").getGainLinear(), 1.0 - c.mix / 100.0, 1e-7);
        EXPECT_NEAR(probe.gain("wet").getGainLinear(), c.mix / 100.0, 1e-7);
        EXPECT_NEAR(probe.gain("drive").getGainLinear(), c.drive, 1e-7);
    }
}

TEST(ProcessorChain, GainsRampOverHalfASecond)
{
    for (const double fs : {44100.0, 96000.0})
    {
        const int rampLength = (int)std::floor(0.5 * fs); // 22050 and 48000 samples
        auto p = makeProcessor();
        prepare(*p, fs, 300);
        ProcessorTestProbe probe{*p};
        long long position = 0;

        // The first blocks raise the wet gain from 0 (a new stage) to 1.
        int processed = 0;
        while (processed + 300 <= rampLength - 1)
        {
            processSignalBlock(*p, 2, 300, position, fs);
            processed += 300;
        }
        processSignalBlock(*p, 2, rampLength - 1 - processed, position, fs);
        EXPECT_TRUE(probe.gain("wet").isSmoothing()) << fs;
        processSignalBlock(*p, 2, 1, position, fs);
        EXPECT_FALSE(probe.gain("wet").isSmoothing()) << fs;

        // A Drive change ramps the drive gain over the same length.
        setParameter(*p, ParameterIds::drive, 0.8f);
        processSignalBlock(*p, 2, 200, position, fs);
        EXPECT_TRUE(probe.gain("drive").isSmoothing());
        for (processed = 200; processed + 300 <= rampLength - 1; processed += 300)
            processSignalBlock(*p, 2, 300, position, fs);
        processSignalBlock(*p, 2, rampLength - 1 - processed, position, fs);
        EXPECT_TRUE(probe.gain("drive").isSmoothing());
        processSignalBlock(*p, 2, 1, position, fs);
        EXPECT_FALSE(probe.gain("drive").isSmoothing());
    }
}

TEST(ProcessorChain, DryMixZeroGivesTheInputTimesTheOutputTrim)
{
    auto p = makeProcessor({{ParameterIds::dryMix, 0.0f}, {ParameterIds::outputTrim, -6.0f}});
    prepare(*p, 48000.0, 480);
    long long position = 0;
    for (int block = 0; block < 60; ++block) // past the 0.5 s ramps
        processSignalBlock(*p, 2, 480, position, 48000.0);

    juce::AudioBuffer<float> block(2, 480);
    fillSignal(block, position, 48000.0);
    const auto input = block;
    juce::MidiBuffer midi;
    p->processBlock(block, midi);
    const double gain = std::pow(10.0, -6.0 / 20.0);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 480; ++i)
            ASSERT_NEAR(block.getSample(ch, i), input.getSample(ch, i) * gain, 1e-6) << ch << " " << i;
}

TEST(ProcessorChain, PowerOnLeavesTheBlockAndTheLevelsAlone)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0, 256);
    long long position = 0;
    for (int block = 0; block < 4; ++block)
        processSignalBlock(*p, 2, 256, position, 44100.0);
    const float left = p->outputLevelLeft.load(), right = p->outputLevelRight.load();
    ASSERT_GT(left, 0.0f);

    setParameter(*p, ParameterIds::power, 1.0f);
    juce::AudioBuffer<float> block(2, 256);
    fillSignal(block, position, 44100.0);
    const auto input = block;
    juce::MidiBuffer midi;
    p->processBlock(block, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(block.getSample(ch, i), input.getSample(ch, i));
    EXPECT_EQ(p->outputLevelLeft.load(), left);
    EXPECT_EQ(p->outputLevelRight.load(), right);
}

TEST(ProcessorChain, OutputKnobHasNoEffect)
{
    auto a = makeProcessor();
    auto b = makeProcessor({{ParameterIds::output, 0.2f}});
    prepare(*a, 44100.0, 256);
    prepare(*b, 44100.0, 256);
    long long pa = 0, pb = 0;
    for (int block = 0; block < 20; ++block)
    {
        const auto x = processSignalBlock(*a, 2, 256, pa, 44100.0);
        const auto y = processSignalBlock(*b, 2, 256, pb, 44100.0);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(x.getSample(ch, i), y.getSample(ch, i));
    }
}

//==============================================================================
namespace
{
using RateAndPath = std::tuple<double, bool, int>; // rate, Ultra Mode, channels

class EveryRateAndPath : public ::testing::TestWithParam<RateAndPath>
{
  protected:
    /** Runs blocks of the test signal: each is bounded, and each that no fade touched is audible.
        Returns how many no fade touched. */
    int run(ZiruzozodAudioProcessor& p, int blocks, const char* stage)
    {
        const auto [rate, ultraMode, channels] = GetParam();
        int unfaded = 0;
        for (int block = 0; block < blocks; ++block)
        {
            const bool fadeBefore = p.modelFadeCounter.load() != 0;
            const float level =
                OutputBounds::peak(processSignalBlock(p, channels, blockLength, position, rate));
            if (block == 0)
                ProcessorTestProbe{p}.settleGains(); // the first block set the new targets
            EXPECT_LT(level, OutputBounds::loudestAtTestSettings) << stage << ", block " << block;
            if (!fadeBefore && p.modelFadeCounter.load() == 0)
            {
                EXPECT_GT(level, OutputBounds::audible) << stage << ", block " << block;
                ++unfaded;
            }
        }
        return unfaded;
    }

    static constexpr int blockLength = 128;
    long long position = 0;
};

std::string rateAndPathName(const ::testing::TestParamInfo<RateAndPath>& info)
{
    const auto [rate, ultraMode, channels] = info.param;
    return "At" + std::to_string((int)rate) + "Hz" + (ultraMode ? "UltraModeOn" : "UltraModeOff") +
           (channels == 1 ? "Mono" : "Stereo");
}
} // namespace

// The chain still sounds at every rate and on every path: the defaults, then Boost 4 with
// Drive 1 (another network pair, swapped in by a fade where the rate allows a choice), then
// after a block of NaN. At 22.05 and 32 kHz the 20 kHz low-pass designs would sit above half
// the rate; they are limited, and would otherwise run away.
TEST_P(EveryRateAndPath, LevelIsBoundedAndAudibleOnceTheFadeHasEnded)
{
    const auto [rate, ultraMode, channels] = GetParam();
    auto p = makeProcessor({{ParameterIds::ultraMode, ultraMode ? 1.0f : 0.0f}});
    prepare(*p, rate, blockLength, channels);
    EXPECT_GE(run(*p, 16, "defaults"), 4);

    setParameter(*p, ParameterIds::boost, 4.0f);
    setParameter(*p, ParameterIds::drive, 1.0f);
    EXPECT_GE(run(*p, 16, "Boost 4, Drive 1"), 4);

    juce::AudioBuffer<float> poisoned(channels, blockLength);
    for (int ch = 0; ch < channels; ++ch)
        juce::FloatVectorOperations::fill(poisoned.getWritePointer(ch),
                                          std::numeric_limits<float>::quiet_NaN(), blockLength);
    juce::MidiBuffer midi;
    p->processBlock(poisoned, midi);
    position += blockLength;
    EXPECT_LT(OutputBounds::peak(poisoned), OutputBounds::loudestAtTestSettings) << "the NaN block";
    EXPECT_EQ(run(*p, 4, "after the NaN block"), 4);
}

INSTANTIATE_TEST_SUITE_P(ListedAndUnlisted, EveryRateAndPath,
                         ::testing::Combine(::testing::Values(22050.0, 32000.0, 44100.0, 48000.0, 88200.0,
                                                              96000.0, 176400.0, 192000.0),
                                            ::testing::Bool(), ::testing::Values(1, 2)),
                         rateAndPathName);
