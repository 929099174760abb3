// A preset file on disk, loaded the way the user loads it, by picking it in the preset box:
// whatever it holds, every parameter stays finite and in its range and the blocks that follow
// have finite output.

#include "FuzzedProcessor.h"
#include "presets/PresetBox.h"

#include <cstddef>
#include <cstdint>

namespace
{
struct FuzzedPresetBox
{
    FuzzedProcessor fuzzed;
    const juce::File file = fuzzed.processor.presetManager->presetFolder.getChildFile("Fuzzed.rcp");
    const bool written = file.replaceWithText("not yet a state"); // there before the box lists the folder
    PresetBox box{*fuzzed.processor.presetManager};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzedPresetBox preset;
    preset.fuzzed.restoreDefaults();
    {
        // Written in place: the framework's replaceWithData deletes the file for zero bytes.
        juce::FileOutputStream out(preset.file);
        FuzzedProcessor::require(out.openedOk() && out.setPosition(0) && out.truncate().wasOk() &&
                                     out.write(data, size),
                                 "preset file written");
    }

    auto& box = preset.box;
    box.refreshMenu();
    int item = 0;
    for (int i = 0; i < box.getNumItems(); ++i)
        if (box.getItemText(i) == "Fuzzed")
            item = box.getItemId(i);
    FuzzedProcessor::require(item != 0, "the preset is listed");
    box.setSelectedId(0, juce::dontSendNotification);
    box.setSelectedId(item, juce::sendNotificationSync);

    preset.fuzzed.checkParameters();
    preset.fuzzed.checkBlocks();
    return 0;
}
