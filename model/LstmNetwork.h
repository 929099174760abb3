#pragma once

#include "LstmKernels.h"

#include <cstddef>
#include <cstring>
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

    /** Runs two networks that hold the same weights (see hasSameWeightsAs) in one pass, each on
        its own state, frames and output: bit for bit what each network's own process call gives. */
    static void processPair(LstmNetwork& left, const float* leftFrames, float* leftOutput, LstmNetwork& right,
                            const float* rightFrames, float* rightOutput, int numFrames) noexcept
    {
        LstmKernels::processPair(left.weights, {left.state, leftFrames, leftOutput},
                                 {right.state, rightFrames, rightOutput}, numFrames);
    }

    /** Whether the two networks' weights are the same, bit for bit. */
    bool hasSameWeightsAs(const LstmNetwork& other) const noexcept
    {
        const auto& a = weights;
        const auto& b = other.weights;
        return sameBits(a.recurrent, b.recurrent) && sameBits(a.input, b.input) && sameBits(a.bias, b.bias) &&
               sameBits(a.dense, b.dense) && sameBits(a.denseBias, b.denseBias);
    }

    /** Clears the hidden outputs and cell values; the weights stay. */
    void reset() noexcept { state = {}; }

  private:
    template <class T> static bool sameBits(const T& a, const T& b) noexcept
    {
        return std::memcmp(&a, &b, sizeof(T)) == 0;
    }

    LstmWeights<InputSize> weights;
    LstmState state;
};
