// Host state through the built binaries in a JUCE
// host: save, change and restore; a save right after a parameter change carries the new
// value; zero bytes and garbage change nothing; out-of-range values are clamped; a missing
// child is appended; a value that is no number keeps the live one; a switch that a host left
// between its states reads back exactly as restored.
//
// The VST3 host wraps the plug-in's bytes (an XML element per VST3 interface, the component
// state in base64, followed by the client's private data); the helpers below reach the
// plug-in's own bytes inside it, so the tests can read and craft them.

#include "HostedPlugin.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace
{
struct Format
{
    const char* name;
    const char* path;
};

const Format vst3{"VST3", BRIMWELL_VST3_PATH};
const Format lv2{"LV2", BRIMWELL_LV2_PATH};

std::unique_ptr<HostedPlugin> load(const Format& format)
{
    juce::String error;
    auto plugin = HostedPlugin::load(format.path, 48000.0, 256, error);
    EXPECT_NE(plugin, nullptr) << format.name << ": " << error;
    if (plugin != nullptr)
        plugin->prepare(48000.0, 256, 2);
    return plugin;
}

/** The value a parameter shows, as a number ("On" and "Off" count as 1 and 0). */
float shown(HostedPlugin& plugin, const juce::String& id)
{
    const auto text = plugin.parameterText(id);
    if (text == "On")
        return 1.0f;
    if (text == "Off")
        return 0.0f;
    return text.getFloatValue();
}

/** Lets the plug-in see the host's parameter changes (LV2 delivers them in run()). */
void renderOneBlock(HostedPlugin& plugin)
{
    juce::AudioBuffer<float> audio(2, 256);
    audio.clear();
    plugin.render(audio);
}

/** The plug-in's bytes inside a VST3 host state, and what surrounds them. */
struct Vst3State
{
    std::unique_ptr<juce::XmlElement> xml;
    juce::MemoryBlock pluginBytes, clientTail;

    explicit Vst3State(const juce::MemoryBlock& hostState)
        : xml(juce::AudioProcessor::getXmlFromBinary(hostState.getData(), (int)hostState.getSize()))
    {
        if (xml == nullptr || xml->getChildByName("IComponent") == nullptr)
            return;
        juce::MemoryBlock component;
        component.fromBase64Encoding(xml->getChildByName("IComponent")->getAllSubText());

        // The plug-in's bytes are one value tree; the client's private data follows it.
        const auto tree = juce::ValueTree::readFromData(component.getData(), component.getSize());
        juce::MemoryOutputStream treeBytes;
        tree.writeToStream(treeBytes);
        const auto size = juce::jmin(treeBytes.getDataSize(), component.getSize());
        pluginBytes.append(component.getData(), size);
        clientTail.append(static_cast<const char*>(component.getData()) + size, component.getSize() - size);
    }

    juce::ValueTree tree() const
    {
        return juce::ValueTree::readFromData(pluginBytes.getData(), pluginBytes.getSize());
    }

    /** A host state whose component carries the given plug-in bytes. */
    juce::MemoryBlock withPluginBytes(const juce::MemoryBlock& bytes) const
    {
        juce::MemoryBlock component(bytes);
        component.append(clientTail.getData(), clientTail.getSize());
        juce::XmlElement copy(*xml);
        copy.getChildByName("IComponent")->deleteAllTextElements();
        copy.getChildByName("IComponent")->addTextElement(component.toBase64Encoding());
        juce::MemoryBlock hostState;
        juce::AudioProcessor::copyXmlToBinary(copy, hostState);
        return hostState;
    }
};

juce::MemoryBlock bytesOf(const juce::ValueTree& tree)
{
    juce::MemoryOutputStream out;
    tree.writeToStream(out);
    return out.getMemoryBlock();
}

juce::ValueTree childFor(const juce::ValueTree& root, const juce::String& id)
{
    for (const auto& child : root)
        if (child.getProperty("id").toString() == id)
            return child;
    return {};
}
} // namespace

