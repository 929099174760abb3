#include "editor/Retrotogglebutton.h"

Retrotogglebutton::Retrotogglebutton(const juce::String& name) : juce::ToggleButton(name) {}

Retrotogglebutton::~Retrotogglebutton() = default;

void Retrotogglebutton::paintButton(juce::Graphics& g, bool, bool)
{
    if (!buttonImage.isValid())
        return;

    const int half = buttonImage.getHeight() / 2;
    g.drawImage(buttonImage, 0, 0, getWidth(), getHeight(), 0, getToggleState() ? 0 : half,
                buttonImage.getWidth(), half);
}
