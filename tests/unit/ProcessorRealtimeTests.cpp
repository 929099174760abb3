// Real-time safety and robustness of processBlock:
// no allocation and no lock on the audio thread for any block up to the prepared size, the
// same audio for a block larger than announced, stereo as two mono chains with both channels'
// networks in one pass, and recovery from input that is no real signal (NaN, infinity, huge values).
//
// Locks are counted by interposing the POSIX lock functions in this test binary: the
// framework is linked into it statically, so every critical section, std::mutex or rwlock
// that the processor or the framework code it calls could take passes through here. So does
// the first use of a function-local static, whose guard may wait for another thread; the
// blocks are counted in a process of their own, so that no earlier test has made that use.

#include "AllocationCounter.h"
#include "ProcessorTestProbe.h"
#include "processor/HealthySamples.h"
#include "processor/ParameterIds.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace
{
thread_local bool countingLocks = false;
thread_local std::size_t locksTaken = 0;

template <typename Fn> Fn realFunction(std::atomic<Fn>& cache, const char* name)
{
    auto fn = cache.load(std::memory_order_relaxed);
    if (fn == nullptr)
    {
        fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
        cache.store(fn, std::memory_order_relaxed);
    }
    return fn;
}

void noteLock() noexcept
{
    if (countingLocks)
        ++locksTaken;
}

/** Counts the locks taken on this thread while it lives. */
struct LockCounter
{
    std::size_t start = locksTaken;
    LockCounter() { countingLocks = true; }
    ~LockCounter() { countingLocks = false; }
    std::size_t count() const { return locksTaken - start; }
};
} // namespace

extern "C"
{
    int pthread_mutex_lock(pthread_mutex_t* m)
    {
        static std::atomic<int (*)(pthread_mutex_t*)> real{nullptr};
        noteLock();
        return realFunction(real, "pthread_mutex_lock")(m);
    }

    int pthread_mutex_trylock(pthread_mutex_t* m)
    {
        static std::atomic<int (*)(pthread_mutex_t*)> real{nullptr};
        noteLock();
        return realFunction(real, "pthread_mutex_trylock")(m);
    }

    int pthread_rwlock_rdlock(pthread_rwlock_t* l)
    {
        static std::atomic<int (*)(pthread_rwlock_t*)> real{nullptr};
        noteLock();
        return realFunction(real, "pthread_rwlock_rdlock")(l);
    }

    int pthread_rwlock_wrlock(pthread_rwlock_t* l)
    {
        static std::atomic<int (*)(pthread_rwlock_t*)> real{nullptr};
        noteLock();
        return realFunction(real, "pthread_rwlock_wrlock")(l);
    }

    int pthread_spin_lock(pthread_spinlock_t* l)
    {
        static std::atomic<int (*)(pthread_spinlock_t*)> real{nullptr};
        noteLock();
        return realFunction(real, "pthread_spin_lock")(l);
    }
}

// Called only while a function-local static is not yet initialised: it may wait for another
// thread that is initialising it.
namespace __cxxabiv1
{
extern "C" int __cxa_guard_acquire(__guard* guard)
{
    static std::atomic<int (*)(__guard*)> real{nullptr};
    noteLock();
    return realFunction(real, "__cxa_guard_acquire")(guard);
}
} // namespace __cxxabiv1

