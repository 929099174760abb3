// Host state on the processor itself: the bytes are the parameter tree as it
// stands, replace whatever the block held, and restore every parameter; crafted bytes are
// refused or kept in range, and the audio runs on after them.

#include "CraftedStates.h"
#include "ProcessorTestProbe.h"
#include "processor/ParameterIds.h"

namespace
{
juce::MemoryBlock stateOf(ZiruzozodAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation(block);
    return block;
}
} // namespace

TEST(ProcessorState, WritesExactlyTheStateBytesOverWhatTheBlockHeld)
{
    auto p = makeProcessor();
    const auto expected = stateOf(*p);
    juce::MemoryBlock block(10000, true);
    p->getStateInformation(block);
    EXPECT_EQ(block, expected);
    EXPECT_LT(block.getSize(), 10000u);
}

TEST(ProcessorState, CarriesAChangeMadeJustBefore)
{
    auto p = makeProcessor();
    setParameter(*p, ParameterIds::dryMix, 42.0f); // no flush has run: no message loop here
    const auto bytes = stateOf(*p);
    const auto tree = juce::ValueTree::readFromData(bytes.getData(), bytes.getSize());
    EXPECT_NEAR((double)tree.getChildWithProperty("id", ParameterIds::dryMix).getProperty("value"), 42.0,
                1e-4);
}

TEST(ProcessorState, BytesSavedAtConstructionRestoreEveryDefault)
{
    auto fresh = makeProcessor();
    const auto defaults = stateOf(*fresh);

    auto p = makeProcessor({{ParameterIds::boost, 4.0f},
                            {ParameterIds::drive, 0.9f},
                            {ParameterIds::dryMix, 10.0f},
                            {ParameterIds::highPass, 300.0f},
                            {ParameterIds::inputTrim, 6.0f},
                            {ParameterIds::autoGain, 1.0f},
                            {ParameterIds::lowPass, 4000.0f},
                            {ParameterIds::output, 0.5f},
                            {ParameterIds::outputTrim, -6.0f},
                            {ParameterIds::power, 1.0f},
                            {ParameterIds::ultraMode, 0.0f}});
    p->setStateInformation(defaults.getData(), (int)defaults.getSize());

    const std::pair<const char*, float> expected[] = {
        {ParameterIds::boost, 0.0f},       {ParameterIds::drive, 0.3f},     {ParameterIds::dryMix, 100.0f},
        {ParameterIds::highPass, 20.0f},   {ParameterIds::inputTrim, 0.0f}, {ParameterIds::autoGain, 0.0f},
        {ParameterIds::lowPass, 20000.0f}, {ParameterIds::output, 1.0f},    {ParameterIds::outputTrim, 0.0f},
        {ParameterIds::power, 0.0f},       {ParameterIds::ultraMode, 1.0f},
    };
    for (const auto& [id, value] : expected)
        EXPECT_NEAR(parameterValue(*p, id), value, 1e-5f) << id;
}

TEST(ProcessorState, InvalidBytesChangeNothing)
{
    auto p = makeProcessor({{ParameterIds::highPass, 77.0f}});
    const auto before = stateOf(*p);
    const char zero[] = {0, 1, 2, 3};
    p->setStateInformation(zero, 0);
    p->setStateInformation(zero, sizeof zero);
    p->setStateInformation(nullptr, 12);
    p->setStateInformation(zero, -5);
    EXPECT_EQ(stateOf(*p), before);
    EXPECT_NEAR(parameterValue(*p, ParameterIds::highPass), 77.0f, 1e-4f);
}

TEST(ProcessorState, MissingChildKeepsTheValueAndIsAppended)
{
    auto p = makeProcessor({{ParameterIds::highPass, 250.0f}, {ParameterIds::lowPass, 9000.0f}});
    const auto saved = stateOf(*p);
    auto tree = juce::ValueTree::readFromData(saved.getData(), saved.getSize());
    tree.removeChild(tree.getChildWithProperty("id", ParameterIds::highPass), nullptr);
    tree.getChildWithProperty("id", ParameterIds::lowPass).setProperty("value", 50000.0, nullptr);
    juce::MemoryOutputStream out;
    tree.writeToStream(out);

    p->setStateInformation(out.getData(), (int)out.getDataSize());
    EXPECT_NEAR(parameterValue(*p, ParameterIds::highPass), 250.0f, 1e-4f);
    EXPECT_NEAR(parameterValue(*p, ParameterIds::lowPass), 20000.0f, 1e-3f);
    const auto& state = p->apvts->state;
    ASSERT_EQ(state.getNumChildren(), 11);
    EXPECT_EQ(state.getChild(10).getProperty("id").toString(), ParameterIds::highPass);
}

