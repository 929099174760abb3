#include "PluginProcessor.h"

#include "editor/PluginEditor.h"

#include <BinaryData.h>

namespace
{
juce::MemoryBlock modelFileBytes(int index)
{
    const auto name = juce::String::formatted("model_%02d_json", index);
    int size = 0;
    const char* data = BinaryData::getNamedResource(name.toRawUTF8(), size);
    jassert(data != nullptr);
    return { data, (size_t) size };
}

std::unique_ptr<juce::AudioParameterFloat> makeFloat(const char* id, const char* name, float start, float end,
                                                     float step, float defaultValue)
{
    return std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID { id, 0 }, name, juce::NormalisableRange<float> { start, end, step, 1.0f, false },
        defaultValue, juce::AudioParameterFloatAttributes().withLabel(id));
}

std::unique_ptr<juce::AudioParameterBool> makeBool(const char* id, const char* name, bool defaultValue)
{
    return std::make_unique<juce::AudioParameterBool>(juce::ParameterID { id, 0 }, name, defaultValue,
                                                      juce::AudioParameterBoolAttributes().withLabel(id));
}
} // namespace

//==============================================================================
ZiruzozodAudioProcessor::ZiruzozodAudioProcessor()
    : AudioProcessor(BusesProperties()
                         .withInput("Input", juce::AudioChannelSet::stereo(), true)
                         .withOutput("Output", juce::AudioChannelSet::stereo(), true))
{
    {
        std::array<juce::MemoryBlock, numModels> modelFiles;
        for (int k = 0; k < numModels; ++k)
            modelFiles[(size_t) k] = modelFileBytes(k);

        for (size_t k = 0; k < (size_t) numModels; ++k)
        {
            modelsLeft[k].load_json(modelFiles[k]);
            modelsRight[k].load_json(modelFiles[k]);
        }
    }

    apvts = std::make_unique<juce::AudioProcessorValueTreeState>(*this, nullptr, "Brimwell", generateLayout());
    presetManager = std::make_unique<ProcessorPresetManager>(*this, *apvts);

    outputTrimParameter = apvts->getRawParameterValue("outtrimKnob");
    inputTrimParameter = apvts->getRawParameterValue("intrimKnob");
    dryMixParameter = apvts->getRawParameterValue("drymixKnob");
    driveParameter = apvts->getRawParameterValue("driveKnob");
    boostParameter = apvts->getRawParameterValue("boostKnob");
    powerParameter = apvts->getRawParameterValue("poweRButton");
    ultraModeParameter = apvts->getRawParameterValue("ultraXButton");
    autoGainParameter = apvts->getRawParameterValue("linkOnOfFButton");
    lowPassParameter = apvts->getRawParameterValue("lpKnob");
    highPassParameter = apvts->getRawParameterValue("hpKnob");
}

ZiruzozodAudioProcessor::~ZiruzozodAudioProcessor() = default;

juce::AudioProcessorValueTreeState::ParameterLayout ZiruzozodAudioProcessor::generateLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add(makeFloat("outputKnob", "Output Knob", 0.1f, 1.0f, 0.0001f, 1.0f),
               makeFloat("driveKnob", "Drive", 0.1f, 1.0f, 0.0001f, 0.3f),
               makeFloat("intrimKnob", "Input Adj", -12.0f, 12.0f, 0.1f, 0.0f),
               makeFloat("outtrimKnob", "Output Adj", -12.0f, 12.0f, 0.1f, 0.0f),
               makeFloat("drymixKnob", "Dry Mix", 0.0f, 100.0f, 0.1f, 100.0f),
               makeFloat("lpKnob", "Low Pass", 2000.0f, 20000.0f, 0.1f, 20000.0f),
               makeFloat("hpKnob", "High Pass", 20.0f, 500.0f, 0.1f, 20.0f),
               makeFloat("boostKnob", "Boost", 0.0f, 4.0f, 1.0f, 0.0f),
               makeBool("linkOnOfFButton", "AutoGain", false),
               makeBool("ultraXButton", "Ultra Mode", true),
               makeBool("poweRButton", "Power", false));
    return layout;
}

//==============================================================================
const juce::String ZiruzozodAudioProcessor::getName() const { return "Brimwell"; }
double ZiruzozodAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool ZiruzozodAudioProcessor::acceptsMidi() const { return false; }
bool ZiruzozodAudioProcessor::producesMidi() const { return false; }
bool ZiruzozodAudioProcessor::isMidiEffect() const { return false; }
bool ZiruzozodAudioProcessor::hasEditor() const { return true; }
int ZiruzozodAudioProcessor::getNumPrograms() { return 1; }
int ZiruzozodAudioProcessor::getCurrentProgram() { return 0; }
void ZiruzozodAudioProcessor::setCurrentProgram(int) {}
const juce::String ZiruzozodAudioProcessor::getProgramName(int) { return {}; }
void ZiruzozodAudioProcessor::changeProgramName(int, const juce::String&) {}

juce::AudioProcessorEditor* ZiruzozodAudioProcessor::createEditor()
{
    return new ZiruzozodAudioProcessorEditor(*this);
}

bool ZiruzozodAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();
    const auto input = layouts.getMainInputChannelSet();
    const bool monoOrStereo = output == juce::AudioChannelSet::mono() || output == juce::AudioChannelSet::stereo();
    return monoOrStereo && input == output;
}

//==============================================================================
void ZiruzozodAudioProcessor::prepareToPlay(double, int)
{
    isPrepared = true;
}

void ZiruzozodAudioProcessor::releaseResources()
{
    isPrepared = false;
}

void ZiruzozodAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;
    for (auto ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels(); ++ch)
        buffer.clear(ch, 0, buffer.getNumSamples());
}

//==============================================================================
void ZiruzozodAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    juce::MemoryOutputStream stream(destData, false);
    apvts->copyState().writeToStream(stream);
}

void ZiruzozodAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    auto tree = juce::ValueTree::readFromData(data, (size_t) sizeInBytes);
    if (tree.isValid())
        apvts->replaceState(tree);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new ZiruzozodAudioProcessor();
}
