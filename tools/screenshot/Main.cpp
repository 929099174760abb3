// Renders the editor offscreen to PNG files, as it looks in a host window.
//
//   brimwell_screenshot <output folder>
//
// Writes editor-896x525.png (the opening size, at silence: the README's docs/editor.png) and
// editor-2560x1500.png (full size, with the meters showing a level and the input-trim knob's
// value bubble up). Needs no display; the size setting goes to a temporary folder.

#include "editor/FadeinPopupSlider.h"
#include "editor/PluginEditor.h"

#include <iostream>

namespace
{
bool writePng(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out(file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream(image, out);
}

void showBubble(FadeinPopupSlider& knob)
{
    auto mouse = juce::Desktop::getInstance().getMainMouseSource();
    const juce::MouseEvent enter(mouse, {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &knob, &knob,
                                 juce::Time::getCurrentTime(), {}, juce::Time::getCurrentTime(), 0, false);
    knob.mouseEnter(enter);
    knob.popup.animator.cancelAllAnimations(true);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: brimwell_screenshot <output folder>\n";
        return 2;
    }
    juce::ScopedJuceInitialiser_GUI gui;
    const auto folder =
        juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(argv[1]));
    folder.createDirectory();
    juce::TemporaryFile settingsFolder;

    auto processor = std::make_unique<ZiruzozodAudioProcessor>();

    auto options = ZiruzozodAudioProcessorEditor::defaultSettingsOptions();
    options.folderName = settingsFolder.getFile().getFullPathName();
    bool ok = true;
    {
        // As the editor opens on a fresh machine, with no audio yet.
        ZiruzozodAudioProcessorEditor editor(*processor, options);
        editor.setSize(896, 525);
        ok &= writePng(editor.createComponentSnapshot(editor.getLocalBounds()),
                       folder.getChildFile("editor-896x525.png"));

        processor->outputLevelLeft = 0.62f;
        processor->outputLevelRight = 0.48f;
        editor.setSize(2560, 1500);
        // The stacking order puts the input-trim knob second.
        if (auto* knob = dynamic_cast<FadeinPopupSlider*>(editor.getChildComponent(1)))
        {
            knob->setValue(-3.5);
            showBubble(*knob);
        }
        ok &= writePng(editor.createComponentSnapshot(editor.getLocalBounds()),
                       folder.getChildFile("editor-2560x1500.png"));
    }
    settingsFolder.getFile().deleteRecursively();
    processor.reset();

    if (!ok)
        std::cerr << "error: cannot write the screenshots to " << folder.getFullPathName() << "\n";
    return ok ? 0 : 1;
}
