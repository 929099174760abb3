#include "LstmKernelEntries.h"

#if BRIMWELL_X86_KERNELS

#include "TanhApproximation.h"

#include <immintrin.h>

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
} // namespace

// One block of 8 units at a time: its 4 gate vectors in two partial sums (even and odd hidden
// outputs) keep 8 independent chains of multiply-adds within the 16 registers, and the block's
// activations overlap the next block's multiply-adds.
template <int InputSize>
BRIMWELL_AVX2 void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
                       int numFrames) noexcept
{
    constexpr int lanes = 8;
    constexpr int blockRows = 4 * lstmUnitsPerBlock;
    static_assert(lstmUnitsPerBlock == lanes);

    for (int t = 0; t < numFrames; ++t)
    {
        const float* frame = frames + t * InputSize;
        const float skip = frame[0];

        // The step's new outputs; later blocks still read the previous ones.
        alignas(32) float hidden[lstmUnits];
        __m256 y = _mm256_setzero_ps();

        for (int b = 0; b < lstmBlocks; ++b)
        {
            const int row = b * blockRows;
            __m256 even[4], odd[4];
            for (int g = 0; g < 4; ++g)
            {
                even[g] = _mm256_loadu_ps(w.bias + row + g * lanes);
                for (int n = 0; n < InputSize; ++n)
                    even[g] = _mm256_fmadd_ps(_mm256_set1_ps(frame[n]), _mm256_loadu_ps(w.input[n] + row + g * lanes), even[g]);
                odd[g] = _mm256_setzero_ps();
            }

            for (int j = 0; j < lstmUnits; j += 2)
            {
                const __m256 h0 = _mm256_broadcast_ss(s.hidden + j);
                const __m256 h1 = _mm256_broadcast_ss(s.hidden + j + 1);
                for (int g = 0; g < 4; ++g)
                    even[g] = _mm256_fmadd_ps(h0, _mm256_loadu_ps(w.recurrent[j] + row + g * lanes), even[g]);
                for (int g = 0; g < 4; ++g)
                    odd[g] = _mm256_fmadd_ps(h1, _mm256_loadu_ps(w.recurrent[j + 1] + row + g * lanes), odd[g]);
            }

            const __m256 inputGate = sigmoidOfHalved(_mm256_add_ps(even[0], odd[0]));
            const __m256 forgetGate = sigmoidOfHalved(_mm256_add_ps(even[1], odd[1]));
            const __m256 candidate = tanh8(_mm256_add_ps(even[2], odd[2]));
            const __m256 outputGate = sigmoidOfHalved(_mm256_add_ps(even[3], odd[3]));

            float* cellPtr = s.cell + b * lanes;
            const __m256 cell = _mm256_fmadd_ps(forgetGate, _mm256_loadu_ps(cellPtr), _mm256_mul_ps(inputGate, candidate));
            _mm256_storeu_ps(cellPtr, cell);
            const __m256 h = _mm256_mul_ps(outputGate, tanh8(cell));
            _mm256_storeu_ps(hidden + b * lanes, h);
            y = _mm256_fmadd_ps(h, _mm256_loadu_ps(w.dense + b * lanes), y);
        }

        for (int b = 0; b < lstmBlocks; ++b)
            _mm256_storeu_ps(s.hidden + b * lanes, _mm256_loadu_ps(hidden + b * lanes));

        output[t] = (sum(y) + w.denseBias) + skip;
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
        float tail[lanes] {};
        for (int k = 0; k < rest; ++k)
            tail[k] = in[i + k];
        _mm256_storeu_ps(tail, tanh8(_mm256_loadu_ps(tail)));
        for (int k = 0; k < rest; ++k)
            out[i + k] = tail[k];
    }
}
} // namespace lstm_avx2

#endif