TEST(ProcessorHostState, SaveChangeRestoreRoundTripInBothFormats)
{
    for (const auto& format : {vst3, lv2})
    {
        SCOPED_TRACE(format.name);
        auto plugin = load(format);
        ASSERT_NE(plugin, nullptr);
        plugin->setParameter(ParameterIds::dryMix, "37.5");
        plugin->setParameter(ParameterIds::boost, "3");
        plugin->setParameter(ParameterIds::ultraMode, "Off"); // LV2 reads switches as On and Off
        plugin->setParameter(ParameterIds::lowPass, "8000");
        renderOneBlock(*plugin);
        const auto saved = plugin->saveState();
        ASSERT_GT(saved.getSize(), 0u);

        plugin->setParameter(ParameterIds::dryMix, "80");
        plugin->setParameter(ParameterIds::boost, "1");
        plugin->setParameter(ParameterIds::ultraMode, "On");
        plugin->setParameter(ParameterIds::lowPass, "3000");
        renderOneBlock(*plugin);
        ASSERT_NEAR(shown(*plugin, ParameterIds::dryMix), 80.0f, 1e-3f);

        plugin->restoreState(saved);
        renderOneBlock(*plugin);
        EXPECT_NEAR(shown(*plugin, ParameterIds::dryMix), 37.5f, 1e-3f);
        EXPECT_NEAR(shown(*plugin, ParameterIds::boost), 3.0f, 1e-3f);
        EXPECT_NEAR(shown(*plugin, ParameterIds::ultraMode), 0.0f, 1e-3f);
        EXPECT_NEAR(shown(*plugin, ParameterIds::lowPass), 8000.0f, 0.05f);

        // And into a new instance.
        auto other = load(format);
        ASSERT_NE(other, nullptr);
        other->restoreState(saved);
        renderOneBlock(*other);
        EXPECT_NEAR(shown(*other, ParameterIds::dryMix), 37.5f, 1e-3f);
        EXPECT_NEAR(shown(*other, ParameterIds::boost), 3.0f, 1e-3f);
    }
}

TEST(ProcessorHostState, BytesAreTheParameterTreeAsTheyStandNow)
{
    auto plugin = load(vst3);
    ASSERT_NE(plugin, nullptr);

    // No message loop runs here, so the tree's periodic flush never does: only a save that
    // flushes first can carry the new value.
    plugin->setParameter(ParameterIds::dryMix, "12.3");
    const Vst3State state(plugin->saveState());
    const auto tree = state.tree();
    ASSERT_TRUE(tree.isValid());
    EXPECT_EQ(tree.getType().toString(), "Brimwell");

    int params = 0;
    for (const auto& child : tree)
    {
        EXPECT_EQ(child.getType().toString(), "PARAM");
        EXPECT_TRUE(child.hasProperty("id"));
        EXPECT_TRUE(child.hasProperty("value"));
        ++params;
    }
    EXPECT_EQ(params, 11);
    EXPECT_NEAR((double)childFor(tree, ParameterIds::dryMix).getProperty("value"), 12.3, 1e-4);
    EXPECT_NEAR((double)childFor(tree, ParameterIds::lowPass).getProperty("value"), 20000.0, 1e-3);

    auto other = load(vst3);
    ASSERT_NE(other, nullptr);
    other->restoreState(state.withPluginBytes(state.pluginBytes));
    EXPECT_NEAR(shown(*other, ParameterIds::dryMix), 12.3f, 1e-3f);
}

TEST(ProcessorHostState, ZeroBytesAndGarbageChangeNothing)
{
    auto plugin = load(vst3);
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(ParameterIds::highPass, "123");
    plugin->setParameter(ParameterIds::boost, "2");
    const Vst3State state(plugin->saveState());
    ASSERT_NE(state.xml, nullptr);

    juce::MemoryBlock garbage(300);
    juce::Random random(11);
    for (size_t i = 0; i < garbage.getSize(); ++i)
        garbage[i] = (char)(random.nextInt(255) + 1); // no zero byte: a non-empty first string
    const char emptyType[] = {0, 5, 1, 2, 3};
    juce::MemoryBlock emptyTypeName(emptyType, sizeof emptyType);

    // Bytes whose first string is empty are no tree: nothing changes at all.
    plugin->restoreState(state.withPluginBytes(emptyTypeName));
    EXPECT_NEAR(shown(*plugin, ParameterIds::highPass), 123.0f, 1e-3f);
    EXPECT_TRUE(Vst3State(plugin->saveState()).tree().isEquivalentTo(state.tree()));

    // Random bytes would read as a tree of some 300-character type: they are refused.
    plugin->restoreState(state.withPluginBytes(garbage));
    EXPECT_TRUE(Vst3State(plugin->saveState()).tree().isEquivalentTo(state.tree()));
    const std::pair<const char*, float> expected[] = {{ParameterIds::highPass, 123.0f},
                                                      {ParameterIds::boost, 2.0f},
                                                      {ParameterIds::lowPass, 20000.0f},
                                                      {ParameterIds::dryMix, 100.0f},
                                                      {ParameterIds::ultraMode, 1.0f}};
    for (const auto& [id, value] : expected)
        EXPECT_NEAR(shown(*plugin, id), value, 1e-3f) << id;

    // Zero bytes: the client does not even pass them on; a host may still hand them over.
    plugin->restoreState(state.withPluginBytes({}));
    EXPECT_NEAR(shown(*plugin, ParameterIds::highPass), 123.0f, 1e-3f);
}

