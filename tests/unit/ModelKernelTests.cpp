// The network's kernels, each forced in turn: agreement with PyTorch and with a double-precision
// LSTM, also where the gates saturate, the pair pass against two one-channel passes, and the
// accuracy of their activation.

#include "AllocationCounter.h"
#include "model/LstmNetwork.h"
#include "model/NetworkLoader.h"
#include "model/TanhApproximation.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace
{
using json = nlohmann::json;

constexpr LstmKernel allKernels[] = {LstmKernel::portable, LstmKernel::avx2, LstmKernel::avx512};

json readJson(const juce::File& file)
{
    return json::parse(file.loadFileAsString().toStdString());
}

json fixture()
{
    return readJson(juce::File(BRIMWELL_TEST_DATA_DIR).getChildFile("torch_reference.json"));
}

json fixtureModel(const json& reference)
{
    const auto path = reference["model"].get<std::string>();
    return readJson(juce::File::isAbsolutePath(path) ? juce::File(path)
                                                     : juce::File(BRIMWELL_SOURCE_DIR).getChildFile(path));
}

/** Drives the gates far into saturation: LSTM input weights and biases ×16, recurrent weights ×2.
    Larger recurrent weights make the network chaotic, where float and double part ways whatever
    the kernel. */
json stressed(json model)
{
    auto scale = [&](const char* key, float factor)
    {
        for (auto& row : model["state_dict"][key])
        {
            if (row.is_array())
                for (auto& v : row)
                    v = factor * v.get<float>();
            else
                row = factor * row.get<float>();
        }
    };
    scale("rec.weight_ih_l0", 16.0f);
    scale("rec.bias_ih_l0", 16.0f);
    scale("rec.bias_hh_l0", 16.0f);
    scale("rec.weight_hh_l0", 2.0f);
    return model;
}

/** A 2-input model of the shipped form, with pseudo-random weights. */
json randomModel2(unsigned seed)
{
    juce::Random random((juce::int64)seed);
    auto value = [&] { return 0.4f * (random.nextFloat() - 0.5f); };
    auto rows = [&](int numRows, int numColumns)
    {
        json r = json::array();
        for (int i = 0; i < numRows; ++i)
        {
            json row = json::array();
            for (int j = 0; j < numColumns; ++j)
                row.push_back(value());
            r.push_back(row);
        }
        return r;
    };
    auto vector = [&](int size)
    {
        json v = json::array();
        for (int i = 0; i < size; ++i)
            v.push_back(value());
        return v;
    };
    json model;
    model["model_data"] = {{"input_size", 2}};
    model["state_dict"] = {{"rec.weight_ih_l0", rows(160, 2)}, {"rec.weight_hh_l0", rows(160, 40)},
                           {"rec.bias_ih_l0", vector(160)},    {"rec.bias_hh_l0", vector(160)},
                           {"lin.weight", rows(1, 40)},        {"lin.bias", vector(1)}};
    return model;
}

/** The textbook LSTM in double precision, straight from the file's PyTorch layout. */
template <int InputSize> struct DoubleLstm
{
    explicit DoubleLstm(const json& model)
    {
        const auto& d = model["state_dict"];
        for (int r = 0; r < 160; ++r)
        {
            for (int n = 0; n < InputSize; ++n)
                wih[r][n] = d["rec.weight_ih_l0"][(size_t)r][(size_t)n].get<float>();
            for (int j = 0; j < 40; ++j)
                whh[r][j] = d["rec.weight_hh_l0"][(size_t)r][(size_t)j].get<float>();
            bias[r] = (double)d["rec.bias_ih_l0"][(size_t)r].get<float>() +
                      d["rec.bias_hh_l0"][(size_t)r].get<float>();
        }
        for (int j = 0; j < 40; ++j)
            dense[j] = d["lin.weight"][0][(size_t)j].get<float>();
        denseBias = d["lin.bias"][0].get<float>();
    }

    double step(const float* frame)
    {
        double g[160];
        for (int r = 0; r < 160; ++r)
        {
            g[r] = bias[r];
            for (int n = 0; n < InputSize; ++n)
                g[r] += wih[r][n] * frame[n];
            for (int j = 0; j < 40; ++j)
                g[r] += whh[r][j] * h[j];
            const double tanhArgument = std::abs(r / 40 == 2 ? g[r] : 0.5 * g[r]);
            saturated += tanhArgument > 3.8; // |tanh| > 0.999
            clamped += tanhArgument > (double)tanh_approximation::clamp;
        }
        gates += 160;
        auto sigmoid = [](double x) { return 1.0 / (1.0 + std::exp(-x)); };
        double y = denseBias;
        for (int j = 0; j < 40; ++j)
        {
            c[j] = sigmoid(g[40 + j]) * c[j] + sigmoid(g[j]) * std::tanh(g[80 + j]);
            h[j] = sigmoid(g[120 + j]) * std::tanh(c[j]);
            y += dense[j] * h[j];
        }
        return y + frame[0];
    }

    double wih[160][(unsigned)InputSize], whh[160][40], bias[160], dense[40], denseBias;
    double h[40]{}, c[40]{};
    long saturated = 0, clamped = 0, gates = 0;
};

std::vector<float> framesOf(const std::vector<float>& samples, int inputSize, float inputScale)
{
    std::vector<float> frames;
    for (size_t i = 0; i < samples.size(); ++i)
    {
        frames.push_back(inputScale * samples[i]);
        if (inputSize == 2)
            frames.push_back(std::sin(0.002f * (float)i)); // a slowly moving second input
    }
    return frames;
}

/** Runs the forced kernel over the frames in uneven calls, checking that no call allocates. */
template <int InputSize> std::vector<float> runKernel(const json& model, const std::vector<float>& frames)
{
    auto network = std::make_unique<LstmNetwork<InputSize>>();
    loadNetwork(*network, model);
    const int numFrames = (int)frames.size() / InputSize;
    std::vector<float> output((size_t)numFrames);
    AllocationCounter allocations;
    for (int start = 0, call = 0; start < numFrames; ++call)
    {
        const int n = std::min(numFrames - start, 1 + (call * 37) % 300);
        network->process(frames.data() + start * InputSize, output.data() + start, n);
        start += n;
    }
    EXPECT_EQ(allocations.count(), 0u);
    return output;
}

template <int InputSize>
void expectAgreesWithDoublePrecision(const json& model, const std::vector<float>& frames, bool saturating)
{
    const auto output = runKernel<InputSize>(model, frames);
    auto reference = std::make_unique<DoubleLstm<InputSize>>(model);
    for (size_t t = 0; t < output.size(); ++t)
        ASSERT_NEAR(output[t], reference->step(frames.data() + t * InputSize), 1e-5) << "sample " << t;
    if (saturating)
    {
        EXPECT_GT((double)reference->saturated / (double)reference->gates, 0.1) << "saturated gates";
        EXPECT_GT((double)reference->clamped / (double)reference->gates, 0.01) << "gates beyond the clamp";
    }
}

int32_t ordered(float f)
{
    int32_t i;
    std::memcpy(&i, &f, sizeof i);
    return i < 0 ? std::numeric_limits<int32_t>::min() - i : i;
}

int64_t ulpsBetween(float a, float b)
{
    return std::abs((int64_t)ordered(a) - (int64_t)ordered(b));
}

/** The index of the first sample whose bits differ, or -1 when every bit agrees. */
long firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return (long)i;
    return -1;
}

