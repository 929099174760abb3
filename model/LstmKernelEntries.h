#pragma once

#include "LstmKernels.h"

// Entry points of each kernel, defined in the kernel's own source file.

#if defined(__x86_64__)
#define BRIMWELL_X86_KERNELS 1
// Per function, so that the rest of the build stays baseline x86-64; declarations and
// definitions must carry the same target.
#define BRIMWELL_AVX2 __attribute__((target("avx2,fma")))
#define BRIMWELL_AVX512 __attribute__((target("avx512f,fma")))
// For the kernels' helpers that take arrays of vector sums: inlined early, before the compiler
// settles where the arrays live, the sums stay in registers across the loops.
#define BRIMWELL_INLINE inline __attribute__((always_inline))
#endif

namespace lstm_portable
{
template <int InputSize>
void run(const LstmWeights<InputSize>&, LstmState&, const float* frames, float* output,
         int numFrames) noexcept;
template <int InputSize>
void runPair(const LstmWeights<InputSize>&, LstmChannel left, LstmChannel right, int numFrames) noexcept;
void tanh(const float* in, float* out, int n) noexcept;
} // namespace lstm_portable

#if BRIMWELL_X86_KERNELS
namespace lstm_avx2
{
template <int InputSize>
BRIMWELL_AVX2 void run(const LstmWeights<InputSize>&, LstmState&, const float* frames, float* output,
                       int numFrames) noexcept;
template <int InputSize>
BRIMWELL_AVX2 void runPair(const LstmWeights<InputSize>&, LstmChannel left, LstmChannel right,
                           int numFrames) noexcept;
BRIMWELL_AVX2 void tanh(const float* in, float* out, int n) noexcept;
} // namespace lstm_avx2

namespace lstm_avx512
{
template <int InputSize>
BRIMWELL_AVX512 void run(const LstmWeights<InputSize>&, LstmState&, const float* frames, float* output,
                         int numFrames) noexcept;
template <int InputSize>
BRIMWELL_AVX512 void runPair(const LstmWeights<InputSize>&, LstmChannel left, LstmChannel right,
                             int numFrames) noexcept;
BRIMWELL_AVX512 void tanh(const float* in, float* out, int n) noexcept;
} // namespace lstm_avx512
#endif
