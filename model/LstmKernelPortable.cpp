#include "LstmKernelEntries.h"
#include "TanhApproximation.h"

#include <cstring>

// Four-lane vectors of the compiler's vector extension: SSE2 on baseline x86-64, NEON on ARM.
// Written out rather than left to the auto-vectoriser, which keeps neither the gate sums in
// registers nor the activation's selects branch-free.

namespace lstm_portable
{
namespace
{
using Float4 = float __attribute__((vector_size(16)));
constexpr int lanes = 4;

inline Float4 broadcast(float v) noexcept
{
    return Float4{v, v, v, v};
}

inline Float4 load(const float* p) noexcept
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float* p, Float4 v) noexcept
{
    std::memcpy(p, &v, sizeof v);
}

inline Float4 tanh4(Float4 x) noexcept
{
    using namespace tanh_approximation;
    // A NaN fails both comparisons and passes through.
    x = x > broadcast(clamp) ? broadcast(clamp) : x;
    x = x < broadcast(-clamp) ? broadcast(-clamp) : x;
    const Float4 s = x * x;
    const Float4 p = (((p4 * s + p3) * s + p2) * s + p1) * s + 1.0f;
    const Float4 q = (((q4 * s + q3) * s + q2) * s + q1) * s + 1.0f;
    return x * p / q;
}

inline Float4 sigmoidOfHalved(Float4 x) noexcept
{
    return 0.5f * tanh4(x) + 0.5f;
}
} // namespace

// One block of 8 units at a time: its 32 gate rows fill 8 of the 16 vector registers.
template <int InputSize>
void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
         int numFrames) noexcept
{
    constexpr int blockRows = 4 * lstmUnitsPerBlock;
    constexpr int vectorsPerGate = lstmUnitsPerBlock / lanes;
    constexpr int vectors = blockRows / lanes;

    for (int t = 0; t < numFrames; ++t)
    {
        const float* frame = frames + t * InputSize;
        const float skip = frame[0];

        // The step's new outputs; later blocks still read the previous ones.
        float hidden[lstmUnits];
        Float4 y = broadcast(0.0f);

        for (int b = 0; b < lstmBlocks; ++b)
        {
            const int row = b * blockRows;
            Float4 gates[vectors];
            for (int v = 0; v < vectors; ++v)
            {
                gates[v] = load(w.bias + row + v * lanes);
                for (int n = 0; n < InputSize; ++n)
                    gates[v] += broadcast(frame[n]) * load(w.input[n] + row + v * lanes);
            }

            for (int j = 0; j < lstmUnits; ++j)
            {
                const Float4 h = broadcast(s.hidden[j]);
                for (int v = 0; v < vectors; ++v)
                    gates[v] += h * load(w.recurrent[j] + row + v * lanes);
            }

            for (int v = 0; v < vectorsPerGate; ++v)
            {
                const Float4 inputGate = sigmoidOfHalved(gates[v]);
                const Float4 forgetGate = sigmoidOfHalved(gates[vectorsPerGate + v]);
                const Float4 candidate = tanh4(gates[2 * vectorsPerGate + v]);
                const Float4 outputGate = sigmoidOfHalved(gates[3 * vectorsPerGate + v]);

                float* cellPtr = s.cell + b * lstmUnitsPerBlock + v * lanes;
                const Float4 cell = forgetGate * load(cellPtr) + inputGate * candidate;
                store(cellPtr, cell);
                const Float4 h = outputGate * tanh4(cell);
                store(hidden + b * lstmUnitsPerBlock + v * lanes, h);
                y += h * load(w.dense + b * lstmUnitsPerBlock + v * lanes);
            }
        }

        std::memcpy(s.hidden, hidden, sizeof hidden);
        output[t] = ((y[0] + y[1]) + (y[2] + y[3]) + w.denseBias) + skip;
    }
}

template void run<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template void run<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;

void tanh(const float* in, float* out, int n) noexcept
{
    for (int i = 0; i < n; i += lanes)
    {
        const int count = n - i < lanes ? n - i : lanes;
        float values[lanes]{};
        std::memcpy(values, in + i, (size_t)count * sizeof(float));
        store(values, tanh4(load(values)));
        std::memcpy(out + i, values, (size_t)count * sizeof(float));
    }
}
} // namespace lstm_portable
