// What the knobs, meters, buttons and toggles draw, and what they do when used.

#include "EditorTestSupport.h"
#include "processor/ParameterIds.h"

#include <BinaryData.h>

namespace
{
// Stacking-order indices of the editor's children.
enum Child
{
    drive = 0,
    intrim = 1,
    outtrim = 2,
    drymix = 3,
    lowPass = 4,
    boost = 6,
    nextPreset = 11,
    leftMeter = 12,
    rightMeter = 13,
    ultraMode = 15
};

juce::MouseEvent mouseEventOn(juce::Component& component, int clicks = 1)
{
    const auto now = juce::Time::getCurrentTime();
    return {juce::Desktop::getInstance().getMainMouseSource(),
            {},
            {},
            0.0f,
            0.0f,
            0.0f,
            0.0f,
            0.0f,
            &component,
            &component,
            now,
            {},
            now,
            clicks,
            false};
}

/** Stands for a plug-in window holder that deletes whatever children it still has, the last
    one first, when the host closes the window. */
struct DeletingHolder : juce::Component
{
    ~DeletingHolder() override { deleteAllChildren(); }
};
} // namespace

using EditorControls = EditorFixture;

TEST_F(EditorControls, KnobsShowTheFrameOfTheirValueTakenUpToTheNextWholeFrame)
{
    const struct
    {
        const char* id;
        Child knob;
        float value;
        int frame;
    } cases[] = {
        {ParameterIds::drive, drive, 0.1f, 0},         {ParameterIds::drive, drive, 0.55f, 32},
        {ParameterIds::drive, drive, 1.0f, 63},        {ParameterIds::inputTrim, intrim, 0.0f, 32},
        {ParameterIds::outputTrim, outtrim, 0.0f, 32}, {ParameterIds::dryMix, drymix, 0.0f, 0},
        {ParameterIds::dryMix, drymix, 0.1f, 1},       {ParameterIds::dryMix, drymix, 100.0f, 63},
        {ParameterIds::boost, boost, 3.0f, 3},         {ParameterIds::boost, boost, 4.0f, 4},
    };
    const std::map<Child, juce::Image> strips{
        {drive, picture(BinaryData::knob_drive_png, BinaryData::knob_drive_pngSize)},
        {intrim, picture(BinaryData::knob_intrim_png, BinaryData::knob_intrim_pngSize)},
        {outtrim, picture(BinaryData::knob_outtrim_png, BinaryData::knob_outtrim_pngSize)},
        {drymix, picture(BinaryData::knob_drymix_png, BinaryData::knob_drymix_pngSize)},
        {boost, picture(BinaryData::knob_boost_png, BinaryData::knob_boost_pngSize)},
    };

    openEditor();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String(c.id) + " at " + juce::String(c.value));
        setParameter(c.id, c.value);
        const int frames = c.knob == boost ? 5 : 64;
        EXPECT_EQ(frameShown(*controls()[(size_t)c.knob], strips.at(c.knob), frames), c.frame);
    }
}

TEST_F(EditorControls, EveryKnobFrameIsItsOwnPosition)
{
    // The tests above tell frames apart by their pixels, and the sweep must read on screen.
    // The meter never shows its frame 0, which is as dark as frame 1.
    const struct
    {
        juce::Image strip;
        int frames, firstShown;
    } strips[] = {
        {picture(BinaryData::knob_drive_png, BinaryData::knob_drive_pngSize), 64, 0},
        {picture(BinaryData::knob_boost_png, BinaryData::knob_boost_pngSize), 5, 0},
        {picture(BinaryData::knob_lowpass_png, BinaryData::knob_lowpass_pngSize), 64, 0},
        {picture(BinaryData::meter_png, BinaryData::meter_pngSize), 60, 1},
    };
    for (const auto& [strip, frames, firstShown] : strips)
    {
        const int h = strip.getHeight() / frames;
        for (int k = firstShown + 1; k < frames; ++k)
            EXPECT_FALSE(samePixels(strip.getClippedImage({0, (k - 1) * h, strip.getWidth(), h}),
                                    strip.getClippedImage({0, k * h, strip.getWidth(), h})))
                << "frames " << k - 1 << " and " << k << " of a " << frames << "-frame strip";
    }
}

