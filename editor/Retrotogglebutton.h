#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** An on/off toggle drawn from a two-state picture, on in the top half and off below,
    stretched over the whole toggle; it follows the toggle state only. */
class Retrotogglebutton : public juce::ToggleButton
{
  public:
    /** The name becomes the component's name and the button's (undrawn) text. */
    explicit Retrotogglebutton(const juce::String& name);
    ~Retrotogglebutton() override;

    /** The two-state picture; empty draws nothing. */
    juce::Image buttonImage;

  protected:
    void paintButton(juce::Graphics&, bool shouldDrawButtonAsHighlighted,
                     bool shouldDrawButtonAsDown) override;

  private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(Retrotogglebutton)
};
