#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

/** A level meter: shows a published level as one frame of a vertical film strip,
    redrawn every 33 ms whatever the level does. */
class FilmStripComponent : public juce::Component, private juce::Timer
{
  public:
    /** Shows the level, which must outlive the meter, drawn at the given opacity. */
    FilmStripComponent(std::atomic<float>& level, float opacity);
    ~FilmStripComponent() override;

    /** Sets the strip and its frame count (at least 1) and starts the redraws. */
    void setFilmstrip(juce::Image strip, unsigned long numFrames);

    /** The frame shown for a level: one above the truncated product, at most the last. */
    static int frameIndexFor(float level, unsigned long numFrames);

    void paint(juce::Graphics&) override;

  private:
    void timerCallback() override;

    std::atomic<float>* level;
    juce::Image filmstrip;
    unsigned long numFrames = 0;
    float opacity;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FilmStripComponent)
};
