#pragma once

#include "processor/PluginProcessor.h"

#include <juce_events/juce_events.h>

#include <vector>

/** One processor for a whole fuzzing run, made inside a temporary home and prepared as a host
    prepares it, with the checks every input must pass. A failed check names itself and
    aborts, so that the fuzzer keeps the input. */
class FuzzedProcessor
{
  public:
    FuzzedProcessor();
    ~FuzzedProcessor();

    /** Puts back the state the processor was constructed with. */
    void restoreDefaults();

    /** Prepares again, at the rate and block size of the run. */
    void prepare();

    /** Every parameter finite and inside its range, normalised and in its own units. */
    void checkParameters();

    /** Runs a few blocks of a test signal and requires output within the loudest the chain makes
        of it at any settings. */
    void checkBlocks();

    /** The parameter values in their own units, in host order. */
    std::vector<float> parameterValues();

    /** Requires the values to match, within what a normalise and back may move a float. */
    void checkSameValues(const std::vector<float>& expected);

    juce::MemoryBlock saveState();

    static void require(bool condition, const char* what);

  private:
    const juce::File home;
    const juce::ScopedJuceInitialiser_GUI framework;

  public:
    ZiruzozodAudioProcessor processor;

  private:
    std::vector<juce::RangedAudioParameter*> parameters;
    juce::MemoryBlock defaultState;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    long long position = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FuzzedProcessor)
};
