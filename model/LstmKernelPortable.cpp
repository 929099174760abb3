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

/** One channel's gate sums, a block of rows at a time. */
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

/** One step of one channel. */
template <int InputSize>
inline void step(const LstmWeights<InputSize>& w, LstmState& s, const float* frame, float* output) noexcept
{
    const float skip = frame[0];
    float hidden[lstmUnits];
    std::memcpy(hidden, s.hidden, sizeof hidden);
    float gates[lstmGateRows];
    gateSums(w, frame, hidden, gates);
    *output = finishStep(w, s, gates) + skip;
}
} // namespace

template <int InputSize>
void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
         int numFrames) noexcept
{
    for (int t = 0; t < numFrames; ++t)
        step(w, s, frames + t * InputSize, output + t);
}

// Here the pair runs the two channels step by step, each through the whole of the weights: the
// loop is bound by its multiplies and adds, which no sharing of loads reduces, and a pass with
// both channels' sums in flight measured slower than one channel alone.
template <int InputSize>
void runPair(const LstmWeights<InputSize>& w, LstmChannel left, LstmChannel right, int numFrames) noexcept
{
    for (int t = 0; t < numFrames; ++t)
    {
        step(w, left.state, left.frames + t * InputSize, left.output + t);
        step(w, right.state, right.frames + t * InputSize, right.output + t);
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
