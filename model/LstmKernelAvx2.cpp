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

constexpr int lanes = 8;

/** A loaded weight vector, kept in a register when it serves more than one channel: left to
    itself, the compiler folds the load into each channel's multiply-add and so reads the weight
    once per channel. */
template <unsigned Channels> BRIMWELL_AVX2 inline __m256 sharedBy(__m256 weight) noexcept
{
    if constexpr (Channels > 1)
        asm("" : "+x"(weight));
    return weight;
}

/** Starts the gate sums of Vectors gate vectors from gate row firstRow, each in Partials partial
    sums: the first holds the bias plus the products with the channel's frame, the others 0. */
template <unsigned Channels, unsigned Partials, unsigned Vectors, int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void startSums(const LstmWeights<InputSize>& w, int firstRow,
                                             const float* const (&frames)[Channels],
                                             __m256 (&sums)[Channels][Partials][Vectors]) noexcept
{
    for (int v = 0; v < (int)Vectors; ++v)
    {
        const __m256 bias = _mm256_loadu_ps(w.bias + firstRow + v * lanes);
        for (unsigned c = 0; c < Channels; ++c)
        {
            sums[c][0][v] = bias;
            for (unsigned p = 1; p < Partials; ++p)
                sums[c][p][v] = _mm256_setzero_ps();
        }
        for (int n = 0; n < InputSize; ++n)
        {
            const __m256 weight = sharedBy<Channels>(_mm256_loadu_ps(w.input[n] + firstRow + v * lanes));
            for (unsigned c = 0; c < Channels; ++c)
                sums[c][0][v] = _mm256_fmadd_ps(_mm256_set1_ps(frames[c][n]), weight, sums[c][0][v]);
        }
    }
}

/** Adds the products with the hidden outputs to Count of the partial sums, from partial First on,
    side by side: partial p takes hidden outputs p, p + Partials, p + 2 Partials, ... Each weight
    vector loaded serves every channel. */
template <unsigned First, unsigned Count, unsigned Channels, unsigned Partials, unsigned Vectors,
          int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void addRecurrent(const LstmWeights<InputSize>& w, int firstRow,
                                                const LstmChannel (&channels)[Channels],
                                                __m256 (&sums)[Channels][Partials][Vectors]) noexcept
{
    for (int j = 0; j < lstmUnits; j += (int)Partials)
    {
        // Unrolled before the compiler settles where the sums live, which keeps them in registers.
#pragma GCC unroll 2
        for (unsigned p = First; p < First + Count; ++p)
        {
            const int unit = j + (int)p;
            __m256 h[Channels];
            for (unsigned c = 0; c < Channels; ++c)
                h[c] = _mm256_broadcast_ss(channels[c].state.hidden + unit);
            for (int v = 0; v < (int)Vectors; ++v)
            {
                const __m256 weight =
                    sharedBy<Channels>(_mm256_loadu_ps(w.recurrent[unit] + firstRow + v * lanes));
                for (unsigned c = 0; c < Channels; ++c)
                    sums[c][p][v] = _mm256_fmadd_ps(h[c], weight, sums[c][p][v]);
            }
        }
    }
}

/** Ends the step of the blocks from FirstBlock on from their finished gate sums, 4 vectors
    (i, f, g, o of 8 units) each: writes the new cell values, the new hidden outputs to newHidden
    and adds the blocks' share of the dense layer to y. */
