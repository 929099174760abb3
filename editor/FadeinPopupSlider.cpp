#include "editor/FadeinPopupSlider.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
constexpr int fadeMilliseconds = 200;
const juce::Colour bubbleColour{0xff393730};
const juce::Colour textColour{0xffd7cbab};
} // namespace

FadeinPopupSlider::NumberPopup::NumberPopup(FadeinPopupSlider& knob) : owner(knob)
{
    setColour(backgroundColourId, bubbleColour);
    setColour(outlineColourId, bubbleColour);
    setAllowedPlacement(right);
    // Above the editor's corner resizer too, as over the window that holds the editor.
    setAlwaysOnTop(true);
    owner.addListener(this);
}

FadeinPopupSlider::NumberPopup::~NumberPopup()
{
    owner.removeListener(this);
}

void FadeinPopupSlider::NumberPopup::getContentSize(int& width, int& height)
{
    width = 69;
    height = 25;
}

void FadeinPopupSlider::NumberPopup::paintContent(juce::Graphics& g, int width, int height)
{
    g.setColour(textColour);
    g.drawFittedText(owner.getTextFromValue(owner.getValue()), 0, 0, width, height,
                     juce::Justification::centred, 1, 0.0f);
}

void FadeinPopupSlider::NumberPopup::sliderValueChanged(juce::Slider*)
{
    repaint();
}

//==============================================================================
FadeinPopupSlider::FadeinPopupSlider(juce::Slider::SliderStyle style,
                                     juce::Slider::TextEntryBoxPosition textBoxPosition)
    : juce::Slider(style, textBoxPosition), popup(*this)
{
}

FadeinPopupSlider::~FadeinPopupSlider() = default;

juce::Component* FadeinPopupSlider::getPopupHost()
{
    // Inside a plug-in the bubble lives in the editor, not in the window that holds it: some hosts'
    // holders delete all their children before the editor, which would delete the knob's bubble
    // (and the fade's snapshot) a second time. The editor is unscaled and covers the whole window.
    if (auto* editor = findParentComponentOfClass<juce::AudioProcessorEditor>())
        return editor;
    return getTopLevelComponent();
}

void FadeinPopupSlider::mouseEnter(const juce::MouseEvent&)
{
    auto* host = getPopupHost();
    if (popup.getParentComponent() != host)
        host->addChildComponent(popup);

    popup.setPosition(this);
    if (popup.isVisible() && juce::approximatelyEqual(popup.getAlpha(), 1.0f))
        return;

    popup.setAlpha(0.0f);
    popup.setVisible(true);
    popup.animator.animateComponent(&popup, popup.getBounds(), 1.0f, fadeMilliseconds, false, 1.0, 1.0);
}

void FadeinPopupSlider::mouseExit(const juce::MouseEvent&)
{
    if (popup.isShowing())
        popup.animator.animateComponent(&popup, popup.getBounds(), 0.0f, fadeMilliseconds, true, 1.0, 1.0);

    popup.setVisible(false);
    if (auto* parent = popup.getParentComponent())
        parent->removeChildComponent(&popup);
}
