#pragma once

#include "LstmNetwork.h"

#include <juce_core/juce_core.h>

/** One network instance: an LSTM(40) + dense(40 to 1) network run sample by sample,
    with the input sample added to the network's output. One instance serves one channel:
    it carries its recurrent state from one call to the next. */
class RT_LSTM
{
  public:
    RT_LSTM() = default;

    /** Loads one model file; throws nlohmann::json's exceptions on malformed files. */
    void load_json(const juce::MemoryBlock& modelFile);

    /** Runs the 1-input network; input and output may be the same array. */
    void process(const float* input, float* output, int numSamples);

    /** Runs the 2-input network, with the conditioning value ramped over the call. */
    void process(const float* input, float condition, float* output, int numSamples);

    /** Whether this instance and other hold the same weights in the networks that the process
        calls run, so that processPair may run the two together. Compares every weight: for load
        time, not for the audio thread. */
    bool sharesWeightsWith(const RT_LSTM& other) const noexcept;

    /** Runs the 1-input networks of two instances that share weights (see sharesWeightsWith), each
        in place on its own channel, in one pass: every weight read serves both, and each channel
        gets bit for bit what its instance's own call gives. */
    static void processPair(RT_LSTM& left, RT_LSTM& right, float* leftSamples, float* rightSamples,
                            int numSamples);

    /** The same for the 2-input networks: each instance ramps from its own conditioning value, as
        in its own conditioned call. */
    static void processPair(RT_LSTM& left, RT_LSTM& right, float* leftSamples, float* rightSamples,
                            float condition, int numSamples);

    /** Clears the recurrent state of the network that input_size chooses. */
    void reset();

    int input_size = 1;

  private:
    /** Starts a conditioned call of numSamples towards condition; false for a call without
        samples, which only moves the value. */
    bool startConditionedCall(float condition, int numSamples) noexcept;

    /** Fills frame_2in for sample i of the current conditioned call. */
    void setFrame(float sample, int i, float condition) noexcept;

    float conditioning_value = 0.0f;
    float conditioning_step = 0.0f;
    bool conditioning_ramping = false;

    LstmNetwork<1> network_1in;
    LstmNetwork<2> network_2in;
    // Filled for input count 3 so such a file loads like the others; nothing runs it.
    LstmNetwork<3> network_3in;

    float frame_2in[2]{};
};