template <int FirstBlock, int NumBlocks, int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void finishBlocks(const LstmWeights<InputSize>& w, LstmState& s,
                                                const __m256 (&gates)[(unsigned)(4 * NumBlocks)],
                                                float* newHidden, __m256& y) noexcept
{
    for (int b = 0; b < NumBlocks; ++b)
    {
        const __m256* g = gates + 4 * b;
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

/** Advances each channel's blocks from FirstBlock on by one step, in one chain of multiply-adds
    per gate vector. */
template <int FirstBlock, int NumBlocks, unsigned Channels, int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void
advanceBlocks(const LstmWeights<InputSize>& w, const LstmChannel (&channels)[Channels],
              const float* const (&frames)[Channels], float (&newHidden)[Channels][lstmUnits],
              __m256 (&y)[Channels]) noexcept
{
    constexpr int firstRow = FirstBlock * 4 * lanes;
    __m256 sums[Channels][1][(unsigned)(4 * NumBlocks)];
    startSums(w, firstRow, frames, sums);
    addRecurrent<0, 1>(w, firstRow, channels, sums);
    for (unsigned c = 0; c < Channels; ++c)
        finishBlocks<FirstBlock, NumBlocks>(w, channels[c].state, sums[c][0], newHidden[c], y[c]);
}

/** Advances each channel's last block by one step, each gate vector in two partial sums over
    alternate hidden outputs, added at the end: 8 chains of multiply-adds for one channel, where
    one chain per vector would leave too few. One channel runs the two side by side; two channels
    run them one after the other, 8 chains each. */
template <unsigned Channels, int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void
advanceLastBlock(const LstmWeights<InputSize>& w, const LstmChannel (&channels)[Channels],
                 const float* const (&frames)[Channels], float (&newHidden)[Channels][lstmUnits],
                 __m256 (&y)[Channels]) noexcept
{
    constexpr int lastBlock = lstmBlocks - 1;
    constexpr int firstRow = lastBlock * 4 * lanes;
    __m256 sums[Channels][2][4];
    startSums(w, firstRow, frames, sums);
    if constexpr (Channels == 1)
    {
        addRecurrent<0, 2>(w, firstRow, channels, sums);
    }
    else
    {
        addRecurrent<0, 1>(w, firstRow, channels, sums);
        addRecurrent<1, 1>(w, firstRow, channels, sums);
    }
    for (unsigned c = 0; c < Channels; ++c)
    {
        for (int v = 0; v < 4; ++v)
            sums[c][0][v] = _mm256_add_ps(sums[c][0][v], sums[c][1][v]);
        finishBlocks<lastBlock, 1>(w, channels[c].state, sums[c][0], newHidden[c], y[c]);
    }
}

/** One channel runs two blocks a pass, so that each pass's activations overlap the next pass's
    multiply-adds and its 8 gate sums take half the 16 registers; two channels run one block a
    pass, 4 sums each, and every weight vector loaded serves both. */
template <unsigned Channels, int InputSize>
BRIMWELL_AVX2 BRIMWELL_INLINE void
runChannels(const LstmWeights<InputSize>& w, const LstmChannel (&channels)[Channels], int numFrames) noexcept
{
    static_assert(lstmUnitsPerBlock == lanes && lstmBlocks == 5);

    for (int t = 0; t < numFrames; ++t)
    {
        const float* frames[Channels];
        float skips[Channels];
        for (unsigned c = 0; c < Channels; ++c)
        {
            frames[c] = channels[c].frames + t * InputSize;
            skips[c] = frames[c][0];
        }

        // The step's new outputs; later passes still read the previous ones.
        float hidden[Channels][lstmUnits];
        __m256 y[Channels];
        for (auto& v : y)
            v = _mm256_setzero_ps();
        if constexpr (Channels == 1)
        {
            advanceBlocks<0, 2>(w, channels, frames, hidden, y);
            advanceBlocks<2, 2>(w, channels, frames, hidden, y);
        }
        else
        {
            advanceBlocks<0, 1>(w, channels, frames, hidden, y);
            advanceBlocks<1, 1>(w, channels, frames, hidden, y);
            advanceBlocks<2, 1>(w, channels, frames, hidden, y);
            advanceBlocks<3, 1>(w, channels, frames, hidden, y);
        }
        advanceLastBlock(w, channels, frames, hidden, y);

        for (unsigned c = 0; c < Channels; ++c)
        {
            std::memcpy(channels[c].state.hidden, hidden[c], sizeof hidden[c]);
            channels[c].output[t] = (sum(y[c]) + w.denseBias) + skips[c];
        }
    }
}
} // namespace

template <int InputSize>
BRIMWELL_AVX2 void run(const LstmWeights<InputSize>& w, LstmState& s, const float* frames, float* output,
                       int numFrames) noexcept
{
    const LstmChannel one[] = {{s, frames, output}};
    runChannels(w, one, numFrames);
}

template <int InputSize>
BRIMWELL_AVX2 void runPair(const LstmWeights<InputSize>& w, LstmChannel left, LstmChannel right,
                           int numFrames) noexcept
{
    const LstmChannel both[] = {left, right};
    runChannels(w, both, numFrames);
}

template BRIMWELL_AVX2 void run<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template BRIMWELL_AVX2 void run<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;
template BRIMWELL_AVX2 void runPair<1>(const LstmWeights<1>&, LstmChannel, LstmChannel, int) noexcept;
template BRIMWELL_AVX2 void runPair<2>(const LstmWeights<2>&, LstmChannel, LstmChannel, int) noexcept;

BRIMWELL_AVX2 void tanh(const float* in, float* out, int n) noexcept
{
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