TEST_F(EditorControls, MetersShowTheFrameAboveTheirLevel)
{
    const auto strip = picture(BinaryData::meter_png, BinaryData::meter_pngSize);
    openEditor();
    const std::pair<float, int> cases[] = {{0.0f, 1},
                                           {-0.5f, 1},
                                           {0.5f, 31},
                                           {0.97f, 59},
                                           {1.0f, 59},
                                           {3.0f, 59},
                                           {std::numeric_limits<float>::quiet_NaN(), 1},
                                           {std::numeric_limits<float>::infinity(), 59}};
    for (const auto& [level, frame] : cases)
    {
        SCOPED_TRACE(level);
        processor->outputLevelLeft = level;
        processor->outputLevelRight = 0.25f;
        EXPECT_EQ(frameShown(*controls()[leftMeter], strip, 60), frame);
        EXPECT_EQ(frameShown(*controls()[rightMeter], strip, 60), 16);
    }
}

TEST_F(EditorControls, AtSilenceBothMetersLightNoSegment)
{
    // A lit segment is bright; an unlit one, under the glass, stays dark.
    const auto litPixels = [this](Child meter)
    {
        auto& component = *controls()[meter];
        const auto snapshot = component.createComponentSnapshot(component.getLocalBounds(), true, 1.0f);
        const juce::Image::BitmapData pixels(snapshot, juce::Image::BitmapData::readOnly);
        int lit = 0;
        for (int y = 0; y < snapshot.getHeight(); ++y)
            for (int x = 0; x < snapshot.getWidth(); ++x)
            {
                const auto colour = pixels.getPixelColour(x, y);
                lit += colour.getFloatAlpha() * colour.getBrightness() > 0.35f ? 1 : 0;
            }
        return lit;
    };

    openEditor();
    EXPECT_EQ(litPixels(leftMeter), 0);
    EXPECT_EQ(litPixels(rightMeter), 0);

    // The smallest level that leaves the silent frame lights something.
    processor->outputLevelLeft = 1.0f / 60.0f;
    processor->outputLevelRight = 1.0f;
    EXPECT_GT(litPixels(leftMeter), 0);
    EXPECT_GT(litPixels(rightMeter), litPixels(leftMeter));
}

