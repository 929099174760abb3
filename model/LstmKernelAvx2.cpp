#include "LstmKernelEntries.h"

#if BRIMWELL_X86_KERNELS

#include "TanhApproximation.h"

#include <immintrin.h>

#include <cstring>

namespace lstm_avx2
{
namespace
{
BRIMWELL_AVX2 inline __m256 tanh8(__m256 x) noexcept
{
    using namespace tanh_approximation;
    // min and max return their second operand for a NaN, which lets it through.
    x = _mm256_min_ps(_mm256_set1_ps(clamp), x);
    x = _mm256_max_ps(_mm256_set1_ps(-clamp), x);
    const __m256 s = _mm256_mul_ps(x, x);
    const __m256 one = _mm256_set1_ps(1.0f);
    __m256 p = _mm256_fmadd_ps(_mm256_set1_ps(p4), s, _mm256_set1_ps(p3));
    __m256 q = _mm256_fmadd_ps(_mm256_set1_ps(q4), s, _mm256_set1_ps(q3));
    p = _mm256_fmadd_ps(p, s, _mm256_set1_ps(p2));
    q = _mm256_fmadd_ps(q, s, _mm256_set1_ps(q2));
    p = _mm256_fmadd_ps(p, s, _mm256_set1_ps(p1));
    q = _mm256_fmadd_ps(q, s, _mm256_set1_ps(q1));
    p = _mm256_fmadd_ps(p, s, one);
    q = _mm256_fmadd_ps(q, s, one);
    return _mm256_div_ps(_mm256_mul_ps(x, p), q);
}

BRIMWELL_AVX2 inline __m256 sigmoidOfHalved(__m256 x) noexcept
{
    const __m256 half = _mm256_set1_ps(0.5f);
    return _mm256_fmadd_ps(tanh8(x), half, half);
}

BRIMWELL_AVX2 inline float sum(__m256 v) noexcept
{
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    s = _mm_add_ps(s, _mm_movehl_ps(s, s));
    s = _mm_add_ss(s, _mm_movehdup_ps(s));
    return _mm_cvtss_f32(s);
}

/** Advances the blocks from FirstBlock on by one step: their 4 gate vectors each (i, f, g, o of 8
    units), in partial sums over alternate hidden outputs so that 8 chains of multiply-adds run
    side by side. Writes the blocks' new outputs to newHidden and adds their share of the dense
    layer to y. */
template <int FirstBlock, int NumBlocks, int InputSize>
BRIMWELL_AVX2 inline void advanceBlocks(const LstmWeights<InputSize>& w, LstmState& s, const float* frame,
                                        float* newHidden, __m256& y) noexcept
{
    constexpr int lanes = 8;
    constexpr int vectors = 4 * NumBlocks;
    constexpr int partials = 8 / vectors;
    constexpr int firstRow = FirstBlock * 4 * lanes;

    __m256 gates[(unsigned)partials][(unsigned)vectors];
    for (int v = 0; v < vectors; ++v)
    {
        gates[0][v] = _mm256_loadu_ps(w.bias + firstRow + v * lanes);
        for (int n = 0; n < InputSize; ++n)
            gates[0][v] = _mm256_fmadd_ps(_mm256_set1_ps(frame[n]),
                                          _mm256_loadu_ps(w.input[n] + firstRow + v * lanes), gates[0][v]);
        for (int p = 1; p < partials; ++p)
            gates[p][v] = _mm256_setzero_ps();
    }

    for (int j = 0; j < lstmUnits; j += partials)
        for (int p = 0; p < partials; ++p)
        {
            const __m256 h = _mm256_broadcast_ss(s.hidden + j + p);
            for (int v = 0; v < vectors; ++v)
                gates[p][v] = _mm256_fmadd_ps(h, _mm256_loadu_ps(w.recurrent[j + p] + firstRow + v * lanes),
                                              gates[p][v]);
        }

    for (int p = 1; p < partials; ++p)
        for (int v = 0; v < vectors; ++v)
            gates[0][v] = _mm256_add_ps(gates[0][v], gates[p][v]);

    for (int b = 0; b < NumBlocks; ++b)
    {
        const __m256* g = gates[0] + 4 * b;
        const __m256 inputGate = sigmoidOfHalved(g[0]);
        const __m256 forgetGate = sigmoidOfHalved(g[1]);
        const __m256 candidate = tanh8(g[2]);
        const __m256 outputGate = sigmoidOfHalved(g[3]);

        const int unit = (FirstBlock + b) * lanes;
        const __m256 cell =
            _mm256_fmadd_ps(forgetGate, _mm256_loadu_ps(s.cell + unit), _mm256_mul_ps(inputGate, candidate));
        _mm256_storeu_ps(s.cell + unit, cell);
        const __m256 h = _mm256_mul_ps(outputGate, tanh8(cell));
        _mm256_storeu_ps(newHidden + unit, h);
        y = _mm256_fmadd_ps(h, _mm256_loadu_ps(w.dense + unit), y);
    }
}
} // namespace

// Two blocks of 8 units at a time, so that each block's activations overlap the next pass's
// multiply-adds and the 16 registers hold the gate sums.
template <int InputSize>
BRIMWELL_AVX2 void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
                       int numFrames) noexcept
{
    static_assert(lstmUnitsPerBlock == 8 && lstmBlocks == 5);

    for (int t = 0; t < numFrames; ++t)
    {
        const float* frame = frames + t * InputSize;

        // The step's new outputs; later passes still read the previous ones.
        float hidden[lstmUnits];
        __m256 y = _mm256_setzero_ps();
        advanceBlocks<0, 2>(w, s, frame, hidden, y);
        advanceBlocks<2, 2>(w, s, frame, hidden, y);
        advanceBlocks<4, 1>(w, s, frame, hidden, y);
        std::memcpy(s.hidden, hidden, sizeof hidden);

        output[t] = (sum(y) + w.denseBias) + frame[0];
    }
}

template BRIMWELL_AVX2 void run<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template BRIMWELL_AVX2 void run<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;

BRIMWELL_AVX2 void tanh(const float* in, float* out, int n) noexcept
{
    constexpr int lanes = 8;
    int i = 0;
    for (; i + lanes <= n; i += lanes)
        _mm256_storeu_ps(out + i, tanh8(_mm256_loadu_ps(in + i)));
    if (i < n)
    {
        const int rest = n - i;
        float tail[lanes]{};
        for (int k = 0; k < rest; ++k)
            tail[k] = in[i + k];
        _mm256_storeu_ps(tail, tanh8(_mm256_loadu_ps(tail)));
        for (int k = 0; k < rest; ++k)
            out[i + k] = tail[k];
    }
}
} // namespace lstm_avx2

#endif
