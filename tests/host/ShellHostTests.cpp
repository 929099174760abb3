// The built VST3 and LV2 binaries as a host sees them: parameters, buses, fixed answers.

#include "HostedPlugin.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wshadow")
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstunits.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

#include <cmath>
#include <limits>
#include <map>

namespace
{
struct Format
{
    const char* name;
    const char* path;
};

const Format formats[] = {{"VST3", BRIMWELL_VST3_PATH}, {"LV2", BRIMWELL_LV2_PATH}};

std::unique_ptr<HostedPlugin> loadPlugin(const Format& format)
{
    juce::String error;
    auto plugin = HostedPlugin::load(format.path, 48000.0, 512, error);
    EXPECT_NE(plugin, nullptr) << format.name << ": " << error;
    return plugin;
}

struct ExpectedParameter
{
    const char* id;
    const char* name;
    float min, max, defaultValue;
};

// Spelled out, not taken from ParameterIds: stored states and presets depend on these strings.
const ExpectedParameter expectedParameters[] = {
    {"outputKnob", "Output Knob", 0.1f, 1.0f, 1.0f},
    {"driveKnob", "Drive", 0.1f, 1.0f, 0.3f},
    {"intrimKnob", "Input Adj", -12.0f, 12.0f, 0.0f},
    {"outtrimKnob", "Output Adj", -12.0f, 12.0f, 0.0f},
    {"drymixKnob", "Dry Mix", 0.0f, 100.0f, 100.0f},
    {"lpKnob", "Low Pass", 2000.0f, 20000.0f, 20000.0f},
    {"hpKnob", "High Pass", 20.0f, 500.0f, 20.0f},
    {"boostKnob", "Boost", 0.0f, 4.0f, 0.0f},
    {"linkOnOfFButton", "AutoGain", 0, 1, 0},
    {"ultraXButton", "Ultra Mode", 0, 1, 1},
    {"poweRButton", "Power", 0, 1, 0},
};

/** The programs a JUCE host lists (for LV2, the presets of the bundle's manifest). */
juce::StringArray programNames(juce::AudioPluginInstance& instance)
{
    juce::StringArray names;
    for (int k = 0; k < instance.getNumPrograms(); ++k)
        names.add(instance.getProgramName(k));
    return names;
}

/** The programs of every program list a VST3 publishes, read as the format's validator scans them:
    a JUCE host lists none while there is no program-change parameter. */
juce::StringArray vst3ProgramNames(juce::AudioPluginInstance& instance)
{
    struct Component : juce::ExtensionsVisitor
    {
        void visitVST3Client(const VST3Client& client) override { pointer = client.getIComponentPtr(); }
        Steinberg::Vst::IComponent* pointer = nullptr;
    } component;
    instance.getExtensions(component);

    juce::StringArray names;
    Steinberg::Vst::IUnitInfo* units = nullptr;
    if (component.pointer == nullptr ||
        component.pointer->queryInterface(Steinberg::Vst::IUnitInfo_iid, reinterpret_cast<void**>(&units)) !=
            Steinberg::kResultOk)
        return names;

    for (Steinberg::int32 list = 0; list < units->getProgramListCount(); ++list)
    {
        Steinberg::Vst::ProgramListInfo info{};
        EXPECT_EQ(units->getProgramListInfo(list, info), Steinberg::kResultOk);
        for (Steinberg::int32 k = 0; k < info.programCount; ++k)
        {
            Steinberg::Vst::String128 name{};
            EXPECT_EQ(units->getProgramName(info.id, k, name), Steinberg::kResultOk);
            names.add(juce::String(
                juce::CharPointer_UTF16(reinterpret_cast<juce::CharPointer_UTF16::CharType*>(name))));
        }
    }
    units->release();
    return names;
}

/** Renders the same sine through both, one after the other; the first sample at which their
    outputs differ, or -1. */
int firstDifference(HostedPlugin& a, HostedPlugin& b, int numSamples)
{
    juce::AudioBuffer<float> viaA(2, numSamples);
    for (int i = 0; i < numSamples; ++i)
        for (int ch = 0; ch < 2; ++ch)
            viaA.setSample(ch, i, 0.3f * std::sin(0.02f * (float)i));
    auto viaB = viaA;
    a.render(viaA);
    b.render(viaB);
    for (int i = 0; i < numSamples; ++i)
        if (viaA.getSample(0, i) != viaB.getSample(0, i))
            return i;
    return -1;
}

/** The value a switch or knob shows, as a number ("On" and "Off" count as 1 and 0). */
float shownValue(juce::AudioProcessorParameter& p, float normalised)
{
    const auto text = p.getText(normalised, 64);
    if (text == "On")
        return 1.0f;
    if (text == "Off")
        return 0.0f;
    return text.getFloatValue();
}
} // namespace

TEST(PluginBinaries, ExposeTheElevenParametersWithTheirNamesRangesAndDefaults)
{
    for (const auto& format : formats)
    {
        SCOPED_TRACE(format.name);
        auto plugin = loadPlugin(format);
        ASSERT_NE(plugin, nullptr);
        EXPECT_EQ(plugin->instance().getName(), "Brimwell");

        int ours = 0;
        for (const auto& info : plugin->parameters())
            if (info.name != "Bypass") // the clients add their own
                ++ours;
        EXPECT_EQ(ours, 11);

        for (const auto& expected : expectedParameters)
        {
            SCOPED_TRACE(expected.id);
            auto* p = plugin->findParameter(expected.id);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->getName(64), expected.name);
            EXPECT_NEAR(shownValue(*p, 0.0f), expected.min, 1e-4f);
            EXPECT_NEAR(shownValue(*p, 1.0f), expected.max, 1e-4f);
            EXPECT_NEAR(shownValue(*p, p->getDefaultValue()), expected.defaultValue, 1e-4f);
            if (juce::String(format.name) == "VST3")
            {
                EXPECT_EQ(p->getLabel(), expected.id) << "the label is the ID";
            }
        }

        // Boost only takes whole positions (the VST3 client shows the plug-in's own text;
        // an LV2 host formats values itself).
        if (juce::String(format.name) == "VST3")
        {
            auto* boost = plugin->findParameter(ParameterIds::boost);
            ASSERT_NE(boost, nullptr);
            for (auto [normalised, shown] : {std::pair{0.3f, "1"}, {0.6f, "2"}, {0.9f, "4"}})
                EXPECT_EQ(boost->getText(normalised, 16), juce::String(shown));
        }
    }
}