namespace
{
constexpr const char* freshProcessVariable = "BRIMWELL_REALTIME_FRESH_PROCESS";

/** Whether this is a process of its own for the running test. If not, runs the test again in
    a new process of this binary, fails here when it fails there, and returns false. */
bool inAFreshProcess()
{
    if (std::getenv(freshProcessVariable) != nullptr)
        return true;

    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto filter = juce::String("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    juce::ChildProcess child;
    setenv(freshProcessVariable, "1", 1);
    const bool started = child.start(juce::StringArray{
        juce::File::getSpecialLocation(juce::File::currentExecutableFile).getFullPathName(), filter});
    unsetenv(freshProcessVariable);
    EXPECT_TRUE(started) << filter;
    const auto output = child.readAllProcessOutput();
    EXPECT_EQ(child.getExitCode(), 0u) << output;
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output;
    return false;
}
} // namespace

namespace
{
struct RealtimeCase
{
    double rate;
    bool ultraMode;
    int channels;
};

void PrintTo(const RealtimeCase& c, std::ostream* os)
{
    *os << c.rate << " Hz, Ultra Mode " << (c.ultraMode ? "on" : "off") << ", " << c.channels << " channels";
}

class ProcessBlockRealtime : public ::testing::TestWithParam<RealtimeCase>
{
};

/** Block sizes from 0 to the prepared largest size, in an irregular order. */
const int blockSizes[] = {512, 1, 0, 333, 64, 511, 7, 128, 2, 480, 256, 512, 99, 17, 300};
} // namespace

TEST(ProcessorRealtime, LockCounterSeesTheFrameworksLocksAndTheFirstUseOfAStatic)
{
    juce::CriticalSection lock;
    std::mutex mutex;
    auto firstUse = []
    {
        static const int value = std::rand();
        return value;
    };
    LockCounter locks;
    {
        const juce::ScopedLock sl(lock);
    }
    mutex.lock();
    mutex.unlock();
    EXPECT_EQ(locks.count(), 2u);
    firstUse();
    firstUse();
    EXPECT_EQ(locks.count(), 3u) << "only the first use waits";
}

TEST_P(ProcessBlockRealtime, NoAllocationAndNoLockForAnyBlockUpToThePreparedSize)
{
    if (!inAFreshProcess())
        return;

    const auto c = GetParam();
    auto p = makeProcessor({{ParameterIds::ultraMode, c.ultraMode ? 1.0f : 0.0f}});
    prepare(*p, c.rate, 512, c.channels);

    juce::AudioBuffer<float> buffer(c.channels, 512);
    juce::MidiBuffer midi;
    long long position = 0;
    std::size_t allocations = 0, locks = 0;

    for (int round = 0; round < 12; ++round)
    {
        // Stereo blocks run both channels' networks in one pass, before and after the swap of round 3.
        EXPECT_TRUE(ProcessorTestProbe{*p}.currentPairSharesWeights()) << "round " << round;

        // Parameter moves happen on other threads in a host; here between blocks, uncounted.
        if (round == 3)
            setParameter(*p, ParameterIds::boost, 2.0f); // a fade with a swap, mid-run
        if (round == 5 || round == 7)
            setParameter(*p, ParameterIds::power, round == 5 ? 1.0f : 0.0f);
        if (round == 8)
        {
            setParameter(*p, ParameterIds::dryMix, 40.0f);
            setParameter(*p, ParameterIds::autoGain, 1.0f);
            setParameter(*p, ParameterIds::highPass, 300.0f);
            setParameter(*p, ParameterIds::lowPass, 5000.0f);
        }
        if (round == 9)
            p->modelFadeCounter.store(12); // as the editor's Ultra Mode toggle does

        for (const int n : blockSizes)
        {
            buffer.setSize(c.channels, n, false, false, true);
            fillSignal(buffer, position, c.rate);
            position += n;

            const AllocationCounter allocationCounter;
            const LockCounter lockCounter;
            p->processBlock(buffer, midi);
            allocations += allocationCounter.count();
            locks += lockCounter.count();
        }
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(locks, 0u);
    EXPECT_LT(OutputBounds::peak(buffer), OutputBounds::loudestAtTestSettings);
    EXPECT_GT(OutputBounds::peak(buffer), OutputBounds::audible);
}

INSTANTIATE_TEST_SUITE_P(OversampledAndNot, ProcessBlockRealtime,
                         ::testing::Values(RealtimeCase{44100.0, false, 2}, RealtimeCase{44100.0, false, 1},
                                           RealtimeCase{96000.0, false, 2}, RealtimeCase{96000.0, true, 1},
                                           RealtimeCase{48000.0, true, 2}));

TEST(ProcessorRealtime, BlockLargerThanAnnouncedGivesTheSameAudioWithoutAllocating)
{
    for (const float ultra : {0.0f, 1.0f})
    {
        auto whole = makeProcessor({{ParameterIds::ultraMode, ultra}});
        auto pieces = makeProcessor({{ParameterIds::ultraMode, ultra}});
        prepare(*whole, 48000.0, 256);
        prepare(*pieces, 48000.0, 256);
        long long a = 0, b = 0;
        for (int block = 0; block < 14; ++block) // past the first fade
        {
            processSignalBlock(*whole, 2, 256, a, 48000.0);
            processSignalBlock(*pieces, 2, 256, b, 48000.0);
        }

        juce::AudioBuffer<float> big(2, 700);
        fillSignal(big, a, 48000.0);
        juce::MidiBuffer midi;
        {
            const AllocationCounter allocations;
            whole->processBlock(big, midi);
            EXPECT_EQ(allocations.count(), 0u);
        }

        for (const int n : {256, 256, 188})
        {
            const auto out = processSignalBlock(*pieces, 2, n, b, 48000.0);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i)
                    ASSERT_NEAR(big.getSample(ch, (int)(b - a) - n + i), out.getSample(ch, i), 1e-6f)
                        << "ultra " << ultra << " channel " << ch << " sample " << i;
        }
    }
}

TEST(ProcessorRealtime, StereoGivesEachChannelBitForBitWhatAMonoChainGivesIt)
{
    // Different audio on the two channels, through a network change, with and without Ultra Mode.
    for (const float ultra : {0.0f, 1.0f})
    {
        SCOPED_TRACE(ultra != 0.0f ? "Ultra Mode on" : "Ultra Mode off");
        auto stereo = makeProcessor({{ParameterIds::ultraMode, ultra}});
        std::unique_ptr<ZiruzozodAudioProcessor> mono[] = {makeProcessor({{ParameterIds::ultraMode, ultra}}),
                                                           makeProcessor({{ParameterIds::ultraMode, ultra}})};
        prepare(*stereo, 44100.0, 256);
        for (auto& m : mono)
            prepare(*m, 44100.0, 256, 1);
        ASSERT_TRUE(ProcessorTestProbe{*stereo}.currentPairSharesWeights());

        juce::MidiBuffer midi;
        long long position = 0;
        for (int block = 0; block < 30; ++block)
        {
            if (block == 4)
                for (auto* p : {stereo.get(), mono[0].get(), mono[1].get()})
                    setParameter(*p, ParameterIds::boost, 3.0f);
            const int n = block % 5 == 2 ? 37 : 256;
            juce::AudioBuffer<float> both(2, n);
            fillSignal(both, position, 44100.0);
            position += n;
            juce::AudioBuffer<float> channel[] = {{1, n}, {1, n}};
            for (int ch = 0; ch < 2; ++ch)
            {
                channel[ch].copyFrom(0, 0, both, ch, 0, n);
                mono[ch]->processBlock(channel[ch], midi);
            }
            stereo->processBlock(both, midi);

            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(std::memcmp(both.getReadPointer(ch), channel[ch].getReadPointer(0),
                                      (size_t)n * sizeof(float)),
                          0)
                    << "block " << block << " channel " << ch;
        }
    }
}

TEST(ProcessorRealtime, BlockLargerThanAnnouncedDuringAFadeRampsOverTheWholeBlock)
{
    // With empty networks everything after the fade is linear and time-invariant, so the block
    // is what a twin that does not fade gives, times one ramp over all of its samples.
    auto faded = makeProcessor();
    auto twin = makeProcessor();
    juce::MidiBuffer midi;
    for (auto* p : {faded.get(), twin.get()})
    {
        ProcessorTestProbe probe{*p};
        probe.emptyAllNetworks();
        prepare(*p, 44100.0, 64);
        probe.skipBlockChoices(0.0f); // only the test moves the counter
        p->modelFadeCounter.store(0);
        juce::AudioBuffer<float> first(2, 64);
        fillSignal(first, 0, 44100.0);
        p->processBlock(first, midi);
        probe.settleGains();
    }

    juce::AudioBuffer<float> big(2, 1000);
    fillSignal(big, 64, 44100.0);
    auto reference = big;
    faded->modelFadeCounter.store(12); // as the editor's Ultra Mode toggle does
    faded->processBlock(big, midi);    // step 12, over 1000 samples in pieces of 64
    twin->processBlock(reference, midi);
    EXPECT_EQ(faded->modelFadeCounter.load(), 11);

    const float scale = OutputBounds::peak(reference);
    ASSERT_GT(scale, OutputBounds::audible);
    // The post low-pass smears the ramp (a step of 1/4000 per sample) by a sample or so: 3e-5.
    float worst = 0.0f;
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 1000; ++i)
            worst = std::max(worst, std::abs(big.getSample(ch, i) - (1.0f - 0.25f * (float)i / 1000.0f) *
                                                                        reference.getSample(ch, i)));
    EXPECT_LT(worst, 1e-4f * scale); // a ramp over another length is off by up to a quarter
}

