#pragma once

#include <Eigen/Dense>

#include <cstddef>
#include <vector>

/** The network of one model file, LSTM(InputSize, 40) + dense(40 to 1) with the input added, as
    plain Eigen expressions on PyTorch's layout: the baseline that the kernels are measured and
    checked against. */
template <int InputSize> class ReferenceLstmNetwork
{
  public:
    static constexpr int numInputs = InputSize;
    static constexpr int numUnits = 40;
    static constexpr int numGateRows = 4 * numUnits;

    /** PyTorch's weight_ih: gate row r (i, f, g, o blocks of 40), input j. */
    void setInputWeights(const std::vector<std::vector<float>>& rows)
    {
        for (int r = 0; r < numGateRows; ++r)
            for (int j = 0; j < InputSize; ++j)
                inputWeights(r, j) = rows[(std::size_t)r][(std::size_t)j];
    }

    /** PyTorch's weight_hh: gate row r, hidden output j. */
    void setRecurrentWeights(const std::vector<std::vector<float>>& rows)
    {
        for (int r = 0; r < numGateRows; ++r)
            for (int j = 0; j < numUnits; ++j)
                recurrentWeights(r, j) = rows[(std::size_t)r][(std::size_t)j];
    }

    /** Sets the gate bias to the sum of PyTorch's two biases. */
    void setBias(const std::vector<float>& inputBias, const std::vector<float>& recurrentBias)
    {
        for (int r = 0; r < numGateRows; ++r)
            bias(r) = inputBias[(std::size_t)r] + recurrentBias[(std::size_t)r];
    }

    void setDenseWeights(const std::vector<float>& weights)
    {
        for (int j = 0; j < numUnits; ++j)
            denseWeights(j) = weights[(std::size_t)j];
    }

    void setDenseBias(float b) noexcept { denseBias = b; }

    /** Runs numFrames frames of InputSize values; output[t] is the network's output plus frame t's first
     * value. */
    void process(const float* frames, float* output, int numFrames) noexcept
    {
        for (int t = 0; t < numFrames; ++t)
        {
            const float* frame = frames + t * InputSize;
            const float skip = frame[0];
            step(Eigen::Map<const InputVector>(frame));
            output[t] = (denseWeights.dot(hidden) + denseBias) + skip;
        }
    }

    /** Clears the hidden outputs and cell values; the weights stay. */
    void reset() noexcept
    {
        hidden.setZero();
        cell.setZero();
    }

  private:
    using InputVector = Eigen::Matrix<float, InputSize, 1>;
    using HiddenVector = Eigen::Matrix<float, numUnits, 1>;
    using HiddenArray = Eigen::Array<float, numUnits, 1>;
    using GateVector = Eigen::Matrix<float, numGateRows, 1>;

    void step(const Eigen::Map<const InputVector>& x) noexcept
    {
        gates.noalias() = inputWeights * x + bias;
        gates.noalias() += recurrentWeights * hidden;

        const HiddenArray inputGate = gates.template segment<numUnits>(0).array().logistic();
        const HiddenArray forgetGate = gates.template segment<numUnits>(numUnits).array().logistic();
        const HiddenArray candidate = gates.template segment<numUnits>(2 * numUnits).array().tanh();
        const HiddenArray outputGate = gates.template segment<numUnits>(3 * numUnits).array().logistic();

        cell.array() = forgetGate * cell.array() + inputGate * candidate;
        hidden.array() = outputGate * cell.array().tanh();
    }

    Eigen::Matrix<float, numGateRows, InputSize> inputWeights = decltype(inputWeights)::Zero();
    Eigen::Matrix<float, numGateRows, numUnits> recurrentWeights = decltype(recurrentWeights)::Zero();
    GateVector bias = GateVector::Zero();
    HiddenVector denseWeights = HiddenVector::Zero();
    float denseBias = 0.0f;

    GateVector gates = GateVector::Zero();
    HiddenVector hidden = HiddenVector::Zero();
    HiddenVector cell = HiddenVector::Zero();
};
