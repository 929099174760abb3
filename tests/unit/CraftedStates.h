#pragma once

// Host states and preset files that once crashed, hung or silenced the plug-in: parameter
// values that are no number, by value and as text, preset properties and parameter ids that are
// not of the kind the writer writes, and bytes whose counts, sizes or nesting the framework's
// reader would trust. The processor tests hand them to setStateInformation, the
// preset box tests load them as preset files; both expect the same outcome.

#include "ProcessorTestProbe.h"
#include "StateBytes.h"
#include "processor/ParameterIds.h"

#include <limits>
#include <utility>
#include <vector>

struct CraftedState
{
    juce::String what;
    juce::MemoryBlock bytes;
    /** The parameter given a value that is no number; null for bytes that must be refused. */
    const char* nonFiniteParameter = nullptr;
};

/** The crafted inputs; the non-finite values are set in a copy of the given real state. */
inline std::vector<CraftedState> craftedStates(const juce::MemoryBlock& realState)
{
    std::vector<CraftedState> cases;
    const auto real = juce::ValueTree::readFromData(realState.getData(), realState.getSize());

    struct NonFinite
    {
        double number;
        const char* text;
    };
    constexpr auto infinity = std::numeric_limits<double>::infinity();
    const NonFinite values[] = {
        {std::numeric_limits<double>::quiet_NaN(), "nan"}, {infinity, "inf"}, {-infinity, "-inf"}};

    for (const auto* id :
         {ParameterIds::boost, ParameterIds::dryMix, ParameterIds::drive, ParameterIds::highPass})
        for (const auto& value : values)
            for (const bool asText : {false, true})
            {
                auto tree = real.createCopy();
                tree.getChildWithProperty("id", id).setProperty(
                    "value", asText ? juce::var(value.text) : juce::var(value.number), nullptr);
                cases.push_back({juce::String(id) + " " + value.text + (asText ? " as text" : " as a number"),
                                 bytesOf(tree), id});
            }

    // Read as text and as a switch; a NaN double turned into text is undefined in the framework.
    const std::pair<const char*, juce::var> wrongKinds[] = {{"a NaN double", values[0].number},
                                                            {"an int", 1}};
    for (const auto& [kind, value] : wrongKinds)
    {
        for (const auto* property : {"Current_Selected_Preset", "Preset_Has_Been_Modified"})
        {
            auto tree = real.createCopy();
            EXPECT_TRUE(tree.hasProperty(property)) << property;
            tree.setProperty(property, value, nullptr);
            cases.push_back({juce::String(property) + " as " + kind, bytesOf(tree)});
        }
        auto tree = real.createCopy();
        tree.getChildWithProperty("id", ParameterIds::boost).setProperty("id", value, nullptr);
        cases.push_back({juce::String("a parameter id as ") + kind, bytesOf(tree)});
    }

    constexpr int largestCount = std::numeric_limits<int>::max();
    StateBytes nesting;
    for (int level = 0; level < 10000; ++level)
        nesting.name("A").count(0).count(1);

    const auto levels = nesting.bytes();
    juce::MemoryBlock deepNesting;
    for (int i = 0; i < 40; ++i)
        deepNesting.append(levels.getData(), levels.getSize());

    cases.push_back({"a child count that asks for gigabytes",
                     StateBytes().name("Brimwell").count(0).count(largestCount).padding(30).bytes()});
    cases.push_back(
        {"a property count at the end", StateBytes().name("Brimwell").count(largestCount).bytes()});
    cases.push_back(
        {"an array count at the end",
         StateBytes().name("Brimwell").count(1).name("value").count(6).byte(7).count(largestCount).bytes()});
    cases.push_back({"a blob size beyond the bytes", StateBytes()
                                                         .name("Brimwell")
                                                         .count(1)
                                                         .name("value")
                                                         .count(largestCount)
                                                         .byte(8)
                                                         .padding(8)
                                                         .bytes()});
    cases.push_back({"nesting ten thousand levels deep", levels});
    cases.push_back({"two megabytes of nesting", deepNesting});
    cases.push_back(
        {"a real state cut in half", juce::MemoryBlock(realState.getData(), realState.getSize() / 2)});
    cases.push_back({"no bytes", {}});
    return cases;
}

/** The live values when a crafted state arrives, and the values of the real state it was made from. */
inline const std::map<juce::String, float> craftedLiveValues{{ParameterIds::boost, 3.0f},
                                                             {ParameterIds::dryMix, 55.0f},
                                                             {ParameterIds::drive, 0.7f},
                                                             {ParameterIds::highPass, 120.0f}};
inline const std::map<juce::String, float> craftedSavedValues{{ParameterIds::boost, 1.0f},
                                                              {ParameterIds::dryMix, 80.0f},
                                                              {ParameterIds::drive, 0.4f},
                                                              {ParameterIds::highPass, 60.0f}};

/** After a crafted state: every parameter is finite and in its range; a value that was no number
    keeps the live one, in the state too, and the others are restored (or, for refused bytes, all
    keep the live ones). */
inline void expectRestoredAndFinite(ZiruzozodAudioProcessor& p, const CraftedState& c)
{
    for (auto* parameter : p.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameter);
        ASSERT_NE(ranged, nullptr);
        const auto value = parameterValue(p, ranged->paramID);
        const auto& range = ranged->getNormalisableRange();
        EXPECT_TRUE(std::isfinite(value) && value >= range.start && value <= range.end)
            << ranged->paramID << " = " << value;
        EXPECT_TRUE(std::isfinite(ranged->getValue())) << ranged->paramID;
    }

    for (const auto& [id, saved] : craftedSavedValues)
    {
        const bool restored = c.nonFiniteParameter != nullptr && id != c.nonFiniteParameter;
        EXPECT_NEAR(parameterValue(p, id), restored ? saved : craftedLiveValues.at(id), 1e-5f) << id;
    }

    if (c.nonFiniteParameter != nullptr)
    {
        juce::MemoryBlock bytes;
        p.getStateInformation(bytes);
        const auto tree = juce::ValueTree::readFromData(bytes.getData(), bytes.getSize());
        EXPECT_NEAR((double)tree.getChildWithProperty("id", c.nonFiniteParameter).getProperty("value"),
                    craftedLiveValues.at(c.nonFiniteParameter), 1e-5);
    }
}

/** Runs blocks of the test signal; returns the loudest output sample, or NaN if one was not finite. */
inline float loudestOutput(ZiruzozodAudioProcessor& p, int numBlocks, double rate, long long& position)
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

/** A processor prepared at 44.1 kHz runs on after a crafted state: its fade ends, the output
    stays finite, and the next preparation works from what was restored. */
inline void expectTheAudioRunsOn(ZiruzozodAudioProcessor& p, long long& position)
{
    EXPECT_TRUE(std::isfinite(loudestOutput(p, 14, 44100.0, position)));
    EXPECT_EQ(p.modelFadeCounter.load(), 0);

    prepare(p, 48000.0, 256);
    const auto loudest = loudestOutput(p, 16, 48000.0, position);
    EXPECT_TRUE(std::isfinite(loudest));
    EXPECT_GT(loudest, 1e-3f);
}
