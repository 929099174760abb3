#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>

/** A host parameter that keeps its value when it is given one that is not finite, and otherwise
    is the framework parameter it is made from: the same ID, name, range, default, texts and state.

    The framework's VST3 and LV2 clients pass a host's NaN through their clamps to the parameter
    and then tell every listener the value they were sent. Told a value that is not finite, this
    parameter tells its listeners at once the value it kept (so an editor never keeps the NaN),
    and tells them again from the message thread, where the plug-in clients pass it on to the host. */
class FiniteParameter final : public juce::RangedAudioParameter,
                              private juce::AudioProcessorParameter::Listener,
                              private juce::Timer
{
  public:
    explicit FiniteParameter(std::unique_ptr<juce::RangedAudioParameter> frameworkParameter);
    ~FiniteParameter() override;

    /** Takes a finite value as the framework parameter does; ignores any other. */
    void setValue(float newValue) override;

    float getValue() const override;
    float getDefaultValue() const override;
    int getNumSteps() const override;
    bool isDiscrete() const override;
    bool isBoolean() const override;
    juce::String getText(float normalisedValue, int maximumStringLength) const override;
    float getValueForText(const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override;

  private:
    void parameterValueChanged(int, float newValue) override;
    void parameterGestureChanged(int, bool) override {}
    void timerCallback() override;

    // Reached through the base class, where its overrides are public.
    std::unique_ptr<juce::RangedAudioParameter> framework;
    std::atomic<bool> hostToBeTold{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FiniteParameter)
};
