#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A rotary knob that shows its value text in a bubble to its right while the pointer is over it;
    the bubble fades in and out over 200 ms and follows every value change. */
class FadeinPopupSlider : public juce::Slider
{
  public:
    /** A knob of the given style and text-box position; the bubble starts hidden. */
    FadeinPopupSlider(juce::Slider::SliderStyle style, juce::Slider::TextEntryBoxPosition textBoxPosition);
    ~FadeinPopupSlider() override;

    void mouseEnter(const juce::MouseEvent&) override;
    void mouseExit(const juce::MouseEvent&) override;

    /** The bubble: 69 x 25 of text, always placed to the right of its knob. */
    class NumberPopup : public juce::BubbleComponent, private juce::Slider::Listener
    {
      public:
        /** Listens to the knob, which owns the bubble. */
        explicit NumberPopup(FadeinPopupSlider& owner);
        ~NumberPopup() override;

        void getContentSize(int& width, int& height) override;
        void paintContent(juce::Graphics&, int width, int height) override;

        /** Runs the fades. */
        juce::ComponentAnimator animator;

      private:
        void sliderValueChanged(juce::Slider*) override;

        FadeinPopupSlider& owner;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(NumberPopup)
    };

    /** The component the bubble is shown in while the pointer is over the knob. */
    juce::Component* getPopupHost();

    NumberPopup popup;

  private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FadeinPopupSlider)
};