/** Two channels of one model file, run as a pair and one at a time, over uneven calls. */
template <int InputSize> struct PairAndSingles
{
    PairAndSingles(const json& model, const std::vector<float>& leftFrames,
                   const std::vector<float>& rightFrames)
        : frames{leftFrames, rightFrames}
    {
        for (auto& network : networks)
            loadNetwork(network, model);
        for (int k = 0; k < 4; ++k)
        {
            // One input: each channel runs in place on a copy of its samples.
            outputs[k].resize(frames[k % 2].size() / InputSize);
            if (InputSize == 1)
                outputs[k] = frames[k % 2];
        }
    }

    /** Runs n frames of both channels from frame start: the pair in one call, each single alone. */
    void run(int start, int n)
    {
        auto in = [&](int k)
        { return InputSize == 1 ? outputs[k].data() + start : frames[k % 2].data() + start * InputSize; };
        auto out = [&](int k) { return outputs[k].data() + start; };
        LstmNetwork<InputSize>::processPair(networks[0], in(0), out(0), networks[1], in(1), out(1), n);
        networks[2].process(in(2), out(2), n);
        networks[3].process(in(3), out(3), n);
    }

    /** Runs every frame in calls of 0 to 299 frames, resetting the left channel's networks once on the
        way; expects each channel's pair output to match its single's, bit for bit. */
    void runAndCompare()
    {
        const int numFrames = (int)outputs[0].size();
        for (int start = 0, call = 0; start < numFrames; ++call)
        {
            const int n = std::min(numFrames - start, (call * 37) % 300);
            run(start, n);
            start += n;
            if (call == 9)
            {
                networks[0].reset();
                networks[2].reset();
            }
        }
        EXPECT_EQ(firstDifference(outputs[0], outputs[2]), -1) << "left";
        EXPECT_EQ(firstDifference(outputs[1], outputs[3]), -1) << "right";
    }

    const std::vector<float> frames[2];
    LstmNetwork<InputSize> networks[4]; // pair left and right, single left and right
    std::vector<float> outputs[4];
};