//==============================================================================
namespace
{
struct UnhealthyCase
{
    float value;
    bool wholeBlock;
    bool ultraMode;
    int channels;
    double rate;
};

void PrintTo(const UnhealthyCase& c, std::ostream* os)
{
    *os << c.value << (c.wholeBlock ? " in every sample" : " in one sample") << ", Ultra Mode "
        << (c.ultraMode ? "on" : "off") << ", " << c.channels << " channels, " << c.rate << " Hz";
}

class UnhealthyInput : public ::testing::TestWithParam<UnhealthyCase>
{
};

/** Far above what the chain makes of the test signal, far below what a poisoned state gives. */
constexpr float loudestHealthyOutput = OutputBounds::loudestAtTestSettings;
} // namespace

TEST(ProcessorRealtime, HealthySamplesAreFiniteAndAtMostAThousand)
{
    constexpr auto infinity = std::numeric_limits<float>::infinity();
    const std::pair<float, bool> cases[] = {
        {0.0f, true},
        {-0.0f, true},
        {1.0e-42f, true}, // denormal
        {HealthySamples::largestMagnitude, true},
        {-HealthySamples::largestMagnitude, true},
        {std::nextafter(HealthySamples::largestMagnitude, infinity), false},
        {-std::nextafter(HealthySamples::largestMagnitude, infinity), false},
        {1.0e30f, false},
        {std::numeric_limits<float>::max(), false},
        {infinity, false},
        {-infinity, false},
        {std::numeric_limits<float>::quiet_NaN(), false},
        {-std::numeric_limits<float>::quiet_NaN(), false},
    };
    for (const auto& [sample, healthy] : cases)
        EXPECT_EQ(HealthySamples::isHealthy(sample), healthy) << sample;
}

