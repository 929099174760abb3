#pragma once

#include <Eigen/Dense>

/** A dense layer from InputSize values to one output: weights · input + bias. */
template <int InputSize>
class DenseLayer
{
public:
    using InputVector = Eigen::Matrix<float, InputSize, 1>;

    void setWeights(const InputVector& w) { weights = w; }
    void setBias(float b) noexcept { bias = b; }

    float forward(const InputVector& x) const noexcept { return weights.dot(x) + bias; }

private:
    InputVector weights = InputVector::Zero();
    float bias = 0.0f;
};
