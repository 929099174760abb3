#pragma once

#include "LstmKernels.h"

#include <cstddef>
#include <vector>

/** The network of one model file, LSTM(InputSize, 40) + dense(40 to 1) with the input added,
    run by the active kernel. The setters take PyTorch's layout and lay the weights out once in
    the kernels' order. */
template <int InputSize> class LstmNetwork
{
  public:
    static constexpr int numInputs = InputSize;
    static constexpr int numUnits = lstmUnits;
    static constexpr int numGateRows = lstmGateRows;

    /** PyTorch's weight_ih: gate row r (i, f, g, o blocks of 40), input j. */
    void setInputWeights(const std::vector<std::vector<float>>& rows)
    {
        for (int r = 0; r < numGateRows; ++r)
            for (int j = 0; j < InputSize; ++j)
                weights.input[j][lstmKernelRow(r)] = lstmRowScale(r) * rows[(std::size_t)r][(std::size_t)j];
    }

    /** PyTorch's weight_hh: gate row r, hidden output j. */
    void setRecurrentWeights(const std::vector<std::vector<float>>& rows)
    {
        for (int r = 0; r < numGateRows; ++r)
            for (int j = 0; j < numUnits; ++j)
                weights.recurrent[j][lstmKernelRow(r)] =
                    lstmRowScale(r) * rows[(std::size_t)r][(std::size_t)j];
    }

    /** Sets the gate bias to the sum of PyTorch's two biases. */
    void setBias(const std::vector<float>& inputBias, const std::vector<float>& recurrentBias)
    {
        for (int r = 0; r < numGateRows; ++r)
            weights.bias[lstmKernelRow(r)] =
                lstmRowScale(r) * (inputBias[(std::size_t)r] + recurrentBias[(std::size_t)r]);
    }

    void setDenseWeights(const std::vector<float>& dense)
    {
        for (int j = 0; j < numUnits; ++j)
            weights.dense[j] = dense[(std::size_t)j];
    }

    void setDenseBias(float b) noexcept { weights.denseBias = b; }

    /** Runs numFrames frames of InputSize values; output[t] is the network's output plus frame t's
        first value. With one input, frames and output may be the same array. */
    void process(const float* frames, float* output, int numFrames) noexcept
    {
        LstmKernels::process(weights, state, frames, output, numFrames);
    }

    /** Clears the hidden outputs and cell values; the weights stay. */
    void reset() noexcept { state = {}; }

  private:
    LstmWeights<InputSize> weights;
    LstmState state;
};
