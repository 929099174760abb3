#pragma once

#include "editor/EditorSettingsFile.h"
#include "editor/FadeinPopupSlider.h"
#include "editor/FilmStripComponent.h"
#include "editor/KnobLooks.h"
#include "editor/Retrotogglebutton.h"
#include "editor/ZovidOziziveSimpleButton.h"
#include "presets/PresetBox.h"
#include "presets/PresetLookAndFeel.h"
#include "processor/ParameterIds.h"
#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The plug-in window: film-strip knobs, toggles, meters and the preset controls on a
    2560 x 1500 canvas, scaled uniformly to the window, whose width it remembers. */
class ZiruzozodAudioProcessorEditor : public juce::AudioProcessorEditor
{
  public:
    /** Builds the editor with its size remembered in the usual settings file. */
    explicit ZiruzozodAudioProcessorEditor(ZiruzozodAudioProcessor& p);

    /** Builds the editor with its size remembered in the settings file those options name. */
    ZiruzozodAudioProcessorEditor(ZiruzozodAudioProcessor& p,
                                  const juce::PropertiesFile::Options& settingsOptions);

    ~ZiruzozodAudioProcessorEditor() override;

    /** Where the size is remembered: "Brimwell.settings", for all users where that can be written
        (on Linux the user's, ~/.Brimwell/Brimwell.settings). */
    static juce::PropertiesFile::Options defaultSettingsOptions();

    void paint(juce::Graphics&) override;
    void resized() override;

  private:
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;

    juce::Image backgroundImage;
    ZiruzozodAudioProcessor& audioProcessor;
    PresetBox presetBox;
    CustomLookAndFeel2A driveKnobLook;
    CustomLookAndFeelBOOST boostKnobLook;
    CustomLookAndFeel2B drymixKnobLook;
    CustomLookAndFeel2D intrimKnobLook;
    CustomLookAndFeel2E outtrimKnobLook;
    CustomLookAndFeel2F lpKnobLook;
    CustomLookAndFeel2G hpKnobLook;
    PresetLookAndFeel presetLook;
    ZovidOziziveSimpleButton saveButton{"Save Button"};
    ZovidOziziveSimpleButton deleteButton{"Delete Button"};
    ZovidOziziveSimpleButton previousPresetButton{"Previous Preset Button"};
    ZovidOziziveSimpleButton nextPresetButton{"Next Preset Button"};
    Retrotogglebutton linkToggle{ParameterIds::autoGain};
    Retrotogglebutton ultraXToggle{ParameterIds::ultraMode};
    Retrotogglebutton powerToggle{"powerButton"};

    std::unique_ptr<FadeinPopupSlider> lpKnob, hpKnob;
    std::unique_ptr<juce::Slider> driveKnob, boostKnob;
    std::unique_ptr<FadeinPopupSlider> intrimKnob, outtrimKnob, drymixKnob;
    std::unique_ptr<ButtonAttachment> linkAttachment, ultraXAttachment, powerAttachment;
    std::unique_ptr<SliderAttachment> driveAttachment, boostAttachment, intrimAttachment, outtrimAttachment,
        drymixAttachment, lpAttachment, hpAttachment;

    FilmStripComponent leftMeter, rightMeter;
    EditorSettingsFile editorSettings;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ZiruzozodAudioProcessorEditor)
};
