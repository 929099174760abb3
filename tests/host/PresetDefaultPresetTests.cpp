#include "../unit/PresetScopedHome.h"
#include "HostedPlugin.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
const char* const formats[] = {BRIMWELL_VST3_PATH, BRIMWELL_LV2_PATH};

juce::File defaultPresetIn(const ScopedTemporaryHome& home)
{
    return home.path().getChildFile("Documents/Calvorra/Presets/Brimwell/Default.rcp");
}

std::unique_ptr<HostedPlugin> loadPlugin(const char* path)
{
    juce::String error;
    auto plugin = HostedPlugin::load(path, 48000.0, 512, error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

TEST(PresetsInAHost, EachFormatCreatesTheDefaultPresetInAnEmptyHome)
{
    const std::map<juce::String, double> defaults = {
        {ParameterIds::boost, 0.0},       {ParameterIds::drive, 0.3},     {ParameterIds::dryMix, 100.0},
        {ParameterIds::highPass, 20.0},   {ParameterIds::inputTrim, 0.0}, {ParameterIds::autoGain, 0.0},
        {ParameterIds::lowPass, 20000.0}, {ParameterIds::output, 1.0},    {ParameterIds::outputTrim, 0.0},
        {ParameterIds::power, 0.0},       {ParameterIds::ultraMode, 1.0},
    };

    std::vector<juce::MemoryBlock> written;
    for (const auto* path : formats)
    {
        SCOPED_TRACE(path);
        const ScopedTemporaryHome home;
        const auto plugin = loadPlugin(path);
        ASSERT_NE(plugin, nullptr);

        juce::MemoryBlock bytes;
        ASSERT_TRUE(defaultPresetIn(home).loadFileAsData(bytes));
        written.push_back(bytes);

        const auto tree = juce::ValueTree::readFromData(bytes.getData(), bytes.getSize());
        EXPECT_EQ(tree.getType().toString(), "Brimwell");
        EXPECT_EQ(tree["Current_Selected_Preset"].toString(), "Default");
        EXPECT_EQ(tree["Preset_Has_Been_Modified"], juce::var(false));
        ASSERT_EQ(tree.getNumChildren(), (int)defaults.size());
        for (const auto& child : tree)
        {
            const auto id = child["id"].toString();
            ASSERT_EQ(defaults.count(id), 1u) << id;
            EXPECT_NEAR((double)child["value"], defaults.at(id), 1.0e-6) << id;
        }
    }

    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], written[1]) << "both formats write the same bytes";
}

TEST(PresetsInAHost, AnExistingDefaultPresetIsLeftUntouched)
{
    for (const auto* path : formats)
    {
        SCOPED_TRACE(path);
        const ScopedTemporaryHome home;
        const auto file = defaultPresetIn(home);
        file.getParentDirectory().createDirectory();
        file.replaceWithText("my own default");

        const auto plugin = loadPlugin(path);

        EXPECT_EQ(file.loadFileAsString(), "my own default");
    }
}
} // namespace