/** Runs each test with the kernel of its parameter forced; skipped where the processor lacks it. */
class ModelKernel : public ::testing::TestWithParam<LstmKernel>
{
  protected:
    void SetUp() override
    {
        if (!LstmKernels::isSupported(GetParam()))
            GTEST_SKIP() << LstmKernels::name(GetParam()) << " is not supported by this processor";
        LstmKernels::force(GetParam());
    }

    void TearDown() override { LstmKernels::force(previous); }

    const LstmKernel previous = LstmKernels::active();
};
} // namespace

//==============================================================================
TEST_P(ModelKernel, AgreesWithPyTorchAndStartsAfreshAfterReset)
{
    const auto reference = fixture();
    const auto input = reference["input"].get<std::vector<float>>();
    const auto expected = reference["output"].get<std::vector<float>>();
    const auto output = runKernel<1>(fixtureModel(reference), input);
    ASSERT_EQ(output.size(), expected.size());
    for (size_t i = 0; i < output.size(); ++i)
        ASSERT_NEAR(output[i], expected[i], 1e-5f) << "sample " << i;

    LstmNetwork<1> network;
    loadNetwork(network, fixtureModel(reference));
    std::vector<float> first(input.size()), again(input.size());
    network.process(input.data(), first.data(), (int)input.size());
    network.reset();
    network.process(input.data(), again.data(), (int)input.size());
    EXPECT_EQ(first, again);
}

TEST_P(ModelKernel, AgreesWithDoublePrecisionWhereGatesSaturate)
{
    const auto input = fixture()["input"].get<std::vector<float>>();
    const auto model = fixtureModel(fixture());

    expectAgreesWithDoublePrecision<1>(stressed(model), framesOf(input, 1, 4.0f), true);
    expectAgreesWithDoublePrecision<2>(randomModel2(11), framesOf(input, 2, 1.0f), false);
    expectAgreesWithDoublePrecision<2>(stressed(randomModel2(12)), framesOf(input, 2, 4.0f), true);
}

TEST_P(ModelKernel, PairPassGivesEachChannelBitForBitWhatItsOwnPassGives)
{
    const auto reference = fixture();
    const auto input = reference["input"].get<std::vector<float>>();
    const auto expected = reference["output"].get<std::vector<float>>();
    const auto model = fixtureModel(reference);
    // PyTorch's input on the right, another signal on the left; for the 2-input model a second
    // input that moves at its own rate on each channel.
    std::vector<float> other(input.size());
    for (size_t i = 0; i < other.size(); ++i)
        other[i] = 0.7f * input[(i * 7 + 3) % input.size()];
    auto withSecondInput = [](const std::vector<float>& samples, float rate)
    {
        std::vector<float> frames;
        for (size_t i = 0; i < samples.size(); ++i)
            frames.insert(frames.end(), {samples[i], std::sin(rate * (float)i)});
        return frames;
    };

    {
        SCOPED_TRACE("1 input");
        auto runs = std::make_unique<PairAndSingles<1>>(model, other, input);
        AllocationCounter allocations;
        runs->runAndCompare();
        EXPECT_EQ(allocations.count(), 0u);
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_NEAR(runs->outputs[1][i], expected[i], 1e-5f) << "PyTorch, sample " << i;
    }
    {
        SCOPED_TRACE("1 input, saturating");
        std::make_unique<PairAndSingles<1>>(stressed(model), framesOf(other, 1, 4.0f),
                                            framesOf(input, 1, 4.0f))
            ->runAndCompare();
    }
    {
        SCOPED_TRACE("2 inputs, saturating");
        std::make_unique<PairAndSingles<2>>(stressed(randomModel2(12)), withSecondInput(other, 0.002f),
                                            withSecondInput(input, 0.0031f))
            ->runAndCompare();
    }
}

