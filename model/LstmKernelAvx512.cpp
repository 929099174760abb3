#include "LstmKernelEntries.h"

#if BRIMWELL_X86_KERNELS

#include "TanhApproximation.h"

#include <immintrin.h>

namespace lstm_avx512
{
namespace
{
BRIMWELL_AVX512 inline __m512 tanh16(__m512 x) noexcept
{
    using namespace tanh_approximation;
    // min and max return their second operand for a NaN, which lets it through.
    x = _mm512_min_ps(_mm512_set1_ps(clamp), x);
    x = _mm512_max_ps(_mm512_set1_ps(-clamp), x);
    const __m512 s = _mm512_mul_ps(x, x);
    const __m512 one = _mm512_set1_ps(1.0f);
    __m512 p = _mm512_fmadd_ps(_mm512_set1_ps(p4), s, _mm512_set1_ps(p3));
    __m512 q = _mm512_fmadd_ps(_mm512_set1_ps(q4), s, _mm512_set1_ps(q3));
    p = _mm512_fmadd_ps(p, s, _mm512_set1_ps(p2));
    q = _mm512_fmadd_ps(q, s, _mm512_set1_ps(q2));
    p = _mm512_fmadd_ps(p, s, _mm512_set1_ps(p1));
    q = _mm512_fmadd_ps(q, s, _mm512_set1_ps(q1));
    p = _mm512_fmadd_ps(p, s, one);
    q = _mm512_fmadd_ps(q, s, one);
    return _mm512_div_ps(_mm512_mul_ps(x, p), q);
}

/** Advances 16 units, those of two blocks whose activated gate vectors are [i | f] and [g | o]
    each; returns their hidden outputs. */
BRIMWELL_AVX512 inline __m512 advance(__m512 if0, __m512 if1, __m512 go0, __m512 go1, __m512& cell) noexcept
{
    constexpr int lowHalves = 0x44;
    constexpr int highHalves = 0xee;
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512 inputGate = _mm512_fmadd_ps(_mm512_shuffle_f32x4(if0, if1, lowHalves), half, half);
    const __m512 forgetGate = _mm512_fmadd_ps(_mm512_shuffle_f32x4(if0, if1, highHalves), half, half);
    const __m512 candidate = _mm512_shuffle_f32x4(go0, go1, lowHalves);
    const __m512 outputGate = _mm512_fmadd_ps(_mm512_shuffle_f32x4(go0, go1, highHalves), half, half);
    cell = _mm512_fmadd_ps(forgetGate, cell, _mm512_mul_ps(inputGate, candidate));
    return _mm512_mul_ps(outputGate, tanh16(cell));
}

BRIMWELL_AVX512 inline __m512 loadHalf(const float* p) noexcept
{
    return _mm512_zextps256_ps512(_mm256_loadu_ps(p));
}

BRIMWELL_AVX512 inline void storeHalf(float* p, __m512 v) noexcept
{
    _mm256_storeu_ps(p, _mm512_castps512_ps256(v));
}

constexpr int lanes = 16;
constexpr int vectors = lstmGateRows / lanes;

/** A loaded weight vector, kept in a register when it serves more than one channel: left to
    itself, the compiler folds the load into each channel's multiply-add and so reads the weight
    once per channel. */
template <unsigned Channels> BRIMWELL_AVX512 inline __m512 sharedBy(__m512 weight) noexcept
{
    if constexpr (Channels > 1)
        asm("" : "+v"(weight));
    return weight;
}

/** Ends one channel's step from its 10 gate sums: activations, new cell values and hidden
    outputs; returns the dense layer's output. */
template <int InputSize>
BRIMWELL_AVX512 BRIMWELL_INLINE float finishStep(const LstmWeights<InputSize>& w, LstmState& s,
                                                 __m512 (&gates)[vectors]) noexcept
{
    for (int k = 0; k < vectors; ++k)
        gates[k] = tanh16(gates[k]);

    // Units 0-15, 16-31, and 32-39 twice over in the last vector.
    __m512 cell01 = _mm512_loadu_ps(s.cell);
    __m512 cell23 = _mm512_loadu_ps(s.cell + 16);
    __m512 cell4 = loadHalf(s.cell + 32);
    const __m512 h01 = advance(gates[0], gates[2], gates[1], gates[3], cell01);
    const __m512 h23 = advance(gates[4], gates[6], gates[5], gates[7], cell23);
    const __m512 h4 = advance(gates[8], gates[8], gates[9], gates[9], cell4);
    _mm512_storeu_ps(s.cell, cell01);
    _mm512_storeu_ps(s.cell + 16, cell23);
    storeHalf(s.cell + 32, cell4);
    _mm512_storeu_ps(s.hidden, h01);
    _mm512_storeu_ps(s.hidden + 16, h23);
    storeHalf(s.hidden + 32, h4);

    __m512 y = _mm512_mul_ps(h01, _mm512_loadu_ps(w.dense));
    y = _mm512_fmadd_ps(h23, _mm512_loadu_ps(w.dense + 16), y);
    y = _mm512_fmadd_ps(h4, loadHalf(w.dense + 32), y);
    return _mm512_reduce_add_ps(y) + w.denseBias;
}

// All 160 gate rows at once, 10 vectors: vector 2b holds block b's [i | f] rows, 2b + 1 its [g | o].
// Ten chains of multiply-adds per channel keep up with the loads of the weights, which bound the
// one-channel loop; with two channels each weight loaded serves both, and the 20 sums, the two
// hidden outputs and the weight still fit the 32 registers.
template <unsigned Channels, int InputSize>
BRIMWELL_AVX512 BRIMWELL_INLINE void
runChannels(const LstmWeights<InputSize>& w, const LstmChannel (&channels)[Channels], int numFrames) noexcept
{
    static_assert(2 * lstmUnitsPerBlock == lanes && lstmBlocks == 5);

    for (int t = 0; t < numFrames; ++t)
    {
        const float* frames[Channels];
        float skips[Channels];
        for (unsigned c = 0; c < Channels; ++c)
        {
            frames[c] = channels[c].frames + t * InputSize;
            skips[c] = frames[c][0];
        }

        __m512 gates[Channels][vectors];
        for (int k = 0; k < vectors; ++k)
        {
            const __m512 bias = _mm512_loadu_ps(w.bias + k * lanes);
            for (unsigned c = 0; c < Channels; ++c)
                gates[c][k] = bias;
            for (int n = 0; n < InputSize; ++n)
            {
                const __m512 weight = sharedBy<Channels>(_mm512_loadu_ps(w.input[n] + k * lanes));
                for (unsigned c = 0; c < Channels; ++c)
                    gates[c][k] = _mm512_fmadd_ps(_mm512_set1_ps(frames[c][n]), weight, gates[c][k]);
            }
        }

        for (int j = 0; j < lstmUnits; ++j)
        {
            __m512 h[Channels];
            for (unsigned c = 0; c < Channels; ++c)
                h[c] = _mm512_set1_ps(channels[c].state.hidden[j]);
            for (int k = 0; k < vectors; ++k)
            {
                const __m512 weight = sharedBy<Channels>(_mm512_loadu_ps(w.recurrent[j] + k * lanes));
                for (unsigned c = 0; c < Channels; ++c)
                    gates[c][k] = _mm512_fmadd_ps(h[c], weight, gates[c][k]);
            }
        }

        for (unsigned c = 0; c < Channels; ++c)
            channels[c].output[t] = finishStep(w, channels[c].state, gates[c]) + skips[c];
    }
}
} // namespace

template <int InputSize>
BRIMWELL_AVX512 void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
                         int numFrames) noexcept
{
    const LstmChannel one[] = {{s, frames, output}};
    runChannels(w, one, numFrames);
}

template <int InputSize>
BRIMWELL_AVX512 void runPair(const LstmWeights<InputSize>& w, LstmChannel left, LstmChannel right,
                             int numFrames) noexcept
{
    const LstmChannel both[] = {left, right};
    runChannels(w, both, numFrames);
}

template BRIMWELL_AVX512 void run<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template BRIMWELL_AVX512 void run<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;
template BRIMWELL_AVX512 void runPair<1>(const LstmWeights<1>&, LstmChannel, LstmChannel, int) noexcept;
template BRIMWELL_AVX512 void runPair<2>(const LstmWeights<2>&, LstmChannel, LstmChannel, int) noexcept;

BRIMWELL_AVX512 void tanh(const float* in, float* out, int n) noexcept
{
    for (int i = 0; i < n; i += lanes)
    {
        const auto mask = (__mmask16)(n - i >= lanes ? 0xffff : (1u << (n - i)) - 1u);
        _mm512_mask_storeu_ps(out + i, mask, tanh16(_mm512_maskz_loadu_ps(mask, in + i)));
    }
}
} // namespace lstm_avx512

#endif