TEST(PluginBinaries, AnswerTheHostsFixedQuestions)
{
    for (const auto& format : formats)
    {
        SCOPED_TRACE(format.name);
        auto plugin = loadPlugin(format);
        ASSERT_NE(plugin, nullptr);
        auto& p = plugin->instance();
        EXPECT_EQ(p.getTailLengthSeconds(), 0.0);
        EXPECT_FALSE(p.acceptsMidi());
        EXPECT_FALSE(p.producesMidi());
        EXPECT_TRUE(p.hasEditor());
        // The one program, published as a VST3 program list and as an LV2 preset, has a name.
        const auto programs = juce::String(format.name) == "VST3" ? vst3ProgramNames(p) : programNames(p);
        EXPECT_EQ(programs, juce::StringArray("Default"));
        EXPECT_EQ(p.getMainBusNumInputChannels(), 2);
        EXPECT_EQ(p.getMainBusNumOutputChannels(), 2);
    }
}

TEST(PluginBinaries, VST3AcceptsMonoAndStereoWithEqualInputAndOutput)
{
    auto plugin = loadPlugin(formats[0]);
    ASSERT_NE(plugin, nullptr);
    using Set = juce::AudioChannelSet;
    auto layout = [](Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add(in);
        l.outputBuses.add(out);
        return l;
    };
    EXPECT_TRUE(plugin->instance().checkBusesLayoutSupported(layout(Set::mono(), Set::mono())));
    EXPECT_TRUE(plugin->instance().checkBusesLayoutSupported(layout(Set::stereo(), Set::stereo())));
    EXPECT_FALSE(plugin->instance().checkBusesLayoutSupported(layout(Set::mono(), Set::stereo())));
    EXPECT_FALSE(plugin->instance().checkBusesLayoutSupported(layout(Set::stereo(), Set::mono())));
    EXPECT_FALSE(
        plugin->instance().checkBusesLayoutSupported(layout(Set::create5point1(), Set::create5point1())));
}

TEST(PluginBinaries, TwoInstancesAreIndependent)
{
    for (const auto& format : formats)
    {
        SCOPED_TRACE(format.name);
        auto a = loadPlugin(format);
        auto b = loadPlugin(format);
        ASSERT_TRUE(a != nullptr && b != nullptr);

        // The same signal through both, one after the other: the second starts from its own state.
        a->prepare(48000.0, 512, 2);
        b->prepare(48000.0, 512, 2);
        ASSERT_EQ(firstDifference(*a, *b, 8192), -1);

        ASSERT_TRUE(a->setParameter(ParameterIds::drive, "0.8"));
        a->settle();
        EXPECT_EQ(a->parameterText(ParameterIds::drive).getFloatValue(), 0.8f);
        EXPECT_EQ(b->parameterText(ParameterIds::drive).getFloatValue(), 0.3f);
    }
}

TEST(PluginBinaries, AHostsValueThatIsNoNumberLeavesEachParameterAtItsValue)
{
    // Both formats pass a NaN through to the plug-in. A twin gets the same values but no NaN:
    // the audio must stay the same, and the host must read back the value kept.
    for (const auto& format : formats)
    {
        SCOPED_TRACE(format.name);
        auto plugin = loadPlugin(format);
        auto twin = loadPlugin(format);
        ASSERT_TRUE(plugin != nullptr && twin != nullptr);
        plugin->prepare(48000.0, 512, 2);
        twin->prepare(48000.0, 512, 2);

        const auto renderBoth = [&] { return firstDifference(*plugin, *twin, 512) == -1; };

        for (const auto& expected : expectedParameters)
        {
            auto* parameter = plugin->findParameter(expected.id);
            auto* twinParameter = twin->findParameter(expected.id);
            ASSERT_TRUE(parameter != nullptr && twinParameter != nullptr) << expected.id;
            // Once per parameter: the plug-in tells the host the value kept from its own thread, and
            // the host's framework may deliver that back late, over a later value of the same
            // parameter. A switch is off, where a NaN read as on.
            const float value = HostedPlugin::isSwitch(*parameter) ? 0.0f : 0.75f;
            SCOPED_TRACE(juce::String(expected.id) + " at " + juce::String(value));
            parameter->setValueNotifyingHost(value);
            twinParameter->setValueNotifyingHost(value);
            ASSERT_TRUE(renderBoth());

            parameter->setValueNotifyingHost(std::numeric_limits<float>::quiet_NaN());
            EXPECT_TRUE(renderBoth()) << "the audio goes on with the value kept";
            for (int wait = 0; wait < 100 && std::isnan(parameter->getValue()); ++wait)
            {
                juce::MessageManager::getInstance()->runDispatchLoopUntil(10);
                plugin->settle(); // LV2 tells the host in its run()
                twin->settle();
            }
            // The twin's host holds the value as it sent it, the plug-in's as snapped to its step.
            EXPECT_NEAR(parameter->getValue(), twinParameter->getValue(), 1e-5f)
                << "the host reads back the value kept";
            EXPECT_TRUE(renderBoth());
        }
    }
}
