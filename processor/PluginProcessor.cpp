#include "PluginProcessor.h"
#include "processor/ParameterIds.h"

#include "editor/PluginEditor.h"

#include "processor/ChainFormulas.h"
#include "processor/FiniteParameter.h"
#include "processor/HealthySamples.h"
#include "processor/NetworkChoice.h"
#include "processor/StateBytesCheck.h"

#include <BinaryData.h>

namespace
{
juce::MemoryBlock modelFileBytes(int index)
{
    const auto name = juce::String::formatted("model_%02d_json", index);
    int size = 0;
    const char* data = BinaryData::getNamedResource(name.toRawUTF8(), size);
    jassert(data != nullptr);
    return {data, (size_t)size};
}

// The framework's parameters, each kept from a host's value that is not finite.
std::unique_ptr<FiniteParameter> makeFloat(const char* id, const char* name, float start, float end,
                                           float step, float defaultValue)
{
    return std::make_unique<FiniteParameter>(std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID{id, 0}, name, juce::NormalisableRange<float>{start, end, step, 1.0f, false},
        defaultValue, juce::AudioParameterFloatAttributes().withLabel(id)));
}

std::unique_ptr<FiniteParameter> makeBool(const char* id, const char* name, bool defaultValue)
{
    return std::make_unique<FiniteParameter>(std::make_unique<juce::AudioParameterBool>(
        juce::ParameterID{id, 0}, name, defaultValue, juce::AudioParameterBoolAttributes().withLabel(id)));
}
} // namespace

//==============================================================================
ZiruzozodAudioProcessor::ZiruzozodAudioProcessor()
    : AudioProcessor(BusesProperties()
                         .withInput("Input", juce::AudioChannelSet::stereo(), true)
                         .withOutput("Output", juce::AudioChannelSet::stereo(), true))
{
    LstmKernels::active(); // the kernel choice is made here, not by the first block on the audio thread
    for (size_t k = 0; k < (size_t)numModels; ++k)
    {
        const auto modelFile = modelFileBytes((int)k);
        modelsLeft[k].load_json(modelFile);
        modelsRight[k].load_json(modelFile);
        pairSharesWeights[k] = modelsLeft[k].sharesWeightsWith(modelsRight[k]);
    }

    apvts =
        std::make_unique<juce::AudioProcessorValueTreeState>(*this, nullptr, "Brimwell", generateLayout());
    presetManager = std::make_unique<ProcessorPresetManager>(
        *this, *apvts, [this](const void* d, int n) { return restoreState(d, n); }, stateLock);

    outputTrimParameter = apvts->getRawParameterValue(ParameterIds::outputTrim);
    inputTrimParameter = apvts->getRawParameterValue(ParameterIds::inputTrim);
    dryMixParameter = apvts->getRawParameterValue(ParameterIds::dryMix);
    driveParameter = apvts->getRawParameterValue(ParameterIds::drive);
    boostParameter = apvts->getRawParameterValue(ParameterIds::boost);
    powerParameter = apvts->getRawParameterValue(ParameterIds::power);
    ultraModeParameter = apvts->getRawParameterValue(ParameterIds::ultraMode);
    autoGainParameter = apvts->getRawParameterValue(ParameterIds::autoGain);
    lowPassParameter = apvts->getRawParameterValue(ParameterIds::lowPass);
    highPassParameter = apvts->getRawParameterValue(ParameterIds::highPass);
}

ZiruzozodAudioProcessor::~ZiruzozodAudioProcessor() = default;

juce::AudioProcessorValueTreeState::ParameterLayout ZiruzozodAudioProcessor::generateLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add(makeFloat(ParameterIds::output, "Output Knob", 0.1f, 1.0f, 0.0001f, 1.0f),
               makeFloat(ParameterIds::drive, "Drive", 0.1f, 1.0f, 0.0001f, 0.3f),
               makeFloat(ParameterIds::inputTrim, "Input Adj", -12.0f, 12.0f, 0.1f, 0.0f),
               makeFloat(ParameterIds::outputTrim, "Output Adj", -12.0f, 12.0f, 0.1f, 0.0f),
               makeFloat(ParameterIds::dryMix, "Dry Mix", 0.0f, 100.0f, 0.1f, 100.0f),
               makeFloat(ParameterIds::lowPass, "Low Pass", 2000.0f, 20000.0f, 0.1f, 20000.0f),
               makeFloat(ParameterIds::highPass, "High Pass", 20.0f, 500.0f, 0.1f, 20.0f),
               makeFloat(ParameterIds::boost, "Boost", 0.0f, 4.0f, 1.0f, 0.0f),
               makeBool(ParameterIds::autoGain, "AutoGain", false),
               makeBool(ParameterIds::ultraMode, "Ultra Mode", true),
               makeBool(ParameterIds::power, "Power", false));
    return layout;
}