//==============================================================================
namespace
{
/** Every parameter holds a finite value within its range. */
void expectFiniteAndInRange(ZiruzozodAudioProcessor& p, const juce::String& what)
{
    for (auto* parameter : p.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameter);
        ASSERT_NE(ranged, nullptr);
        const auto value = parameterValue(p, ranged->paramID);
        const auto& range = ranged->getNormalisableRange();
        EXPECT_TRUE(std::isfinite(value) && value >= range.start && value <= range.end)
            << what << ": " << ranged->paramID << " = " << value;
        EXPECT_TRUE(std::isfinite(ranged->getValue())) << what << ": " << ranged->paramID;
    }
}

/** Runs blocks of the test signal; returns the loudest output sample, or NaN if one was not finite. */
float runBlocks(ZiruzozodAudioProcessor& p, int numBlocks, double rate, long long& position)
{
    float loudest = 0.0f;
    for (int block = 0; block < numBlocks; ++block)
    {
        const auto out = processSignalBlock(p, 2, 256, position, rate);
        if (!allFinite(out))
            return std::numeric_limits<float>::quiet_NaN();
        loudest = std::max(loudest, out.getMagnitude(0, out.getNumSamples()));
    }
    return loudest;
}

const std::map<juce::String, float> liveValues{{ParameterIds::boost, 3.0f},
                                               {ParameterIds::dryMix, 55.0f},
                                               {ParameterIds::drive, 0.7f},
                                               {ParameterIds::highPass, 120.0f}};
const std::map<juce::String, float> savedValues{{ParameterIds::boost, 1.0f},
                                                {ParameterIds::dryMix, 80.0f},
                                                {ParameterIds::drive, 0.4f},
                                                {ParameterIds::highPass, 60.0f}};
} // namespace

TEST(ProcessorState, CraftedStatesLeaveEveryValueFiniteAndTheAudioRunning)
{
    auto saved = makeProcessor(savedValues);
    for (const auto& c : craftedStates(stateOf(*saved)))
    {
        SCOPED_TRACE(c.what.toStdString());
        auto p = makeProcessor(liveValues);
        prepare(*p, 44100.0, 256);
        long long position = 0;
        runBlocks(*p, 2, 44100.0, position);
        const auto before = stateOf(*p);

        p->setStateInformation(c.bytes.getData(), (int)c.bytes.getSize());

        expectFiniteAndInRange(*p, c.what);
        if (c.nonFiniteParameter == nullptr)
        {
            EXPECT_EQ(stateOf(*p), before) << "refused bytes change nothing";
            EXPECT_FALSE(p->restoreState(c.bytes.getData(), (int)c.bytes.getSize()));
        }
        else
        {
            // The value that is no number keeps the live one, in the state too; the rest is restored.
            for (const auto& [id, value] : savedValues)
                EXPECT_NEAR(parameterValue(*p, id), id == c.nonFiniteParameter ? liveValues.at(id) : value,
                            1e-5f)
                    << id;
            const auto tree = juce::ValueTree::readFromData(stateOf(*p).getData(), stateOf(*p).getSize());
            EXPECT_NEAR((double)tree.getChildWithProperty("id", c.nonFiniteParameter).getProperty("value"),
                        liveValues.at(c.nonFiniteParameter), 1e-5);
        }

        // Restored while running: the fade ends and the output stays finite.
        EXPECT_TRUE(std::isfinite(runBlocks(*p, 14, 44100.0, position)));
        EXPECT_EQ(p->modelFadeCounter.load(), 0);

        // And the next preparation works from what was restored.
        prepare(*p, 48000.0, 256);
        const auto loudest = runBlocks(*p, 16, 48000.0, position);
        EXPECT_TRUE(std::isfinite(loudest));
        EXPECT_GT(loudest, 1e-3f);
    }
}
