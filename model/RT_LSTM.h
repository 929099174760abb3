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

    /** Clears the recurrent state of the network that input_size chooses. */
    void reset();

    int input_size = 1;

  private:
    float conditioning_value = 0.0f;
    float conditioning_step = 0.0f;
    bool conditioning_ramping = false;

    LstmNetwork<1> network_1in;
    LstmNetwork<2> network_2in;
    // Filled for input count 3 so such a file loads like the others; nothing runs it.
    LstmNetwork<3> network_3in;

    float frame_2in[2]{};
};
