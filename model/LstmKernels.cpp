#include "LstmKernelEntries.h"

#include <initializer_list>

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
        case LstmKernel::portable: return true;
#if BRIMWELL_X86_KERNELS
        // These checks also require the operating system to save the wider registers.
        case LstmKernel::avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case LstmKernel::avx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma");
#else
        case LstmKernel::avx2:
        case LstmKernel::avx512: return false;
#endif
    }
    return false;
}

LstmKernel LstmKernels::fastestSupported() noexcept
{
    for (const auto kernel : { LstmKernel::avx512, LstmKernel::avx2 })
        if (isSupported(kernel))
            return kernel;
    return LstmKernel::portable;
}

LstmKernel LstmKernels::active() noexcept { return activeKernel(); }

void LstmKernels::force(LstmKernel kernel) noexcept
{
    if (isSupported(kernel))
        activeKernel() = kernel;
}

template <int InputSize>
LstmRun<InputSize> LstmKernels::run(LstmKernel kernel) noexcept
{
    switch (kernel)
    {
#if BRIMWELL_X86_KERNELS
        case LstmKernel::avx512: return lstm_avx512::run<InputSize>;
        case LstmKernel::avx2: return lstm_avx2::run<InputSize>;
#else
        case LstmKernel::avx512:
        case LstmKernel::avx2:
#endif
        case LstmKernel::portable: break;
    }
    return lstm_portable::run<InputSize>;
}

template LstmRun<1> LstmKernels::run<1>(LstmKernel) noexcept;
template LstmRun<2> LstmKernels::run<2>(LstmKernel) noexcept;

void LstmKernels::tanh(LstmKernel kernel, const float* in, float* out, int n) noexcept
{
    switch (kernel)
    {
#if BRIMWELL_X86_KERNELS
        case LstmKernel::avx512: return lstm_avx512::tanh(in, out, n);
        case LstmKernel::avx2: return lstm_avx2::tanh(in, out, n);
#else
        case LstmKernel::avx512:
        case LstmKernel::avx2:
#endif
        case LstmKernel::portable: break;
    }
    lstm_portable::tanh(in, out, n);
}

const char* LstmKernels::name(LstmKernel kernel) noexcept
{
    switch (kernel)
    {
        case LstmKernel::portable: return "portable";
        case LstmKernel::avx2: return "avx2";
        case LstmKernel::avx512: return "avx512";
    }
    return "";
}
