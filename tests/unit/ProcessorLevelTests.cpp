// Published output levels: stereo and mono examples, the decay, and the levels frozen while
// Power is on and for empty blocks.

#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

#include "processor/LevelFollower.h"

namespace
{
struct Levels
{
    LevelFollower left, right;
    std::atomic<float> publishedLeft{0.0f}, publishedRight{0.0f};

    explicit Levels(double rate)
    {
        left.prepare(rate);
        right.prepare(rate);
    }

    void publish(juce::AudioBuffer<float>& buffer)
    {
        publishOutputLevels(juce::dsp::AudioBlock<float>(buffer), buffer.getNumChannels(), left, right,
                            publishedLeft, publishedRight);
    }
};

juce::AudioBuffer<float> constant(int channels, int length, float value)
{
    juce::AudioBuffer<float> buffer(channels, length);
    for (int ch = 0; ch < channels; ++ch)
        juce::FloatVectorOperations::fill(buffer.getWritePointer(ch), value, length);
    return buffer;
}
} // namespace

TEST(ProcessorLevels, ReleaseCoefficientFollowsTheRate)
{
    LevelFollower follower;
    follower.prepare(48000.0);
    EXPECT_NEAR(follower.releaseCoefficient, 1.0 - std::exp(-1.0 / 4800.0), 1e-8);
    EXPECT_NEAR(follower.releaseCoefficient, 2.08e-4, 0.01e-4);
    follower.prepare(44100.0);
    EXPECT_NEAR(follower.releaseCoefficient, 2.27e-4, 0.01e-4);
    EXPECT_EQ(follower.attackCoefficient, 1.0f);
    EXPECT_EQ(follower.envelope, 0.0f);
}

TEST(ProcessorLevels, StereoConstantHalfGivesOneAndJustUnderPointNineFive)
{
    Levels levels(48000.0);
    const double rc = 1.0 - std::exp(-1.0 / 4800.0);
    auto first = constant(2, 1, 0.5f);
    levels.publish(first);
    EXPECT_FLOAT_EQ(levels.publishedRight.load(), 1.0f);
    EXPECT_NEAR(levels.publishedLeft.load(), 0.95 - 0.45 * rc, 1e-6);
    EXPECT_LT(levels.publishedLeft.load(), 0.95f);

    auto more = constant(2, 1000, 0.5f);
    levels.publish(more);
    EXPECT_FLOAT_EQ(levels.publishedRight.load(), 1.0f);
    EXPECT_GT(levels.publishedLeft.load(), 0.9f);
    EXPECT_LT(levels.publishedLeft.load(), 0.95f);
}

TEST(ProcessorLevels, MonoConstantHalfGivesAboutOneFromTheSecondSample)
{
    Levels levels(48000.0);
    const double rc = 1.0 - std::exp(-1.0 / 4800.0);
    auto first = constant(1, 1, 0.5f);
    levels.publish(first);
    EXPECT_FLOAT_EQ(levels.publishedRight.load(), 1.0f);
    EXPECT_NEAR(levels.publishedLeft.load(), 0.95 - 0.45 * rc, 1e-6);

    auto second = constant(1, 1, 0.5f);
    levels.publish(second);
    EXPECT_NEAR(levels.publishedLeft.load(), 1.0 - 0.55 * rc, 1e-5);
    EXPECT_FLOAT_EQ(levels.publishedRight.load(), 1.0f);
}

TEST(ProcessorLevels, StereoLevelDecaysToAbout37PercentIn50Milliseconds)
{
    Levels levels(48000.0);
    auto loud = constant(2, 480, 0.5f);
    levels.publish(loud);
    const float before = levels.publishedRight.load();
    auto silence = constant(2, 2400, 0.0f);
    levels.publish(silence);
    EXPECT_NEAR(levels.publishedRight.load() / before, std::exp(-1.0), 0.005);
}

TEST(ProcessorLevels, MonoLevelDecaysThreeStepsPerSample)
{
    Levels levels(48000.0);
    auto loud = constant(1, 480, 0.5f);
    levels.publish(loud);
    const float before = levels.publishedRight.load();
    auto silence = constant(1, 1600, 0.0f); // a third of 0.1 s
    levels.publish(silence);
    EXPECT_NEAR(levels.publishedRight.load() / before, std::exp(-1.0), 0.005);
}

TEST(ProcessorLevels, ProcessorPublishesFromTheFirstPreparationAndFreezesWithPowerAndEmptyBlocks)
{
    auto p = makeProcessor();
    EXPECT_EQ(p->outputLevelLeft.load(), 0.0f);
    prepare(*p, 48000.0, 256);
    ProcessorTestProbe probe{*p};
    ASSERT_NE(probe.followerLeft(), nullptr);
    ASSERT_NE(probe.followerRight(), nullptr);

    long long position = 0;
    for (int block = 0; block < 20; ++block)
        processSignalBlock(*p, 2, 256, position, 48000.0);
    const float left = p->outputLevelLeft.load(), right = p->outputLevelRight.load();
    EXPECT_GT(left, 0.0f);
    EXPECT_GT(right, 0.0f);

    processSignalBlock(*p, 2, 0, position, 48000.0);
    EXPECT_EQ(p->outputLevelLeft.load(), left);
    EXPECT_EQ(p->outputLevelRight.load(), right);

    setParameter(*p, ParameterIds::power, 1.0f);
    processSignalBlock(*p, 2, 256, position, 48000.0);
    EXPECT_EQ(p->outputLevelLeft.load(), left);
    EXPECT_EQ(p->outputLevelRight.load(), right);

    // A new preparation resets the envelopes but not the published levels.
    prepare(*p, 48000.0, 256);
    EXPECT_EQ(probe.followerLeft()->envelope, 0.0f);
    EXPECT_EQ(p->outputLevelLeft.load(), left);
}
