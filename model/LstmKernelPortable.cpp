#include "LstmKernelEntries.h"
#include "TanhApproximation.h"

#include <cstring>

// Plain loops over fixed sizes, shaped for the compiler's vectoriser (four-lane SSE2 on baseline
// x86-64) and portable as they stand. The build compiles this file without trapping maths, so
// that the vectoriser may evaluate both sides of the activation's selects on every lane.

namespace lstm_portable
{
namespace
{
inline float activation(float x) noexcept
{
    using namespace tanh_approximation;
    // The quotient of the input as it is, replaced by ±1 beyond the clamp: exactly what the
    // quotient of the clamped input gives there, for two selects where clamping takes four.
    // A NaN fails both comparisons and passes through.
    const float s = x * x;
    const float p = (((p4 * s + p3) * s + p2) * s + p1) * s + 1.0f;
    const float q = (((q4 * s + q3) * s + q2) * s + q1) * s + 1.0f;
    const float quotient = x * p / q;
    const float belowUpper = x > clamp ? 1.0f : quotient;
    return x < -clamp ? -1.0f : belowUpper;
}

constexpr int unitsPerBlock = lstmUnitsPerBlock;
constexpr int blockRows = 4 * unitsPerBlock;
// Gate sums in flight: 8 four-lane vectors, half of SSE2's 16 registers.
constexpr int sumsInFlight = 32;

template <unsigned Rows, int InputSize>
inline void startSums(const LstmWeights<InputSize>& w, int firstRow, const float* frame,
                      float (&sums)[Rows]) noexcept
{
    for (int r = 0; r < (int)Rows; ++r)
    {
        float g = w.bias[firstRow + r];
        for (int n = 0; n < InputSize; ++n)
            g += frame[n] * w.input[n][firstRow + r];
        sums[r] = g;
    }
}

/** One channel's gate sums, a block of rows at a time; each hidden output is broadcast as it
    is used. */
template <int InputSize>
inline void gateSums(const LstmWeights<InputSize>& w, const float* frame, const float (&hidden)[lstmUnits],
                     float (&gates)[lstmGateRows]) noexcept
{
    constexpr unsigned rows = sumsInFlight;
    for (int firstRow = 0; firstRow < lstmGateRows; firstRow += (int)rows)
    {
        float sums[rows];
        startSums(w, firstRow, frame, sums);
        for (int j = 0; j < lstmUnits; ++j)
        {
            const float h = hidden[j];
            for (int r = 0; r < (int)rows; ++r)
                sums[r] += h * w.recurrent[j][firstRow + r];
        }
        std::memcpy(gates + firstRow, sums, sizeof sums);
    }
}

/** Two channels' gate sums, half a block of rows at a time, so that each weight vector loaded
    serves both. The hidden outputs come in four copies each, read as one vector: broadcasting
    them here would cost a shuffle per channel for every 4 multiply-adds. */
template <int InputSize>
inline void gateSums(const LstmWeights<InputSize>& w, const float* const (&frames)[2],
                     const float (&hidden)[2][lstmUnits][4], float (&gates)[2][lstmGateRows]) noexcept
{
    constexpr unsigned rows = sumsInFlight / 2;
    for (int firstRow = 0; firstRow < lstmGateRows; firstRow += (int)rows)
    {
        float sums[2][rows];
        for (int c = 0; c < 2; ++c)
            startSums(w, firstRow, frames[c], sums[c]);
        for (int j = 0; j < lstmUnits; ++j)
            for (int c = 0; c < 2; ++c)
                for (int v = 0; v < (int)rows / 4; ++v)
                    for (int k = 0; k < 4; ++k)
                        sums[c][4 * v + k] += hidden[c][j][k] * w.recurrent[j][firstRow + 4 * v + k];
        for (int c = 0; c < 2; ++c)
            std::memcpy(gates[c] + firstRow, sums[c], sizeof sums[c]);
    }
}

/** Ends one channel's step from its gate sums: new cell values and hidden outputs; returns the
    dense layer's output. */
template <int InputSize>
inline float finishStep(const LstmWeights<InputSize>& w, LstmState& s, float (&gates)[lstmGateRows]) noexcept
{
    for (int r = 0; r < lstmGateRows; ++r)
        gates[r] = activation(gates[r]);

    float cell[lstmUnits], outputGate[lstmUnits];
    std::memcpy(cell, s.cell, sizeof cell);
    for (int b = 0; b < lstmBlocks; ++b)
        for (int u = 0; u < unitsPerBlock; ++u)
        {
            const float* g = gates + b * blockRows + u;
            const float inputGate = 0.5f * g[0] + 0.5f;
            const float forgetGate = 0.5f * g[unitsPerBlock] + 0.5f;
            const float candidate = g[2 * unitsPerBlock];
            const int unit = b * unitsPerBlock + u;
            cell[unit] = forgetGate * cell[unit] + inputGate * candidate;
            outputGate[unit] = 0.5f * g[3 * unitsPerBlock] + 0.5f;
        }

    float hidden[lstmUnits];
    for (int k = 0; k < lstmUnits; ++k)
        hidden[k] = outputGate[k] * activation(cell[k]);
    std::memcpy(s.cell, cell, sizeof cell);
    std::memcpy(s.hidden, hidden, sizeof hidden);

    // The dense layer in one sum per lane of a block, added up at the end.
    float y[unitsPerBlock];
    for (int u = 0; u < unitsPerBlock; ++u)
        y[u] = hidden[u] * w.dense[u];
    for (int b = 1; b < lstmBlocks; ++b)
        for (int u = 0; u < unitsPerBlock; ++u)
            y[u] += hidden[b * unitsPerBlock + u] * w.dense[b * unitsPerBlock + u];
    static_assert(unitsPerBlock == 8);
    return (((y[0] + y[1]) + (y[2] + y[3])) + ((y[4] + y[5]) + (y[6] + y[7]))) + w.denseBias;
}
} // namespace

template <int InputSize>
void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
         int numFrames) noexcept
{
    for (int t = 0; t < numFrames; ++t)
    {
        const float* frame = frames + t * InputSize;
        const float skip = frame[0];

        float hidden[lstmUnits];
        std::memcpy(hidden, s.hidden, sizeof hidden);
        float gates[lstmGateRows];
        gateSums(w, frame, hidden, gates);
        output[t] = finishStep(w, s, gates) + skip;
    }
}

template <int InputSize>
void runPair(const LstmWeights<InputSize>& w, LstmChannel left, LstmChannel right, int numFrames) noexcept
{
    LstmState* const states[] = {&left.state, &right.state};
    for (int t = 0; t < numFrames; ++t)
    {
        const float* const frames[] = {left.frames + t * InputSize, right.frames + t * InputSize};
        const float skips[] = {frames[0][0], frames[1][0]};

        float hidden[2][lstmUnits][4];
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < lstmUnits; ++j)
                for (int k = 0; k < 4; ++k)
                    hidden[c][j][k] = states[c]->hidden[j];
        float gates[2][lstmGateRows];
        gateSums(w, frames, hidden, gates);
        left.output[t] = finishStep(w, left.state, gates[0]) + skips[0];
        right.output[t] = finishStep(w, right.state, gates[1]) + skips[1];
    }
}

template void run<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template void run<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;
template void runPair<1>(const LstmWeights<1>&, LstmChannel, LstmChannel, int) noexcept;
template void runPair<2>(const LstmWeights<2>&, LstmChannel, LstmChannel, int) noexcept;

void tanh(const float* in, float* out, int n) noexcept
{
    for (int i = 0; i < n; ++i)
        out[i] = activation(in[i]);
}
} // namespace lstm_portable
