#include "editor/PluginEditor.h"
#include "processor/ParameterIds.h"

#include "editor/CanvasLayout.h"

#include <BinaryData.h>

#include <charconv>
#include <cmath>

namespace
{
constexpr double defaultSizeRatio = 0.35;
const char* const sizeRatioKey = "sizeRatio";
constexpr int minimumWidth = 640, minimumHeight = 375;

// The settings file may hold anything: what is not a finite number gives the default, a number
// beyond the size limits the nearest limit, so the window always opens usable.
double sizeRatioFrom(const juce::String& stored)
{
    const auto text = stored.trim().toStdString();
    const auto* end = text.data() + text.size();
    double ratio = 0.0;
    const auto [parsedTo, error] = std::from_chars(text.data(), end, ratio);
    if (text.empty() || error != std::errc() || parsedTo != end || !std::isfinite(ratio))
        return defaultSizeRatio;

    return juce::jlimit((double)minimumWidth / (double)CanvasLayout::width, 1.0, ratio);
}

juce::Image picture(const char* data, int size)
{
    return juce::ImageCache::getFromMemory(data, size);
}
} // namespace

ZiruzozodAudioProcessorEditor::ZiruzozodAudioProcessorEditor(ZiruzozodAudioProcessor& p)
    : ZiruzozodAudioProcessorEditor(p, defaultSettingsOptions())
{
}

ZiruzozodAudioProcessorEditor::ZiruzozodAudioProcessorEditor(
    ZiruzozodAudioProcessor& p, const juce::PropertiesFile::Options& settingsOptions)
    : juce::AudioProcessorEditor(p),
      backgroundImage(picture(BinaryData::background_png, BinaryData::background_pngSize)), audioProcessor(p),
      presetBox(*p.presetManager), leftMeter(p.outputLevelLeft, 1.0f), rightMeter(p.outputLevelRight, 1.0f),
      editorSettings(settingsOptions)
{
    const auto meterStrip = picture(BinaryData::meter_png, BinaryData::meter_pngSize);

    const auto makeNamedKnob =
        [this](std::unique_ptr<juce::Slider>& knob, const char* name, juce::LookAndFeel& look)
    {
        knob = std::make_unique<juce::Slider>(name);
        addAndMakeVisible(*knob);
        knob->setSliderStyle(juce::Slider::RotaryVerticalDrag);
        knob->setTextBoxStyle(juce::Slider::NoTextBox, false, 0, 0);
        knob->setLookAndFeel(&look);
    };
    makeNamedKnob(driveKnob, ParameterIds::drive, driveKnobLook);

    const auto makeBubbleKnob =
        [this](std::unique_ptr<FadeinPopupSlider>& knob, juce::LookAndFeel& look, const char* suffix)
    {
        knob = std::make_unique<FadeinPopupSlider>(juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
        addAndMakeVisible(*knob);
        knob->setLookAndFeel(&look);
        knob->setTextValueSuffix(suffix);
    };
    makeBubbleKnob(intrimKnob, intrimKnobLook, " dB");
    makeBubbleKnob(outtrimKnob, outtrimKnobLook, " dB");
    makeBubbleKnob(drymixKnob, drymixKnobLook, " %");
    makeBubbleKnob(lpKnob, lpKnobLook, " Hz");
    makeBubbleKnob(hpKnob, hpKnobLook, " Hz");

    makeNamedKnob(boostKnob, ParameterIds::boost, boostKnobLook);

    addAndMakeVisible(presetBox);
    presetBox.setLookAndFeel(&presetLook);

    const auto setUpPresetButton =
        [this](ZovidOziziveSimpleButton& button, juce::Image image, std::function<void()> action)
    {
        button.buttonImage = std::move(image);
        button.setMouseCursor(juce::MouseCursor::PointingHandCursor);
        button.onClick = std::move(action);
        addAndMakeVisible(button);
    };
    setUpPresetButton(saveButton, picture(BinaryData::button_save_png, BinaryData::button_save_pngSize),
                      [this] { presetBox.savePreset(); });
    setUpPresetButton(deleteButton, picture(BinaryData::button_delete_png, BinaryData::button_delete_pngSize),
                      [this] { presetBox.deletePreset(); });
    setUpPresetButton(previousPresetButton,
                      picture(BinaryData::button_previous_png, BinaryData::button_previous_pngSize),
                      [this] { presetBox.previousPreset(); });
    setUpPresetButton(nextPresetButton, picture(BinaryData::button_next_png, BinaryData::button_next_pngSize),
                      [this] { presetBox.nextPreset(); });

    for (auto* meter : {&leftMeter, &rightMeter})
    {
        meter->setFilmstrip(meterStrip, 60);
        addAndMakeVisible(*meter);
    }

    // Each toggle shows on until its attachment sets it from the parameter; a toggle whose
    // parameter is off then switches off with notification, so the Ultra Mode handler runs
    // once when the editor opens with Ultra Mode off.
    const auto setUpToggle = [this](Retrotogglebutton& toggle, juce::Image image)
    {
        toggle.buttonImage = std::move(image);
        toggle.setToggleState(true, juce::sendNotification);
        addAndMakeVisible(toggle);
    };
    setUpToggle(linkToggle, picture(BinaryData::toggle_autogain_png, BinaryData::toggle_autogain_pngSize));
    setUpToggle(ultraXToggle, picture(BinaryData::toggle_ultra_png, BinaryData::toggle_ultra_pngSize));
    ultraXToggle.onClick = [this] { audioProcessor.modelFadeCounter.store(12); };
    setUpToggle(powerToggle, picture(BinaryData::toggle_power_png, BinaryData::toggle_power_pngSize));

    auto& state = *audioProcessor.apvts;
    linkAttachment = std::make_unique<ButtonAttachment>(state, ParameterIds::autoGain, linkToggle);
    ultraXAttachment = std::make_unique<ButtonAttachment>(state, ParameterIds::ultraMode, ultraXToggle);
    powerAttachment = std::make_unique<ButtonAttachment>(state, ParameterIds::power, powerToggle);
    driveAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::drive, *driveKnob);
    boostAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::boost, *boostKnob);
    intrimAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::inputTrim, *intrimKnob);
    outtrimAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::outputTrim, *outtrimKnob);
    drymixAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::dryMix, *drymixKnob);
    lpAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::lowPass, *lpKnob);
    hpAttachment = std::make_unique<SliderAttachment>(state, ParameterIds::highPass, *hpKnob);

    if (auto* sizeRules = getConstrainer())
    {
        sizeRules->setFixedAspectRatio((double)CanvasLayout::width / (double)CanvasLayout::height);
        sizeRules->setSizeLimits(minimumWidth, minimumHeight, CanvasLayout::width, CanvasLayout::height);
    }

    const double ratio = sizeRatioFrom(editorSettings.getValue(sizeRatioKey));

    setResizable(true, true);
    setSize((int)(ratio * CanvasLayout::width), (int)(ratio * CanvasLayout::height));
}