TEST_P(ModelKernel, ActivationIsWithinAFewUlpOfTheStandardLibrary)
{
    int64_t worst = 0, worstSaturated = 0;
    float worstAt = 0.0f;
    size_t wrongSigns = 0;
    auto check = [&](const std::vector<float>& x)
    {
        std::vector<float> y(x.size());
        LstmKernels::tanh(GetParam(), x.data(), y.data(), (int)x.size());
        for (size_t i = 0; i < x.size(); ++i)
        {
            const auto error = ulpsBetween(y[i], (float)std::tanh((double)x[i]));
            if (error > worst)
            {
                worst = error;
                worstAt = x[i];
            }
            if (std::abs(x[i]) >= tanh_approximation::clamp)
                worstSaturated = std::max(worstSaturated, error);
            wrongSigns += std::signbit(y[i]) != std::signbit(x[i]);
        }
    };

    // Every 61st float of the whole range, in slices.
    std::vector<float> x;
    for (uint64_t bits = 0; bits < 0x100000000u; bits += 61)
    {
        float v;
        const auto b = (uint32_t)bits;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isnan(v))
            x.push_back(v);
        if (x.size() == 1u << 16)
        {
            check(x);
            x.clear();
        }
    }

    // Every float within 4096 of either clamp point, and special values.
    for (const float edge : {tanh_approximation::clamp, -tanh_approximation::clamp})
    {
        x.push_back(edge);
        float below = edge, above = edge;
        for (int i = 0; i < 4096; ++i)
        {
            x.push_back(below = std::nextafter(below, 0.0f));
            x.push_back(above = std::nextafter(above, 2.0f * edge));
        }
    }
    for (const float v : {0.0f, -0.0f, 1e-40f, -1e-40f, std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
        x.push_back(v);
    check(x);

    EXPECT_LE(worst, 7) << "worst at " << worstAt;
    EXPECT_EQ(worstSaturated, 0) << "exactly ±1 from the clamp on";
    EXPECT_EQ(wrongSigns, 0u);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    float out = 0.0f;
    LstmKernels::tanh(GetParam(), &nan, &out, 1);
    EXPECT_TRUE(std::isnan(out)) << "a NaN passes through";
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, ModelKernel, ::testing::ValuesIn(allKernels),
                         [](const auto& param) { return std::string(LstmKernels::name(param.param)); });

TEST(ModelKernels, NetworksRunTheFastestKernelTheProcessorSupports)
{
    EXPECT_EQ(LstmKernels::active(), LstmKernels::fastestSupported());
    for (const auto kernel : allKernels)
    {
        if (LstmKernels::isSupported(kernel))
        {
            EXPECT_GE((int)LstmKernels::fastestSupported(), (int)kernel) << LstmKernels::name(kernel);
        }
    }
}

#if defined(__x86_64__)
TEST(ModelKernels, ProcessingLeavesTheCallersFloatingPointModeAsItWas)
{
    // The kernels flush subnormals to zero while they run, and must give the mode back.
    LstmNetwork<1> network;
    loadNetwork(network, fixtureModel(fixture()));
    std::vector<float> x(64, 0.25f);
    const unsigned before = _mm_getcsr();
    network.process(x.data(), x.data(), (int)x.size());
    EXPECT_EQ(_mm_getcsr(), before);
}
#endif
