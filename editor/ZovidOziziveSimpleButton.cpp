#include "editor/ZovidOziziveSimpleButton.h"

ZovidOziziveSimpleButton::ZovidOziziveSimpleButton(const juce::String& name) : juce::Button(name) {}

ZovidOziziveSimpleButton::~ZovidOziziveSimpleButton() = default;

void ZovidOziziveSimpleButton::paintButton(juce::Graphics& g, bool, bool shouldDrawButtonAsDown)
{
    if (!buttonImage.isValid())
        return;

    const int half = buttonImage.getHeight() / 2;
    g.drawImage(buttonImage, 0, 0, getWidth(), getHeight() / 2, 0, shouldDrawButtonAsDown ? half : 0,
                buttonImage.getWidth(), half);
}
