#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A momentary push button drawn from a two-state picture: at rest on top, pressed below.
    The state is drawn into the top half of the button; the lower half is clickable but bare. */
class ZovidOziziveSimpleButton : public juce::Button
{
  public:
    /** The name becomes the component's name and the button's (undrawn) text. */
    explicit ZovidOziziveSimpleButton(const juce::String& name);
    ~ZovidOziziveSimpleButton() override;

    /** The two-state picture; empty draws nothing. */
    juce::Image buttonImage;

  protected:
    void paintButton(juce::Graphics&, bool shouldDrawButtonAsHighlighted,
                     bool shouldDrawButtonAsDown) override;

  private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ZovidOziziveSimpleButton)
};