TEST_P(UnhealthyInput, OutputIsHealthyFromThatBlockOn)
{
    const auto c = GetParam();
    auto p =
        makeProcessor({{ParameterIds::ultraMode, c.ultraMode ? 1.0f : 0.0f}, {ParameterIds::dryMix, 60.0f}});
    prepare(*p, c.rate, 256, c.channels);
    long long position = 0;
    for (int block = 0; block < 20; ++block)
        processSignalBlock(*p, c.channels, 256, position, c.rate);

    juce::AudioBuffer<float> poisoned(c.channels, 256);
    fillSignal(poisoned, position, c.rate);
    position += 256;
    for (int ch = 0; ch < c.channels; ++ch)
        for (int i = 0; i < 256; ++i)
            if (c.wholeBlock || i == 100)
                poisoned.setSample(ch, i, c.value);
    juce::MidiBuffer midi;
    p->processBlock(poisoned, midi);
    ASSERT_TRUE(allFinite(poisoned));
    EXPECT_LT(poisoned.getMagnitude(0, 256), loudestHealthyOutput);

    float loudest = 0.0f;
    for (int block = 0; block < 20; ++block)
    {
        const auto out = processSignalBlock(*p, c.channels, 256, position, c.rate);
        ASSERT_TRUE(allFinite(out)) << "block " << block << " after";
        ASSERT_LT(out.getMagnitude(0, 256), loudestHealthyOutput) << "block " << block << " after";
        loudest = std::max(loudest, out.getMagnitude(0, 256));
    }
    EXPECT_GT(loudest, OutputBounds::audible); // not silent for good
    EXPECT_TRUE(std::isfinite(p->outputLevelLeft.load()));
    EXPECT_TRUE(std::isfinite(p->outputLevelRight.load()));
}