//==============================================================================
const juce::String ZiruzozodAudioProcessor::getName() const
{
    return "Brimwell";
}
double ZiruzozodAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}
bool ZiruzozodAudioProcessor::acceptsMidi() const
{
    return false;
}
bool ZiruzozodAudioProcessor::producesMidi() const
{
    return false;
}
bool ZiruzozodAudioProcessor::isMidiEffect() const
{
    return false;
}
bool ZiruzozodAudioProcessor::hasEditor() const
{
    return true;
}
int ZiruzozodAudioProcessor::getNumPrograms()
{
    return 1;
}
int ZiruzozodAudioProcessor::getCurrentProgram()
{
    return 0;
}
void ZiruzozodAudioProcessor::setCurrentProgram(int) {}
// Named as the default preset: the Linux formats publish the one program to hosts, which list a
// nameless one as a blank entry, and the VST3 validator fails it.
const juce::String ZiruzozodAudioProcessor::getProgramName(int)
{
    return "Default";
}
void ZiruzozodAudioProcessor::changeProgramName(int, const juce::String&) {}

juce::AudioProcessorEditor* ZiruzozodAudioProcessor::createEditor()
{
    return new ZiruzozodAudioProcessorEditor(*this);
}

bool ZiruzozodAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();
    const auto input = layouts.getMainInputChannelSet();
    const bool monoOrStereo =
        output == juce::AudioChannelSet::mono() || output == juce::AudioChannelSet::stereo();
    return monoOrStereo && input == output;
}

//==============================================================================
void ZiruzozodAudioProcessor::prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock)
{
    // Filters designed for a rate that is no rate are unstable; such a host gets its audio back.
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
    {
        isPrepared = false;
        return;
    }

    const int numChannels = getTotalNumOutputChannels();
    const int largestBlock = juce::jmax(1, maximumExpectedSamplesPerBlock);
    const juce::dsp::ProcessSpec spec{sampleRate, (juce::uint32)largestBlock, (juce::uint32)numChannels};
    preparedRate = sampleRate;

    // Fixed 20 Hz high-pass and 20 kHz low-pass, into the coefficients their filters share.
    using Designs = juce::dsp::IIR::ArrayCoefficients<float>;
    *dcHighPass.state = Designs::makeHighPass(sampleRate, 20.0f);
    *ultrasonicLowPass.state =
        Designs::makeLowPass(sampleRate, juce::jmin(20000.0f, ChainFormulas::lowPassLimit(sampleRate)));
    dcHighPass.prepare(spec);
    ultrasonicLowPass.prepare(spec);

    const bool ultraMode = ultraModeParameter->load() != 0.0f;
    if (const auto choice = NetworkChoice::atPreparation(sampleRate, ultraMode, boostParameter->load()))
    {
        const auto k = (size_t)choice->networkIndex;
        oversamplingOrder = choice->oversamplingOrder;
        nextModelLeft = currentModelLeft = &modelsLeft[k];
        nextModelRight = currentModelRight = &modelsRight[k];
        modelIsConditioned = modelsLeft[k].input_size >= 2;
        modelFadeCounter.store(0);
        modelReady = true;
    }

    auto makeOversampler = [&]
    {
        auto oversampler = std::make_unique<juce::dsp::Oversampling<float>>(
            (size_t)numChannels, (size_t)oversamplingOrder,
            juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
        oversampler->initProcessing((size_t)largestBlock);
        return oversampler;
    };
    wetOversampler = makeOversampler();
    dryOversampler = makeOversampler();

    // The first-order filters keep the coefficient objects they were built with; each block
    // rewrites their values in place, so that a block allocates nothing.
    preHighPassLeft.reset();
    preHighPassRight.reset();
    postLowPassLeft.reset();
    postLowPassRight.reset();

    if (levelFollowerLeft == nullptr)
        levelFollowerLeft = std::make_unique<LevelFollower>();
    if (levelFollowerRight == nullptr)
        levelFollowerRight = std::make_unique<LevelFollower>();
    levelFollowerLeft->prepare(sampleRate);
    levelFollowerRight->prepare(sampleRate);

    for (auto* gain : {&inputGain, &driveGain, &outputGain, &dryGain, &wetGain, &makeupGain})
    {
        gain->prepare(spec);
        gain->setRampDurationSeconds(0.5);
    }

    for (auto* model : {currentModelLeft, currentModelRight})
        if (model != nullptr)
            model->reset();

    dryCopy.setSize(numChannels, largestBlock, false, false, true);
    preparedBlockSize = largestBlock;
    preparedChannels = numChannels;

    setLatencySamples((int)wetOversampler->getLatencyInSamples());
    isPrepared = true;
    modelFadeCounter.store(ModelFade::preparationFadeIn);
}

void ZiruzozodAudioProcessor::releaseResources()
{
    dcHighPass.reset();
    ultrasonicLowPass.reset();
    postLowPassLeft.reset();
    postLowPassRight.reset();
    preHighPassLeft.reset();
    preHighPassRight.reset();
    isPrepared = false;
}

//==============================================================================
void ZiruzozodAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    if (!isPrepared)
        return;

    juce::ScopedNoDenormals noDenormals;
    for (auto ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels(); ++ch)
        buffer.clear(ch, 0, buffer.getNumSamples());

    const auto parameters = readBlockParameters();
    if (parameters.power != 0.0f)
        return;

    chooseNetworks(parameters.boost, parameters.ultraMode);
    setGainTargets(parameters);
    setFirstOrderCoefficients(parameters);

    const auto fade = ModelFade::forCounter(modelFadeCounter.load());

    // One segment, unless the host sends more samples than it announced at preparation:
    // then the chain runs in pieces of the prepared size, and the fade spans the whole block.
    // An empty block runs no segment but still steps the fade.
    const int blockLength = buffer.getNumSamples();
    for (int start = 0; start < blockLength;)
    {
        const int length = juce::jmin(preparedBlockSize, blockLength - start);
        processSegment(buffer, start, length, parameters, fade, blockLength);
        start += length;
    }

    if (fade.swapsNetworks)
        swapInChosenNetworks();
    if (fade.countsDown)
        modelFadeCounter.fetch_sub(1);
}