TEST_F(EditorControls, ControlsWithoutAPictureDrawNothing)
{
    const auto drawsNothing = [](juce::Component& c)
    {
        c.setSize(60, 60);
        return samePixels(c.createComponentSnapshot(c.getLocalBounds(), true, 1.0f),
                          juce::Image(juce::Image::ARGB, 60, 60, true));
    };

    std::atomic<float> level{0.5f};
    FilmStripComponent meter(level, 1.0f);
    EXPECT_TRUE(drawsNothing(meter));

    const char notAPicture[] = "not a picture";
    FilmStripKnobLook look(notAPicture, (int)sizeof(notAPicture), 60, 60, 64);
    juce::Slider knob(juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
    knob.setLookAndFeel(&look);
    knob.setValue(0.5);
    EXPECT_TRUE(drawsNothing(knob));
    knob.setLookAndFeel(nullptr);

    ZovidOziziveSimpleButton button("Save Button");
    Retrotogglebutton toggle("powerButton");
    EXPECT_TRUE(drawsNothing(button));
    EXPECT_TRUE(drawsNothing(toggle));
}

TEST_F(EditorControls, PresetButtonsShowThePressedHalfOnlyWhileHeldDown)
{
    const auto image = picture(BinaryData::button_save_png, BinaryData::button_save_pngSize);
    ZovidOziziveSimpleButton button("Save Button");
    button.buttonImage = image;
    button.setSize(60, 120); // the picture's own size: each state lands one to one in the top half
    const auto topHalf = [&button] { return button.createComponentSnapshot({0, 0, 60, 60}, true, 1.0f); };

    EXPECT_TRUE(samePixels(topHalf(), image.getClippedImage({0, 0, 60, 60})));
    button.setState(juce::Button::buttonOver);
    EXPECT_TRUE(samePixels(topHalf(), image.getClippedImage({0, 0, 60, 60})));
    button.setState(juce::Button::buttonDown);
    EXPECT_TRUE(samePixels(topHalf(), image.getClippedImage({0, 60, 60, 60})));
    EXPECT_TRUE(samePixels(button.createComponentSnapshot({0, 60, 60, 60}, true, 1.0f),
                           juce::Image(juce::Image::ARGB, 60, 60, true)));
}

TEST_F(EditorControls, TogglesShowTheirStateWhateverTheMouseDoes)
{
    const auto image = picture(BinaryData::toggle_power_png, BinaryData::toggle_power_pngSize);
    Retrotogglebutton toggle("powerButton");
    toggle.buttonImage = image;
    toggle.setSize(192, 175);
    for (const bool on : {true, false})
        for (const auto state : {juce::Button::buttonNormal, juce::Button::buttonDown})
        {
            toggle.setToggleState(on, juce::dontSendNotification);
            toggle.setState(state);
            EXPECT_TRUE(samePixels(toggle.createComponentSnapshot(toggle.getLocalBounds(), true, 1.0f),
                                   image.getClippedImage({0, on ? 0 : 175, 192, 175})))
                << (on ? "on" : "off") << ", state " << (int)state;
        }
}

TEST_F(EditorControls, OpeningChangesNoParameterAndTogglesFollowThem)
{
    setParameter(ParameterIds::autoGain, 1.0f);
    setParameter(ParameterIds::power, 0.0f);
    setParameter(ParameterIds::ultraMode, 1.0f);
    openEditor();
    EXPECT_TRUE(dynamic_cast<juce::Button*>(controls()[14])->getToggleState());
    EXPECT_FALSE(dynamic_cast<juce::Button*>(controls()[16])->getToggleState());
    EXPECT_TRUE(dynamic_cast<juce::Button*>(controls()[15])->getToggleState());
    EXPECT_EQ(parameterValue(ParameterIds::autoGain), 1.0f);
    EXPECT_EQ(parameterValue(ParameterIds::power), 0.0f);
    EXPECT_EQ(parameterValue(ParameterIds::ultraMode), 1.0f);
}

TEST_F(EditorControls, UltraModeStartsAFadeWhenItChangesAndWhenOpenedOff)
{
    setParameter(ParameterIds::ultraMode, 1.0f);
    processor->modelFadeCounter = 0;
    openEditor();
    EXPECT_EQ(processor->modelFadeCounter.load(), 0) << "opened with Ultra Mode on";
    closeEditor();

    setParameter(ParameterIds::ultraMode, 0.0f);
    openEditor();
    EXPECT_EQ(processor->modelFadeCounter.load(), 12) << "opened with Ultra Mode off";

    // Any change of the parameter while the editor is open (automation, a preset load) restarts
    // the fade, also in the middle of one; setting the value it already has does not.
    for (const float value : {1.0f, 0.0f})
    {
        processor->modelFadeCounter = 5;
        setParameter(ParameterIds::ultraMode, value);
        EXPECT_EQ(processor->modelFadeCounter.load(), 12) << value;
    }
    processor->modelFadeCounter = 5;
    setParameter(ParameterIds::ultraMode, 0.0f);
    EXPECT_EQ(processor->modelFadeCounter.load(), 5);
}

TEST_F(EditorControls, ARestoredStateStartsAFadeOnlyWhenItChangesUltraMode)
{
    setParameter(ParameterIds::ultraMode, 0.0f);
    juce::MemoryBlock ultraOff;
    processor->getStateInformation(ultraOff);
    setParameter(ParameterIds::ultraMode, 1.0f);
    openEditor();

    for (const int expected : {12, 5})
    {
        processor->modelFadeCounter = 5;
        processor->setStateInformation(ultraOff.getData(), (int)ultraOff.getSize());
        EXPECT_EQ(processor->modelFadeCounter.load(), expected);
    }
    EXPECT_FALSE(dynamic_cast<juce::Button*>(controls()[ultraMode])->getToggleState());
}

TEST_F(EditorControls, ADoubleClickReturnsAKnobToItsDefault)
{
    const struct
    {
        const char* id;
        Child knob;
        float moved, defaultValue;
    } cases[] = {{ParameterIds::drive, drive, 0.8f, 0.3f},
                 {ParameterIds::dryMix, drymix, 20.0f, 100.0f},
                 {ParameterIds::lowPass, lowPass, 5000.0f, 20000.0f},
                 {ParameterIds::boost, boost, 3.0f, 0.0f}};
    openEditor();
    for (const auto& c : cases)
    {
        setParameter(c.id, c.moved);
        auto& knob = *controls()[(size_t)c.knob];
        knob.mouseDoubleClick(mouseEventOn(knob, 2));
        EXPECT_FLOAT_EQ(parameterValue(c.id), c.defaultValue) << c.id;
    }
}

TEST_F(EditorControls, AClickWhereThePreviousAndNextButtonsOverlapGoesToNext)
{
    auto& editor = openEditor();
    editor.setVisible(true);
    for (const int width : {896, 2560})
    {
        editor.setSize(width, width * 1500 / 2560);
        const float s = (float)width / 2560.0f;
        const auto overlap = juce::Point<float>(1553.0f, 70.0f) * s;
        EXPECT_EQ(editor.getComponentAt(overlap.roundToInt()), controls()[nextPreset]) << width;
        // The lower half of a preset button shows nothing but still takes clicks.
        const auto lowerHalf = juce::Point<float>(1600.0f, 160.0f) * s;
        EXPECT_EQ(editor.getComponentAt(lowerHalf.roundToInt()), controls()[nextPreset]) << width;
    }
}

TEST_F(EditorControls, TheBubbleShowsTheKnobsTextToItsRightAndGoesWithThePointer)
{
    auto& editor = openEditor();
    editor.setSize(896, 525);
    auto& knob = dynamic_cast<FadeinPopupSlider&>(*controls()[intrim]);
    auto& bubble = knob.popup;
    setParameter(ParameterIds::inputTrim, 0.0f);
    EXPECT_EQ(knob.getTextFromValue(knob.getValue()),
              processor->apvts->getParameter(ParameterIds::inputTrim)->getCurrentValueAsText() + " dB");

    knob.mouseEnter(mouseEventOn(knob));
    EXPECT_EQ(bubble.getParentComponent(), &editor);
    EXPECT_EQ(controls().back(), &bubble) << "above every control and the resizer";
    EXPECT_TRUE(bubble.isVisible());
    EXPECT_TRUE(bubble.getTransform().isIdentity());
    const auto knobArea = editor.getLocalArea(&knob, knob.getLocalBounds());
    EXPECT_EQ(bubble.getBounds(),
              juce::Rectangle<int>(knobArea.getRight() - 5, knobArea.getCentreY() - 27, 99, 55));
    EXPECT_EQ(bubble.getAlpha(), 0.0f) << "fading in from transparent";
    bubble.animator.cancelAllAnimations(true);
    EXPECT_EQ(bubble.getAlpha(), 1.0f);

    knob.mouseExit(mouseEventOn(knob));
    EXPECT_FALSE(bubble.isVisible());
    EXPECT_EQ(bubble.getParentComponent(), nullptr);
}

TEST_F(EditorControls, ClosingTheWindowWhileABubbleIsUpDestroysTheBubbleOnce)
{
    // The holder deletes its remaining children, the editor among them; the bubble and the
    // snapshot of a running fade-out must not be among them.
    for (const bool fadingOut : {false, true})
    {
        auto holder = std::make_unique<DeletingHolder>();
        auto* editor = new ZiruzozodAudioProcessorEditor(*processor, settingsOptions());
        holder->addAndMakeVisible(editor);
        FadeinPopupSlider* bubbleKnob = nullptr;
        for (auto* child : editor->getChildren())
            if ((bubbleKnob = dynamic_cast<FadeinPopupSlider*>(child)) != nullptr)
                break;
        ASSERT_NE(bubbleKnob, nullptr);
        auto& knob = *bubbleKnob;
        knob.mouseEnter(mouseEventOn(knob));
        if (fadingOut)
        {
            knob.popup.animator.cancelAllAnimations(true);
            knob.mouseExit(mouseEventOn(knob));
            knob.mouseEnter(mouseEventOn(knob));
            knob.mouseExit(mouseEventOn(knob));
        }
        EXPECT_EQ(holder->getNumChildComponents(), 1);
        holder.reset();
    }
}
