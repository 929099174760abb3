#pragma once

// Host states and preset files that once crashed, hung or silenced the plug-in: parameter
// values that are no number, by value and as text, and bytes whose counts, sizes or nesting the
// framework's reader would trust. The processor tests hand them to setStateInformation, the
// preset box tests load them as preset files.

#include "StateBytes.h"
#include "processor/ParameterIds.h"

#include <limits>
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

    constexpr int largestCount = std::numeric_limits<int>::max();
    StateBytes nesting;
    for (int level = 0; level < 10000; ++level)
        nesting.name("A").count(0).count(1);

    juce::MemoryBlock deepNesting;
    for (int i = 0; i < 40; ++i)
        deepNesting.append(nesting.bytes().getData(), nesting.bytes().getSize());

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
    cases.push_back({"nesting ten thousand levels deep", nesting.bytes()});
    cases.push_back({"two megabytes of nesting", deepNesting});
    cases.push_back(
        {"a real state cut in half", juce::MemoryBlock(realState.getData(), realState.getSize() / 2)});
    cases.push_back({"no bytes", {}});
    return cases;
}