void ZiruzozodAudioProcessor::processSegment(juce::AudioBuffer<float>& buffer, int start, int numSamples,
                                             const BlockParameters& parameters, const ModelFade::Step& fade,
                                             int blockLength) noexcept
{
    using Context = juce::dsp::ProcessContextReplacing<float>;
    const auto numChannels = (size_t)juce::jmin(buffer.getNumChannels(), preparedChannels);
    auto wet = juce::dsp::AudioBlock<float>(buffer)
                   .getSubsetChannelBlock(0, numChannels)
                   .getSubBlock((size_t)start, (size_t)numSamples);
    auto dry = juce::dsp::AudioBlock<float>(dryCopy)
                   .getSubsetChannelBlock(0, numChannels)
                   .getSubBlock(0, (size_t)numSamples);

    HealthySamples::replaceUnhealthy(wet); // such input counts as 0 on both paths
    dry.copyFrom(wet);

    inputGain.process(Context(wet));
    driveGain.process(Context(wet));
    applyFirstOrder(preHighPassLeft, preHighPassRight, wet);
    applyNetworkStage(wet, dry, parameters);
    applyFixedFilters(wet);
    ModelFade::apply(fade, buffer, (int)numChannels, start, numSamples, blockLength);
    makeupGain.process(Context(wet));
    wetGain.process(Context(wet));
    applyFirstOrder(postLowPassLeft, postLowPassRight, wet);

    dryGain.process(Context(dry));
    wet.add(dry);
    outputGain.process(Context(wet));

    if (HealthySamples::replaceUnhealthy(wet))
        clearRecursiveState();

    publishOutputLevels(wet, getTotalNumOutputChannels(), *levelFollowerLeft, *levelFollowerRight,
                        outputLevelLeft, outputLevelRight);
}

ZiruzozodAudioProcessor::BlockParameters ZiruzozodAudioProcessor::readBlockParameters() const noexcept
{
    return {outputTrimParameter->load(), inputTrimParameter->load(), dryMixParameter->load(),
            driveParameter->load(),      lowPassParameter->load(),   highPassParameter->load() - 10.0f,
            boostParameter->load(),      ultraModeParameter->load(), autoGainParameter->load(),
            powerParameter->load()};
}

void ZiruzozodAudioProcessor::chooseNetworks(float boost, float ultraMode) noexcept
{
    auto choose = [this, boost, ultraMode]
    {
        if (const auto k = NetworkChoice::atBlock(preparedRate, ultraMode != 0.0f, boost))
        {
            nextModelLeft = &modelsLeft[(size_t)*k];
            nextModelRight = &modelsRight[(size_t)*k];
            modelFadeCounter.store(ModelFade::fullFade);
            modelReady = true;
        }
    };

    if (!modelChosenOnce)
    {
        choose();
        modelChosenOnce = true;
    }
    // Compared as whole positions, so that a Boost that is no number cannot choose on every block.
    if (const int position = ChainFormulas::boostPosition(boost); position != lastBoost)
    {
        choose();
        lastBoost = position;
    }
}