INSTANTIATE_TEST_SUITE_P(
    NaNInfinityAndHugeValuesAtEveryRate, UnhealthyInput,
    ::testing::Values(
        UnhealthyCase{std::numeric_limits<float>::quiet_NaN(), true, true, 2, 44100.0},
        UnhealthyCase{std::numeric_limits<float>::quiet_NaN(), true, false, 2, 48000.0},
        UnhealthyCase{std::numeric_limits<float>::quiet_NaN(), false, false, 1, 44100.0},
        UnhealthyCase{std::numeric_limits<float>::infinity(), false, true, 2, 88200.0},
        UnhealthyCase{-std::numeric_limits<float>::infinity(), true, false, 1, 44100.0},
        UnhealthyCase{3.0e38f, true, false, 2, 44100.0}, UnhealthyCase{3.0e38f, false, true, 1, 96000.0},
        // Finite, but beyond any real signal.
        UnhealthyCase{1.0e30f, true, false, 2, 44100.0}, UnhealthyCase{1.0e30f, true, false, 2, 48000.0},
        UnhealthyCase{1.0e30f, false, true, 2, 88200.0}, UnhealthyCase{1.0e30f, true, false, 2, 96000.0},
        UnhealthyCase{-1.0e30f, true, true, 1, 176400.0}, UnhealthyCase{1.0e30f, true, false, 2, 192000.0},
        UnhealthyCase{1.0e30f, true, false, 2, 32000.0}, UnhealthyCase{1.0e30f, false, true, 2, 22050.0},
        UnhealthyCase{5000.0f, true, true, 2, 48000.0}, UnhealthyCase{-1001.0f, true, false, 1, 44100.0}));

TEST(ProcessorRealtime, BoostThatIsNoNumberCountsAsZero)
{
    // A host may set any raw value, and the framework's clamp lets NaN through to the value the
    // chain reads (with an assertion in debug builds); stored here directly.
    auto p = makeProcessor();
    p->apvts->getRawParameterValue(ParameterIds::boost)->store(std::numeric_limits<float>::quiet_NaN());
    auto zero = makeProcessor();

    prepare(*p, 44100.0, 256);
    prepare(*zero, 44100.0, 256);
    ProcessorTestProbe probe{*p};
    EXPECT_EQ(probe.currentLeft(), 0);
    long long a = 0, b = 0;
    for (int block = 0; block < 20; ++block)
    {
        const auto out = processSignalBlock(*p, 2, 256, a, 44100.0);
        const auto expected = processSignalBlock(*zero, 2, 256, b, 44100.0);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(out.getSample(ch, i), expected.getSample(ch, i)) << "block " << block;
    }
    EXPECT_EQ(probe.lastBoost(), 0);
    EXPECT_EQ(p->modelFadeCounter.load(), 0) << "one choice, one fade";
}
