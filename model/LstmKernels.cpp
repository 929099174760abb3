#include "LstmKernelEntries.h"

#include <initializer_list>

#if BRIMWELL_X86_KERNELS
#include <xmmintrin.h>
#endif

namespace
{
LstmKernel& activeKernel() noexcept
{
    static LstmKernel kernel = LstmKernels::fastestSupported();
    return kernel;
}
} // namespace

bool LstmKernels::isSupported(LstmKernel kernel) noexcept
{
    switch (kernel)
    {
    case LstmKernel::portable:
        return true;
#if BRIMWELL_X86_KERNELS
    // These checks also require the operating system to save the wider registers.
    case LstmKernel::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case LstmKernel::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma");
#else
    case LstmKernel::avx2:
    case LstmKernel::avx512:
        return false;
#endif
    }
    return false;
}

LstmKernel LstmKernels::fastestSupported() noexcept
{
    for (const auto kernel : {LstmKernel::avx512, LstmKernel::avx2})
        if (isSupported(kernel))
            return kernel;
    return LstmKernel::portable;
}

LstmKernel LstmKernels::active() noexcept
{
    return activeKernel();
}

void LstmKernels::force(LstmKernel kernel) noexcept
{
    if (isSupported(kernel))
        activeKernel() = kernel;
}

namespace
{
#if BRIMWELL_X86_KERNELS
/** The given kernel's one of three like entries. */
template <class Entry> Entry entryOf(LstmKernel kernel, Entry portable, Entry avx2, Entry avx512) noexcept
{
    switch (kernel)
    {
    case LstmKernel::avx512:
        return avx512;
    case LstmKernel::avx2:
        return avx2;
    case LstmKernel::portable:
        break;
    }
    return portable;
}
// Elsewhere only the portable kernel is built.
#define BRIMWELL_KERNEL_ENTRY(kernel, entry)                                                                 \
    entryOf(kernel, lstm_portable::entry, lstm_avx2::entry, lstm_avx512::entry)
#else
#define BRIMWELL_KERNEL_ENTRY(kernel, entry) ((void)(kernel), lstm_portable::entry)
#endif

#if BRIMWELL_X86_KERNELS
/** Treats subnormal numbers as zero while alive. Cell values that decay towards zero reach them,
    and each operation on one then costs a microcode assist: the network would run ten times
    slower for a caller that has not disabled them itself. */
class ScopedFlushToZero
{
  public:
    ScopedFlushToZero() noexcept { _mm_setcsr(saved | flushToZero | denormalsAreZero); }
    ~ScopedFlushToZero() noexcept { _mm_setcsr(saved); }

  private:
    static constexpr unsigned flushToZero = 0x8000;
    static constexpr unsigned denormalsAreZero = 0x0040;
    const unsigned saved = _mm_getcsr();
};
#else
struct ScopedFlushToZero
{
    ScopedFlushToZero() noexcept {}
};
#endif
} // namespace

template <int InputSize>
void LstmKernels::process(const LstmWeights<InputSize>& weights, LstmState& state, const float* frames,
                          float* output, int numFrames) noexcept
{
    const ScopedFlushToZero flushToZero;
    BRIMWELL_KERNEL_ENTRY(active(), run<InputSize>)(weights, state, frames, output, numFrames);
}

template void LstmKernels::process<1>(const LstmWeights<1>&, LstmState&, const float*, float*, int) noexcept;
template void LstmKernels::process<2>(const LstmWeights<2>&, LstmState&, const float*, float*, int) noexcept;

template <int InputSize>
void LstmKernels::processPair(const LstmWeights<InputSize>& weights, LstmChannel left, LstmChannel right,
                              int numFrames) noexcept
{
    const ScopedFlushToZero flushToZero;
    BRIMWELL_KERNEL_ENTRY(active(), runPair<InputSize>)(weights, left, right, numFrames);
}

template void LstmKernels::processPair<1>(const LstmWeights<1>&, LstmChannel, LstmChannel, int) noexcept;
template void LstmKernels::processPair<2>(const LstmWeights<2>&, LstmChannel, LstmChannel, int) noexcept;

void LstmKernels::tanh(LstmKernel kernel, const float* in, float* out, int n) noexcept
{
    BRIMWELL_KERNEL_ENTRY(kernel, tanh)(in, out, n);
}

const char* LstmKernels::name(LstmKernel kernel) noexcept
{
    switch (kernel)
    {
    case LstmKernel::portable:
        return "portable";
    case LstmKernel::avx2:
        return "avx2";
    case LstmKernel::avx512:
        return "avx512";
    }
    return "";
}
