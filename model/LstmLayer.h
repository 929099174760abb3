#pragma once

#include <Eigen/Dense>

/** One LSTM layer of fixed size, in PyTorch's conventions: four gate blocks of
    HiddenSize rows in the order input, forget, cell candidate, output. */
template <int InputSize, int HiddenSize>
class LstmLayer
{
public:
    static constexpr int numInputs = InputSize;
    static constexpr int numUnits = HiddenSize;
    static constexpr int numGateRows = 4 * HiddenSize;

    using InputVector = Eigen::Matrix<float, InputSize, 1>;
    using HiddenVector = Eigen::Matrix<float, HiddenSize, 1>;
    using GateVector = Eigen::Matrix<float, numGateRows, 1>;
    using InputWeights = Eigen::Matrix<float, numGateRows, InputSize>;
    using RecurrentWeights = Eigen::Matrix<float, numGateRows, HiddenSize>;

    LstmLayer() { reset(); }

    /** Sets the input weights: row r is gate row r, column j is input j. */
    void setInputWeights(const InputWeights& w) { inputWeights = w; }

    /** Sets the recurrent weights: row r is gate row r, column j is hidden output j. */
    void setRecurrentWeights(const RecurrentWeights& w) { recurrentWeights = w; }

    /** Sets the gate bias (the sum of PyTorch's two biases). */
    void setBias(const GateVector& b) { bias = b; }

    /** Clears the hidden outputs and cell values; the weights stay. */
    void reset()
    {
        hidden.setZero();
        cell.setZero();
    }

    /** Advances the state by one step. */
    void forward(const InputVector& x)
    {
        gates.noalias() = inputWeights * x + bias;
        gates.noalias() += recurrentWeights * hidden;

        const HiddenArray inputGate = gates.template segment<HiddenSize>(0).array().logistic();
        const HiddenArray forgetGate = gates.template segment<HiddenSize>(HiddenSize).array().logistic();
        const HiddenArray candidate = gates.template segment<HiddenSize>(2 * HiddenSize).array().tanh();
        const HiddenArray outputGate = gates.template segment<HiddenSize>(3 * HiddenSize).array().logistic();

        cell.array() = forgetGate * cell.array() + inputGate * candidate;
        hidden.array() = outputGate * cell.array().tanh();
    }

    const HiddenVector& outputs() const noexcept { return hidden; }
    const HiddenVector& cells() const noexcept { return cell; }

private:
    using HiddenArray = Eigen::Array<float, HiddenSize, 1>;

    InputWeights inputWeights = InputWeights::Zero();
    RecurrentWeights recurrentWeights = RecurrentWeights::Zero();
    GateVector bias = GateVector::Zero();

    GateVector gates;
    HiddenVector hidden;
    HiddenVector cell;
};
