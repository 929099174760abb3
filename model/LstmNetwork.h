#pragma once

#include "DenseLayer.h"
#include "LstmLayer.h"

/** LSTM(InputSize, 40) followed by dense(40 to 1): the network of one model file. */
template <int InputSize>
struct LstmNetwork
{
    static constexpr int hiddenSize = 40;

    LstmLayer<InputSize, hiddenSize> lstm;
    DenseLayer<hiddenSize> dense;

    /** One step: reads InputSize values, returns the network's output. */
    float forward(const float* input)
    {
        lstm.forward(Eigen::Map<const typename decltype(lstm)::InputVector>(input));
        return dense.forward(lstm.outputs());
    }

    void reset() { lstm.reset(); }
};
