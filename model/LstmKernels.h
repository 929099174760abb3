#pragma once

/** Storage of the LSTM(N, 40) + dense(40 to 1) network in the order its kernels read it, and
    the kernels themselves, one per instruction set, behind one interface.

    Gate rows are grouped in blocks of 8 units, each block holding the input, forget, cell and
    output gate rows of its units in that order. The rows of the three sigmoid gates are halved,
    so that every gate goes through the same tanh: sigmoid(x) = 0.5 tanh(x / 2) + 0.5, and halving
    is exact in floating point. The recurrent weights are stored transposed: the 160 gate weights
    of hidden output j are contiguous. */

constexpr int lstmUnits = 40;
constexpr int lstmUnitsPerBlock = 8;
constexpr int lstmBlocks = lstmUnits / lstmUnitsPerBlock;
constexpr int lstmGateRows = 4 * lstmUnits;

/** Row in the kernels' order of PyTorch gate row r (gates i, f, g, o of 40 rows each). */
constexpr int lstmKernelRow(int torchRow)
{
    const int gate = torchRow / lstmUnits;
    const int unit = torchRow % lstmUnits;
    return (unit / lstmUnitsPerBlock) * 4 * lstmUnitsPerBlock + gate * lstmUnitsPerBlock +
           unit % lstmUnitsPerBlock;
}

/** Factor applied to PyTorch gate row r when it is laid out: 0.5 for the sigmoid gates. */
constexpr float lstmRowScale(int torchRow)
{
    return torchRow / lstmUnits == 2 ? 1.0f : 0.5f;
}

template <int InputSize> struct LstmWeights
{
    alignas(64) float recurrent[lstmUnits][lstmGateRows]{};
    alignas(64) float input[(unsigned)InputSize][lstmGateRows]{};
    alignas(64) float bias[lstmGateRows]{};
    alignas(64) float dense[lstmUnits]{};
    float denseBias = 0.0f;
};

struct LstmState
{
    alignas(64) float hidden[lstmUnits]{};
    alignas(64) float cell[lstmUnits]{};
};

/** Runs numFrames steps on frames of InputSize values each; output[t] is the network's output
    plus frame t's first value. Frame t is read before output[t] is written, and no earlier frame
    is read after it, so frames and output may be the same array when InputSize is 1. */
template <int InputSize>
using LstmRun = void (*)(const LstmWeights<InputSize>&, LstmState&, const float* frames, float* output,
                         int numFrames);

/** One channel of a pair pass: its state, its frames and its outputs, as in LstmRun. */
struct LstmChannel
{
    LstmState& state;
    const float* frames;
    float* output;
};

/** Runs two channels through one set of weights, numFrames steps each: every weight read serves
    both, and each channel gets exactly, bit for bit, what LstmRun gives it alone. The two
    channels' states and arrays are distinct. */
template <int InputSize>
using LstmPairRun = void (*)(const LstmWeights<InputSize>&, LstmChannel left, LstmChannel right,
                             int numFrames);

enum class LstmKernel
{
    portable,
    avx2,
    avx512
};

/** The kernels side by side; networks run the fastest the processor supports, chosen once. */
struct LstmKernels
{
    static bool isSupported(LstmKernel) noexcept;

    static LstmKernel fastestSupported() noexcept;

    /** The kernel that networks run. */
    static LstmKernel active() noexcept;

    /** Makes networks run the given kernel from now on, if it is supported; for tests and benchmarks. */
    static void force(LstmKernel) noexcept;

    /** Runs the active kernel (see LstmRun), with subnormal numbers flushed to zero meanwhile. */
    template <int InputSize>
    static void process(const LstmWeights<InputSize>&, LstmState&, const float* frames, float* output,
                        int numFrames) noexcept;

    /** Runs the active kernel's pair pass (see LstmPairRun), with subnormal numbers flushed to zero
        meanwhile. */
    template <int InputSize>
    static void processPair(const LstmWeights<InputSize>&, LstmChannel left, LstmChannel right,
                            int numFrames) noexcept;

    /** The kernel's activation over n values; in and out may be the same array. */
    static void tanh(LstmKernel, const float* in, float* out, int n) noexcept;

    static const char* name(LstmKernel) noexcept;
};
