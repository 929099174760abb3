#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A rotary-slider look whose whole face is one frame of a vertical film strip:
    frame 0 at the slider's minimum, the last frame at its maximum. */
class FilmStripKnobLook : public juce::LookAndFeel_V4
{
  public:
    /** Takes the strip's compiled-in PNG bytes and its frame geometry. */
    FilmStripKnobLook(const void* pngData, int pngSize, int frameWidth, int frameHeight, int numFrames);
    ~FilmStripKnobLook() override;

    /** Copies the frame for the slider's value one to one to the slider's knob area. */
    void drawRotarySlider(juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                          float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

    /** The frame shown for a value: the linear position taken up to the next whole frame. */
    static int frameIndexFor(double value, double minimum, double maximum, int numFrames);

    const int frameWidth, frameHeight, numFrames;

  private:
    juce::Image knobStrip;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FilmStripKnobLook)
};