TEST(ProcessorHostState, OutOfRangeValueIsClampedAndMissingChildIsAppended)
{
    auto plugin = load(vst3);
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(ParameterIds::highPass, "250");
    const Vst3State state(plugin->saveState());

    auto tree = state.tree().createCopy();
    childFor(tree, ParameterIds::lowPass).setProperty("value", 50000.0, nullptr);
    tree.removeChild(childFor(tree, ParameterIds::highPass), nullptr);
    childFor(tree, ParameterIds::dryMix).setProperty("value", 64.0, nullptr);
    ASSERT_FALSE(childFor(tree, ParameterIds::highPass).isValid());

    plugin->restoreState(state.withPluginBytes(bytesOf(tree)));
    EXPECT_NEAR(shown(*plugin, ParameterIds::lowPass), 20000.0f, 0.05f);
    EXPECT_NEAR(shown(*plugin, ParameterIds::dryMix), 64.0f, 1e-3f);
    EXPECT_NEAR(shown(*plugin, ParameterIds::highPass), 250.0f, 1e-3f); // keeps its value

    const auto after = Vst3State(plugin->saveState()).tree();
    ASSERT_EQ(after.getNumChildren(), 11);
    const auto appended = after.getChild(after.getNumChildren() - 1);
    EXPECT_EQ(appended.getProperty("id").toString(), ParameterIds::highPass);
    EXPECT_NEAR((double)appended.getProperty("value"), 250.0, 1e-3);
    EXPECT_NEAR((double)childFor(after, ParameterIds::lowPass).getProperty("value"), 20000.0, 1e-3);
}

TEST(ProcessorHostState, AValueThatIsNoNumberKeepsTheLiveValueAndTheAudioRunsOn)
{
    auto plugin = load(vst3);
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(ParameterIds::boost, "1");
    plugin->setParameter(ParameterIds::dryMix, "40");
    const Vst3State state(plugin->saveState());
    plugin->setParameter(ParameterIds::boost, "3");
    renderOneBlock(*plugin);

    auto tree = state.tree().createCopy();
    childFor(tree, ParameterIds::boost)
        .setProperty("value", std::numeric_limits<double>::quiet_NaN(), nullptr);
    plugin->restoreState(state.withPluginBytes(bytesOf(tree)));

    EXPECT_NEAR(shown(*plugin, ParameterIds::boost), 3.0f, 1e-3f);
    EXPECT_NEAR(shown(*plugin, ParameterIds::dryMix), 40.0f, 1e-3f);
    EXPECT_TRUE(std::isfinite(plugin->findParameter(ParameterIds::boost)->getValue()));
    const auto saved = Vst3State(plugin->saveState()).tree();
    EXPECT_NEAR((double)childFor(saved, ParameterIds::boost).getProperty("value"), 3.0, 1e-6);

    // Running on, and prepared again from what was restored.
    for (const double rate : {48000.0, 44100.0})
    {
        plugin->prepare(rate, 256, 2);
        juce::AudioBuffer<float> audio(2, 48000);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < audio.getNumSamples(); ++i)
                audio.setSample(ch, i, 0.25f * std::sin(0.05f * (float)i));
        plugin->render(audio);
        float loudest = 0.0f;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < audio.getNumSamples(); ++i)
            {
                ASSERT_TRUE(std::isfinite(audio.getSample(ch, i))) << rate << " Hz, sample " << i;
                loudest = std::max(loudest, std::abs(audio.getSample(ch, i)));
            }
        EXPECT_GT(loudest, 1e-2f) << rate << " Hz";
    }
}

TEST(ProcessorHostState, ASwitchLeftBetweenItsStatesReadsBackExactlyAsRestored)
{
    auto plugin = load(vst3);
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(ParameterIds::ultraMode, "0");
    plugin->setParameter(ParameterIds::power, "0");
    const auto off = plugin->saveState();
    plugin->setParameter(ParameterIds::ultraMode, "1");
    plugin->setParameter(ParameterIds::power, "1");
    const auto on = plugin->saveState();

    // A host may set a switch to any raw value; the switch reads it as the nearer state.
    const std::tuple<const juce::MemoryBlock&, float, float> cases[] = {{off, 0.38f, 0.0f},
                                                                        {on, 0.62f, 1.0f}};
    for (const auto& [state, raw, expected] : cases)
        for (const auto* id : {ParameterIds::ultraMode, ParameterIds::power})
        {
            SCOPED_TRACE(juce::String(id) + " at " + juce::String(raw));
            auto* parameter = plugin->findParameter(id);
            parameter->setValueNotifyingHost(raw);
            renderOneBlock(*plugin);
            ASSERT_FLOAT_EQ(parameter->getValue(), raw);

            plugin->restoreState(state);
            renderOneBlock(*plugin);
            EXPECT_EQ(parameter->getValue(), expected);
        }
}