void ZiruzozodAudioProcessor::swapInChosenNetworks() noexcept
{
    currentModelLeft = nextModelLeft;
    currentModelRight = nextModelRight;
    dcHighPass.reset();
    modelIsConditioned = currentModelLeft != nullptr && currentModelLeft->input_size >= 2;
}

void ZiruzozodAudioProcessor::setGainTargets(const BlockParameters& p) noexcept
{
    driveGain.setGainLinear(p.drive);
    inputGain.setGainLinear(ChainFormulas::decibelsToGain(p.inputTrim));
    dryGain.setGainLinear(1.0f - p.dryMix / 100.0f);
    wetGain.setGainLinear(p.dryMix / 100.0f);
    outputGain.setGainLinear(ChainFormulas::decibelsToGain(p.outputTrim));

    const auto makeupLevel = ChainFormulas::makeupLevelDecibels(p.dryMix, p.boost);
    makeupGain.setGainLinear(ChainFormulas::decibelsToGain(
        ChainFormulas::makeupTargetDecibels(makeupLevel, p.autoGain != 0.0f, p.drive)));
}

void ZiruzozodAudioProcessor::setFirstOrderCoefficients(const BlockParameters& p) noexcept
{
    ChainFormulas::setFirstOrderHighPass(*preHighPassLeft.coefficients, preparedRate, p.highPass);
    ChainFormulas::setFirstOrderHighPass(*preHighPassRight.coefficients, preparedRate, p.highPass);
    ChainFormulas::setFirstOrderLowPass(*postLowPassLeft.coefficients, preparedRate, p.lowPass);
    ChainFormulas::setFirstOrderLowPass(*postLowPassRight.coefficients, preparedRate, p.lowPass);
}

void ZiruzozodAudioProcessor::applyFirstOrder(Filter& left, Filter& right,
                                              juce::dsp::AudioBlock<float> block) noexcept
{
    if (block.getNumChannels() == 0)
        return;

    auto* l = block.getChannelPointer(0);
    if (block.getNumChannels() == 1)
    {
        for (size_t i = 0; i < block.getNumSamples(); ++i)
            l[i] = left.processSample(l[i]);
        return;
    }

    auto* r = block.getChannelPointer(1);
    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        l[i] = left.processSample(l[i]);
        r[i] = right.processSample(r[i]);
    }
}

void ZiruzozodAudioProcessor::applyNetworkStage(juce::dsp::AudioBlock<float> wet,
                                                juce::dsp::AudioBlock<float> dry,
                                                const BlockParameters& parameters) noexcept
{
    if (parameters.ultraMode != 0.0f)
    {
        runNetworks(wet, parameters.drive);
        return;
    }

    // Ultra Mode off: the network runs inside the oversampler, and the dry copy goes through
    // the identical oversampler so that both paths keep the same delay.
    auto upsampled = wetOversampler->processSamplesUp(wet);
    dryOversampler->processSamplesUp(dry);
    runNetworks(upsampled, parameters.drive);
    wetOversampler->processSamplesDown(wet);
    dryOversampler->processSamplesDown(dry);
}

void ZiruzozodAudioProcessor::runNetworks(juce::dsp::AudioBlock<float> block, float drive) noexcept
{
    if (!modelReady)
        return;

    const int numSamples = (int)block.getNumSamples();
    if (block.getNumChannels() >= 2 && currentPairSharesWeights())
    {
        // Both channels in one pass, each with its own instance: every weight read serves the two.
        auto* left = block.getChannelPointer(0);
        auto* right = block.getChannelPointer(1);
        if (modelIsConditioned)
            RT_LSTM::processPair(*currentModelLeft, *currentModelRight, left, right, drive, numSamples);
        else
            RT_LSTM::processPair(*currentModelLeft, *currentModelRight, left, right, numSamples);
        return;
    }

    for (size_t ch = 0; ch < juce::jmin((size_t)2, block.getNumChannels()); ++ch)
    {
        auto* model = ch == 0 ? currentModelLeft : currentModelRight;
        if (model == nullptr)
            continue;

        auto* samples = block.getChannelPointer(ch);
        if (modelIsConditioned)
            model->process(samples, drive, samples, numSamples);
        else
            model->process(samples, samples, numSamples);
    }
}

