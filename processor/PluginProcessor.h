#pragma once

#include "model/RT_LSTM.h"
#include "presets/ProcessorPresetManager.h"
#include "processor/LevelFollower.h"
#include "processor/ModelFade.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <array>
#include <atomic>
#include <memory>

/** The plug-in's audio processor: parameters, the signal chain around the networks,
    host state, and the levels published to the editor. */
class ZiruzozodAudioProcessor : public juce::AudioProcessor
{
  public:
    static constexpr int numModels = 25;

    ZiruzozodAudioProcessor();
    ~ZiruzozodAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;

    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;

    /** Restores the state from bytes such as getStateInformation writes. Returns false, having
        changed nothing, when the bytes are refused: empty, no value tree, or beyond the checks of
        StateBytesCheck. */
    bool restoreState(const void* data, int sizeInBytes);

    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    /** The 11 host parameters, in host order. */
    static juce::AudioProcessorValueTreeState::ParameterLayout generateLayout();

  private:
    using Filter = juce::dsp::IIR::Filter<float>;
    using FixedFilter = juce::dsp::ProcessorDuplicator<Filter, juce::dsp::IIR::Coefficients<float>>;

    Filter preHighPassLeft, preHighPassRight;
    Filter postLowPassLeft, postLowPassRight;

    std::array<RT_LSTM, numModels> modelsLeft;
    std::array<RT_LSTM, numModels> modelsRight;
    // Found at load: element k's two instances may run as one pair pass.
    std::array<bool, numModels> pairSharesWeights{};

    bool modelIsConditioned = false;

  public:
    std::atomic<int> modelFadeCounter{0};

  private:
    bool modelReady = false;
    // The host's state calls and the preset work on the tree take it; the audio thread never does.
    juce::CriticalSection stateLock;

  public:
    std::atomic<float> outputLevelLeft{0.0f};
    std::atomic<float> outputLevelRight{0.0f};

    std::unique_ptr<juce::AudioProcessorValueTreeState> apvts;
    std::unique_ptr<ProcessorPresetManager> presetManager;

  private:
    std::unique_ptr<LevelFollower> levelFollowerLeft, levelFollowerRight;

    RT_LSTM* currentModelLeft = nullptr;
    RT_LSTM* currentModelRight = nullptr;
    RT_LSTM* nextModelLeft = nullptr;
    RT_LSTM* nextModelRight = nullptr;

    FixedFilter dcHighPass, ultrasonicLowPass;

    juce::dsp::Gain<float> driveGain, inputGain, outputGain, dryGain, wetGain, makeupGain;

    bool modelChosenOnce = false;
    int lastBoost = -1;
    bool isPrepared = false;
    int oversamplingOrder = 1;

    std::unique_ptr<juce::dsp::Oversampling<float>> wetOversampler, dryOversampler;

    std::atomic<float>* driveParameter = nullptr;
    std::atomic<float>* boostParameter = nullptr;
    std::atomic<float>* ultraModeParameter = nullptr;
    std::atomic<float>* powerParameter = nullptr;
    std::atomic<float>* autoGainParameter = nullptr;
    std::atomic<float>* lowPassParameter = nullptr;
    std::atomic<float>* highPassParameter = nullptr;
    std::atomic<float>* outputTrimParameter = nullptr;
    std::atomic<float>* inputTrimParameter = nullptr;
    std::atomic<float>* dryMixParameter = nullptr;

    // Reserved at preparation so that a block allocates nothing.
    juce::AudioBuffer<float> dryCopy;
    double preparedRate = 44100.0;
    int preparedBlockSize = 0;
    int preparedChannels = 0;

    /** The ten parameter values that one block works with, read once at its start. */
    struct BlockParameters
    {
        float outputTrim, inputTrim, dryMix, drive, lowPass, highPass, boost, ultraMode, autoGain, power;
    };

    BlockParameters readBlockParameters() const noexcept;
    void chooseNetworks(float boost, float ultraMode) noexcept;
    void swapInChosenNetworks() noexcept;
    void setGainTargets(const BlockParameters&) noexcept;
    void setFirstOrderCoefficients(const BlockParameters&) noexcept;
    void processSegment(juce::AudioBuffer<float>&, int start, int numSamples, const BlockParameters&,
                        const ModelFade::Step&, int blockLength) noexcept;
    static void applyFirstOrder(Filter& left, Filter& right, juce::dsp::AudioBlock<float>) noexcept;
    void applyNetworkStage(juce::dsp::AudioBlock<float> wet, juce::dsp::AudioBlock<float> dry,
                           const BlockParameters&) noexcept;
    void runNetworks(juce::dsp::AudioBlock<float>, float drive) noexcept;
    bool currentPairSharesWeights() const noexcept;
    void applyFixedFilters(juce::dsp::AudioBlock<float>) noexcept;
    void clearRecursiveState() noexcept;

    void keepRestoredValuesInRange(juce::ValueTree& restored);
    void appendMissingParameterChildren(juce::ValueTree& restored);
    void setRawValuesToRestored();

    friend struct ProcessorTestProbe; // tests/unit: reads the chain's private state

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ZiruzozodAudioProcessor)
};
