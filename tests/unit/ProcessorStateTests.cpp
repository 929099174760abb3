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
TEST(ProcessorState, CraftedStatesLeaveEveryValueFiniteAndTheAudioRunning)
{
    auto saved = makeProcessor(craftedSavedValues);
    for (const auto& c : craftedStates(stateOf(*saved)))
    {
        SCOPED_TRACE(c.what.toStdString());
        auto p = makeProcessor(craftedLiveValues);
        prepare(*p, 44100.0, 256);
        long long position = 0;
        loudestOutput(*p, 2, 44100.0, position);
        const auto before = stateOf(*p);

        p->setStateInformation(c.bytes.getData(), (int)c.bytes.getSize());

        if (c.nonFiniteParameter == nullptr)
        {
            EXPECT_EQ(stateOf(*p), before) << "refused bytes change nothing";
            EXPECT_FALSE(p->restoreState(c.bytes.getData(), (int)c.bytes.getSize()));
        }
        expectRestoredAndFinite(*p, c);
        expectTheAudioRunsOn(*p, position);
    }
}