bool ZiruzozodAudioProcessor::currentPairSharesWeights() const noexcept
{
    if (currentModelLeft == nullptr || currentModelRight == nullptr)
        return false;
    const auto k = (size_t)(currentModelLeft - modelsLeft.data());
    return currentModelRight == &modelsRight[k] && pairSharesWeights[k];
}

void ZiruzozodAudioProcessor::applyFixedFilters(juce::dsp::AudioBlock<float> block) noexcept
{
    const juce::dsp::ProcessContextReplacing<float> context(block);
    dcHighPass.process(context);
    ultrasonicLowPass.process(context);
}

void ZiruzozodAudioProcessor::clearRecursiveState() noexcept
{
    for (auto* model : {currentModelLeft, currentModelRight})
        if (model != nullptr)
            model->reset();

    preHighPassLeft.reset();
    preHighPassRight.reset();
    postLowPassLeft.reset();
    postLowPassRight.reset();
    dcHighPass.reset();
    ultrasonicLowPass.reset();
    wetOversampler->reset();
    dryOversampler->reset();
}

//==============================================================================
// Both hold the lock of the preset work on the tree, so that a host calling on its own thread
// never meets that work, and take the parameter state tree's lock inside it. The bytes carry
// the values as they are now: copyState flushes the parameters into the tree first, so a save
// right after an automation move does not store the value of the last periodic flush.
void ZiruzozodAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    const juce::ScopedLock lock(stateLock);
    juce::MemoryOutputStream stream(destData, false);
    apvts->copyState().writeToStream(stream);
}

void ZiruzozodAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    const juce::ScopedLock lock(stateLock);
    restoreState(data, sizeInBytes);
}

bool ZiruzozodAudioProcessor::restoreState(const void* data, int sizeInBytes)
{
    // The framework's reader trusts the sizes it reads; bytes from a session or a preset file
    // are checked before it sees them.
    if (data == nullptr || sizeInBytes <= 0 || !StateBytesCheck::isReadable(data, (size_t)sizeInBytes))
        return false;

    auto tree = juce::ValueTree::readFromData(data, (size_t)sizeInBytes);
    if (!tree.isValid())
        return false;

    keepRestoredValuesInRange(tree);
    appendMissingParameterChildren(tree);
    apvts->replaceState(tree);
    setRawValuesToRestored();
    return true;
}

// The framework's range clamp lets a non-finite value through, and the state would carry it
// on. Such a value keeps the parameter's current one; a finite value out of range is brought
// into it, in the tree too, so what is saved next is what the parameter holds.
void ZiruzozodAudioProcessor::keepRestoredValuesInRange(juce::ValueTree& restored)
{
    static const juce::Identifier valueId("value");
    for (auto child : restored)
    {
        auto* parameter = apvts->getParameter(child.getProperty("id").toString());
        if (parameter == nullptr || !child.hasProperty(valueId))
            continue;

        const auto stored = (double)child.getProperty(valueId);
        const auto& range = parameter->getNormalisableRange();
        if (!std::isfinite(stored))
            child.setProperty(valueId, apvts->getRawParameterValue(parameter->paramID)->load(), nullptr);
        else if (stored < range.start || stored > range.end)
            child.setProperty(valueId, juce::jlimit((double)range.start, (double)range.end, stored), nullptr);
    }
}

// A parameter that finds no child keeps its current value. This framework version would
// append an empty child and so reset the parameter to its default; the child is appended here
// instead, holding the current value, in the framework's order.
void ZiruzozodAudioProcessor::appendMissingParameterChildren(juce::ValueTree& restored)
{
    juce::StringArray missing;
    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter))
            if (!restored.getChildWithProperty("id", withId->paramID).isValid())
                missing.add(withId->paramID);
    missing.sort(false);
    for (const auto& id : missing)
    {
        juce::ValueTree child("PARAM");
        child.setProperty("id", id, nullptr);
        child.setProperty("value", apvts->getRawParameterValue(id)->load(), nullptr);
        restored.appendChild(child, nullptr);
    }
}

// The state tree skips a parameter whose value in its own units did not change, so a switch
// that a host left at a raw value between its two states would keep it. Every parameter ends
// up at exactly the raw value of what was restored.
void ZiruzozodAudioProcessor::setRawValuesToRestored()
{
    for (auto* parameter : getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameter))
        {
            const auto restored = ranged->convertTo0to1(apvts->getRawParameterValue(ranged->paramID)->load());
            if (ranged->getValue() != restored)
                ranged->setValueNotifyingHost(restored);
        }
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new ZiruzozodAudioProcessor();
}
