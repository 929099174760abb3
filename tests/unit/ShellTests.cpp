// The processor as the plug-in clients see it before any audio: parameters, buses, fixed answers.

#include "processor/ParameterIds.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layout(std::initializer_list<Set> inputs,
                                         std::initializer_list<Set> outputs)
{
    juce::AudioProcessor::BusesLayout l;
    for (auto s : inputs)
        l.inputBuses.add(s);
    for (auto s : outputs)
        l.outputBuses.add(s);
    return l;
}
} // namespace

TEST(ProcessorShell, ParametersInHostOrderWithRangesStepsAndLabels)
{
    struct Expected
    {
        const char* id;
        const char* name;
        float start, end, step, defaultValue;
        bool isBool;
    };
    // Spelled out, not taken from ParameterIds: stored states and presets depend on these strings.
    const Expected table[] = {
        {"outputKnob", "Output Knob", 0.1f, 1.0f, 0.0001f, 1.0f, false},
        {"driveKnob", "Drive", 0.1f, 1.0f, 0.0001f, 0.3f, false},
        {"intrimKnob", "Input Adj", -12.0f, 12.0f, 0.1f, 0.0f, false},
        {"outtrimKnob", "Output Adj", -12.0f, 12.0f, 0.1f, 0.0f, false},
        {"drymixKnob", "Dry Mix", 0.0f, 100.0f, 0.1f, 100.0f, false},
        {"lpKnob", "Low Pass", 2000.0f, 20000.0f, 0.1f, 20000.0f, false},
        {"hpKnob", "High Pass", 20.0f, 500.0f, 0.1f, 20.0f, false},
        {"boostKnob", "Boost", 0.0f, 4.0f, 1.0f, 0.0f, false},
        {"linkOnOfFButton", "AutoGain", 0, 1, 0, 0, true},
        {"ultraXButton", "Ultra Mode", 0, 1, 0, 1, true},
        {"poweRButton", "Power", 0, 1, 0, 0, true},
    };

    auto processor = std::make_unique<ZiruzozodAudioProcessor>();
    const auto& parameters = processor->getParameters();
    ASSERT_EQ(parameters.size(), 11);

    for (int index = 0; index < 11; ++index)
    {
        const auto& e = table[index];
        SCOPED_TRACE(e.id);
        auto* p = dynamic_cast<juce::RangedAudioParameter*>(parameters[index]);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->getParameterID(), e.id);
        EXPECT_EQ(p->getName(64), e.name);
        EXPECT_EQ(p->getLabel(), e.id);
        EXPECT_EQ(p->getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_EQ(p->isBoolean(), e.isBool);
        EXPECT_FLOAT_EQ(p->convertFrom0to1(p->getDefaultValue()), e.defaultValue);
        EXPECT_FLOAT_EQ(*processor->apvts->getRawParameterValue(e.id), e.defaultValue);
        if (!e.isBool)
        {
            const auto& range = p->getNormalisableRange();
            EXPECT_FLOAT_EQ(range.start, e.start);
            EXPECT_FLOAT_EQ(range.end, e.end);
            EXPECT_FLOAT_EQ(range.interval, e.step);
            EXPECT_FLOAT_EQ(range.skew, 1.0f);
        }
    }

    auto* boost = processor->apvts->getParameter(ParameterIds::boost);
    for (auto [normalised, value] : {std::pair{0.1f, 0.0f}, {0.3f, 1.0f}, {0.62f, 2.0f}, {0.88f, 4.0f}})
    {
        boost->setValueNotifyingHost(normalised);
        EXPECT_EQ(*processor->apvts->getRawParameterValue(ParameterIds::boost), value)
            << "Boost takes whole positions";
    }
}

TEST(ProcessorShell, AcceptsMonoOrStereoWithTheInputEqualToTheOutput)
{
    auto processor = std::make_unique<ZiruzozodAudioProcessor>(); // megabytes of networks: never on the stack
    struct Case
    {
        const char* what;
        juce::AudioProcessor::BusesLayout layout;
        bool supported;
    };
    const Case cases[] = {
        {"mono", layout({Set::mono()}, {Set::mono()}), true},
        {"stereo", layout({Set::stereo()}, {Set::stereo()}), true},
        {"mono to stereo", layout({Set::mono()}, {Set::stereo()}), false},
        {"stereo to mono", layout({Set::stereo()}, {Set::mono()}), false},
        {"5.1", layout({Set::create5point1()}, {Set::create5point1()}), false},
        {"quadraphonic", layout({Set::quadraphonic()}, {Set::quadraphonic()}), false},
        {"no input bus", layout({}, {Set::stereo()}), false},
        {"no output bus", layout({Set::stereo()}, {}), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(processor->isBusesLayoutSupported(c.layout), c.supported) << c.what;
}

TEST(ProcessorShell, FixedAnswersAndTheStateBeforePreparation)
{
    auto owned = std::make_unique<ZiruzozodAudioProcessor>();
    auto& processor = *owned;
    EXPECT_EQ(processor.getName(), "Brimwell");
    EXPECT_EQ(processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE(processor.acceptsMidi());
    EXPECT_FALSE(processor.producesMidi());
    EXPECT_FALSE(processor.isMidiEffect());
    EXPECT_TRUE(processor.hasEditor());

    processor.setCurrentProgram(3);
    processor.changeProgramName(0, "renamed");
    EXPECT_EQ(processor.getNumPrograms(), 1);
    EXPECT_EQ(processor.getCurrentProgram(), 0);
    EXPECT_EQ(processor.getProgramName(0), "Default") << "hosts list the one program by its name";
    EXPECT_EQ(processor.getProgramName(5), "Default");

    EXPECT_EQ(processor.getMainBusNumInputChannels(), 2);
    EXPECT_EQ(processor.getMainBusNumOutputChannels(), 2);
    EXPECT_EQ(processor.getBus(true, 0)->getName(), "Input");
    EXPECT_EQ(processor.getBus(false, 0)->getName(), "Output");

    // Before any preparation a host may restore state and open the editor.
    auto other = std::make_unique<ZiruzozodAudioProcessor>();
    other->apvts->getParameter(ParameterIds::drive)->setValueNotifyingHost(0.9f);
    juce::MemoryBlock state;
    other->getStateInformation(state);
    processor.setStateInformation(state.getData(), (int)state.getSize());
    EXPECT_NEAR(*processor.apvts->getRawParameterValue(ParameterIds::drive), 0.91f, 1e-4f);
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditor());
    EXPECT_NE(editor, nullptr);
}