ZiruzozodAudioProcessorEditor::~ZiruzozodAudioProcessorEditor()
{
    presetBox.setLookAndFeel(nullptr);
    for (auto* knob :
         std::initializer_list<juce::Slider*>{driveKnob.get(), intrimKnob.get(), outtrimKnob.get(),
                                              drymixKnob.get(), lpKnob.get(), hpKnob.get(), boostKnob.get()})
        knob->setLookAndFeel(nullptr);
}

juce::PropertiesFile::Options ZiruzozodAudioProcessorEditor::defaultSettingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Brimwell";
    options.filenameSuffix = "settings";
    options.folderName = "";
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = true;
    options.ignoreCaseOfKeyNames = false;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}

void ZiruzozodAudioProcessorEditor::paint(juce::Graphics& g)
{
    g.setColour(juce::Colours::black);
    g.drawImage(backgroundImage, 0, 0, getWidth(), getHeight(), 0, 0, CanvasLayout::shownPictureWidth,
                CanvasLayout::shownPictureHeight);
}

void ZiruzozodAudioProcessorEditor::resized()
{
    const float scale = (float)getWidth() / (float)CanvasLayout::width;

    editorSettings.setValue(sizeRatioKey, (double)scale);

    const std::pair<juce::Component*, juce::Rectangle<int>> placements[] = {
        {driveKnob.get(), CanvasLayout::driveKnob},
        {boostKnob.get(), CanvasLayout::boostKnob},
        {intrimKnob.get(), CanvasLayout::intrimKnob},
        {outtrimKnob.get(), CanvasLayout::outtrimKnob},
        {drymixKnob.get(), CanvasLayout::drymixKnob},
        {lpKnob.get(), CanvasLayout::lpKnob},
        {hpKnob.get(), CanvasLayout::hpKnob},
        {&presetBox, CanvasLayout::presetBox},
        {&saveButton, CanvasLayout::saveButton},
        {&deleteButton, CanvasLayout::deleteButton},
        {&previousPresetButton, CanvasLayout::previousPresetButton},
        {&nextPresetButton, CanvasLayout::nextPresetButton},
        {&linkToggle, CanvasLayout::linkToggle},
        {&ultraXToggle, CanvasLayout::ultraXToggle},
        {&powerToggle, CanvasLayout::powerToggle},
        {&leftMeter, CanvasLayout::leftMeter},
        {&rightMeter, CanvasLayout::rightMeter},
    };
    for (const auto& [control, area] : placements)
    {
        control->setBounds(area);
        control->setTransform(juce::AffineTransform::scale(scale));
    }
}
