// Crafted preset files chosen in the preset box: bytes that are refused change nothing and
// leave the current preset selected; values that are no number keep the live ones; the audio
// runs on either way.

#include "CraftedStates.h"
#include "PresetTestSupport.h"
#include "presets/PresetBox.h"

namespace
{
class PresetBoxCraftedFiles : public PresetTest
{
  protected:
    void SetUp() override
    {
        PresetTest::SetUp();
        makeProcessor();
    }

    void select(const juce::String& text)
    {
        for (int i = 0; i < box->getNumItems(); ++i)
            if (box->getItemText(i) == text)
                return box->setSelectedId(box->getItemId(i), juce::sendNotificationSync);
        FAIL() << "no item " << text;
    }

    /** Writes the state with the given values and preset name as a preset file. */
    juce::MemoryBlock writePreset(const juce::String& name, const std::map<juce::String, float>& values)
    {
        for (const auto& [id, value] : values)
            setParameter(*processor, id, value);
        setPresetProperties(name, false);
        const auto bytes = stateBytes();
        writeFile(presetFolder().getChildFile(name + ".rcp"), bytes);
        return bytes;
    }

    std::unique_ptr<PresetBox> box;
};
} // namespace

TEST_F(PresetBoxCraftedFiles, RefusedFilesLeaveTheCurrentPresetSelectedAndTheRestKeepsValuesFinite)
{
    const auto cases = craftedStates(writePreset("Crafted", craftedSavedValues));
    for (size_t i = 0; i < cases.size(); ++i)
    {
        const auto file = presetFolder().getChildFile("Crafted " + juce::String(i) + ".rcp");
        ASSERT_TRUE(cases[i].bytes.isEmpty() ? file.create().wasOk()
                                             : writeFile(file, cases[i].bytes).existsAsFile());
    }
    writePreset("Live", craftedLiveValues);
    box = std::make_unique<PresetBox>(manager());
    prepare(*processor, 44100.0, 256);

    for (size_t i = 0; i < cases.size(); ++i)
    {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what.toStdString());
        select("Live");
        const auto live = box->getSelectedItemIndex();
        const auto before = stateBytes();

        select("Crafted " + juce::String(i));

        if (c.nonFiniteParameter == nullptr)
        {
            EXPECT_EQ(stateBytes(), before);
            EXPECT_EQ(box->getSelectedItemIndex(), live);
            EXPECT_EQ(box->getText(), "Live");
        }
        else
        {
            EXPECT_EQ(presetName(), "Crafted");
        }
        expectRestoredAndFinite(*processor, c);
        long long position = 0;
        expectTheAudioRunsOn(*processor, position);
        prepare(*processor, 44100.0, 256);
    }

    // A modified preset stays shown as modified.
    select("Live");
    changeParameterInTree(ParameterIds::dryMix, 12.0);
    ASSERT_EQ(modifiedFlag(), juce::var(true));
    select("Crafted " + juce::String(cases.size() - 1));
    EXPECT_EQ(box->getText(), "Live*");
    EXPECT_EQ(modifiedFlag(), juce::var(true));
}
