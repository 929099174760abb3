#include "FiniteParameter.h"

#include <cmath>

namespace
{
juce::AudioProcessorParameterWithIDAttributes attributesOf(const juce::RangedAudioParameter& p)
{
    return juce::AudioProcessorParameterWithIDAttributes()
        .withLabel(p.label)
        .withCategory(p.category)
        .withMeta(p.isMetaParameter())
        .withAutomatable(p.isAutomatable())
        .withInverted(p.isOrientationInverted());
}
} // namespace

FiniteParameter::FiniteParameter(std::unique_ptr<juce::RangedAudioParameter> frameworkParameter)
    : RangedAudioParameter(
          juce::ParameterID{frameworkParameter->paramID, frameworkParameter->getVersionHint()},
          frameworkParameter->name, attributesOf(*frameworkParameter)),
      framework(std::move(frameworkParameter))
{
    // First of the listeners, so told last: after every other listener has heard the value sent.
    addListener(this);
    startTimer(100);
}

FiniteParameter::~FiniteParameter()
{
    stopTimer();
    removeListener(this);
}

void FiniteParameter::setValue(float newValue)
{
    if (std::isfinite(newValue))
        framework->setValue(newValue);
}

void FiniteParameter::parameterValueChanged(int, float newValue)
{
    if (std::isfinite(newValue))
        return;

    sendValueChangedMessageToListeners(getValue());
    hostToBeTold = true;
}

// The clients ignore what they hear while they set a parameter themselves, so the host learns
// the kept value only from a notification of our own, outside their call.
void FiniteParameter::timerCallback()
{
    if (hostToBeTold.exchange(false))
        sendValueChangedMessageToListeners(getValue());
}

float FiniteParameter::getValue() const
{
    return framework->getValue();
}
float FiniteParameter::getDefaultValue() const
{
    return framework->getDefaultValue();
}
int FiniteParameter::getNumSteps() const
{
    return framework->getNumSteps();
}
bool FiniteParameter::isDiscrete() const
{
    return framework->isDiscrete();
}
bool FiniteParameter::isBoolean() const
{
    return framework->isBoolean();
}
juce::String FiniteParameter::getText(float normalisedValue, int maximumStringLength) const
{
    return framework->getText(normalisedValue, maximumStringLength);
}
float FiniteParameter::getValueForText(const juce::String& text) const
{
    return framework->getValueForText(text);
}
const juce::NormalisableRange<float>& FiniteParameter::getNormalisableRange() const
{
    return framework->getNormalisableRange();
}
