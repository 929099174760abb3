#include "HostedPlugin.h"

#include <link.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

namespace
{
juce::String hostParameterId(const juce::AudioProcessorParameter& p)
{
    if (auto* hosted = dynamic_cast<const juce::HostedAudioProcessorParameter*>(&p))
        return hosted->getParameterID();
    if (auto* withId = dynamic_cast<const juce::AudioProcessorParameterWithID*>(&p))
        return withId->getParameterID();
    return juce::String(p.getParameterIndex());
}

// JUCE's VST3 client publishes each parameter under a 31-bit hash of its ID, and its LV2
// client under the plug-in's URI followed by ':' and the ID.
bool idMatches(const juce::String& hostId, const juce::String& id)
{
    return hostId == id || hostId == juce::String(id.hashCode() & 0x7fffffff) || hostId.endsWith(":" + id);
}

/** The plug-in's own ID where the format lets it be recovered, else the format's ID. */
juce::String pluginParameterId(const juce::AudioProcessorParameter& p)
{
    const auto hostId = hostParameterId(p);
    if (hostId.containsChar(':'))
        return hostId.fromLastOccurrenceOf(":", false, false);
    // A VST3 host sees only the hash; this plug-in's unit label is its ID, which the hash confirms.
    if (const auto label = p.getLabel(); label.isNotEmpty() && idMatches(hostId, label))
        return label;
    return hostId;
}

/** The URI of the first plug-in that an LV2 bundle's manifest declares. */
juce::String lv2PluginUri(const juce::File& bundle)
{
    const auto manifest = bundle.getChildFile("manifest.ttl").loadFileAsString();
    const int plugin = manifest.indexOf("a lv2:Plugin");
    if (plugin < 0)
        return {};
    const auto before = manifest.substring(0, plugin);
    const int open = before.lastIndexOfChar('<');
    const int close = before.lastIndexOfChar('>');
    return open >= 0 && close > open ? before.substring(open + 1, close) : juce::String();
}

/** The file itself, every link on its way resolved; the file as given when that fails. */
juce::File realFile(const char* path)
{
    char resolved[PATH_MAX];
    return juce::File(juce::String::fromUTF8(::realpath(path, resolved) != nullptr ? resolved : path));
}

/** The loaded shared object that lies in the bundle (links resolved), or none. What is
    loaded is the proof of which copy runs: a host may find another with the same ID. */
juce::File loadedBinaryInside(const juce::File& bundle)
{
    struct Search
    {
        juce::File bundle, found;
    } search{realFile(bundle.getFullPathName().toRawUTF8()), {}};

    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data)
        {
            auto& s = *static_cast<Search*>(data);
            if (info->dlpi_name == nullptr || info->dlpi_name[0] == 0)
                return 0;
            const auto binary = realFile(info->dlpi_name);
            if (!binary.isAChildOf(s.bundle))
                return 0;
            s.found = binary;
            return 1;
        },
        &search);
    return search.found;
}

/** A folder made for this process alone (mkdtemp): hosts run side by side in the tests. */
juce::File newTemporaryFolder()
{
    auto pattern = juce::File::getSpecialLocation(juce::File::tempDirectory)
                       .getChildFile("brimwell-host-XXXXXX")
                       .getFullPathName()
                       .toStdString();
    return ::mkdtemp(pattern.data()) != nullptr ? juce::File(pattern) : juce::File();
}
} // namespace

HostedPlugin::ScratchFolder::ScratchFolder() : folder(newTemporaryFolder()) {}

// Links inside are removed, not followed: the bundle they name stays.
HostedPlugin::ScratchFolder::~ScratchFolder()
{
    if (folder != juce::File())
        folder.deleteRecursively(false);
}

// The framework's LV2 format searches only its own fixed folders, ~/.lv2 first, whatever
// LV2_PATH says, and of two bundles with one URI keeps the one it found first. Made while HOME
// names a scratch folder whose .lv2 holds only a link to the given bundle, it finds that bundle
// first and never reads the user's ~/.lv2, where an installed copy would win or load twice.
std::unique_ptr<juce::AudioPluginFormat> HostedPlugin::lv2FormatSeeingOnly(const juce::File& bundle,
                                                                           const ScratchFolder& home)
{
    const auto lv2 = home.path().getChildFile(".lv2");
    if (home.path() == juce::File() || !lv2.createDirectory() ||
        !bundle.createSymbolicLink(lv2.getChildFile(bundle.getFileName()), false))
        return {};

    const char* const userHome = std::getenv("HOME");
    const std::optional<std::string> previous =
        userHome != nullptr ? std::optional<std::string>(userHome) : std::nullopt;
    setenv("HOME", home.path().getFullPathName().toRawUTF8(), 1);
    auto format = std::make_unique<juce::LV2PluginFormat>();
    if (previous)
        setenv("HOME", previous->c_str(), 1);
    else
        unsetenv("HOME");
    return format;
}

std::unique_ptr<HostedPlugin> HostedPlugin::load(const juce::String& path, double sampleRate, int blockSize,
                                                 juce::String& error)
{
    // LV2 hosting needs absolute paths.
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile(path);
    if (!file.exists())
    {
        error = "no such file: " + file.getFullPathName();
        return {};
    }

    juce::AudioPluginFormatManager formats;
    juce::String identifier = file.getFullPathName();
    std::unique_ptr<ScratchFolder> lv2Home;
    if (file.getChildFile("manifest.ttl").existsAsFile())
    {
        lv2Home = std::make_unique<ScratchFolder>();
        auto lv2 = lv2FormatSeeingOnly(file, *lv2Home);
        if (lv2 == nullptr)
        {
            error = "cannot make a temporary folder for the LV2 search";
            return {};
        }
        formats.addFormat(lv2.release());
        identifier = lv2PluginUri(file);
    }
    else
    {
        formats.addFormat(new juce::VST3PluginFormat());
    }

    auto* format = formats.getFormat(0);
    juce::OwnedArray<juce::PluginDescription> found;
    if (format->fileMightContainThisPluginType(identifier))
        format->findAllTypesForFile(found, identifier);
    if (found.isEmpty())
    {
        error = "no VST3 or LV2 plug-in found in " + file.getFullPathName();
        return {};
    }

    auto instance = formats.createPluginInstance(*found.getFirst(), sampleRate, blockSize, error);
    if (instance == nullptr)
        return {};

    std::unique_ptr<HostedPlugin> hosted(new HostedPlugin(std::move(instance), std::move(lv2Home)));
    hosted->binaryFile = loadedBinaryInside(file);
    if (hosted->binaryFile == juce::File())
    {
        error = "the plug-in that loaded is not one in " + file.getFullPathName();
        return {};
    }
    hosted->rate = sampleRate;
    hosted->maxBlock = blockSize;
    return hosted;
}

HostedPlugin::HostedPlugin(std::unique_ptr<juce::AudioPluginInstance> p, std::unique_ptr<ScratchFolder> home)
    : lv2Home(std::move(home)), plugin(std::move(p))
{
}

HostedPlugin::~HostedPlugin()
{
    if (prepared)
        plugin->releaseResources();
}

juce::Array<HostedPlugin::ParameterInfo> HostedPlugin::parameters() const
{
    juce::Array<ParameterInfo> result;
    for (auto* p : plugin->getParameters())
    {
        ParameterInfo info;
        info.id = pluginParameterId(*p);
        info.name = p->getName(256);
        info.label = p->getLabel();
        info.defaultValue = p->getDefaultValue();
        info.defaultText = p->getText(p->getDefaultValue(), 256);
        info.numSteps = p->getNumSteps();
        info.isSwitch = isSwitch(*p);
        result.add(info);
    }
    return result;
}

juce::AudioProcessorParameter* HostedPlugin::findParameter(const juce::String& id) const
{
    for (auto* p : plugin->getParameters())
        if (idMatches(hostParameterId(*p), id))
            return p;
    return nullptr;
}

bool HostedPlugin::isSwitch(const juce::AudioProcessorParameter& parameter)
{
    return parameter.isBoolean() || (parameter.isDiscrete() && parameter.getNumSteps() == 2);
}

bool HostedPlugin::setParameter(const juce::String& id, const juce::String& plainValue)
{
    auto* p = findParameter(id);
    if (p == nullptr)
        return false;

    // LV2 hosts read switches only as "On" and "Off"; take the usual spellings for both formats.
    if (isSwitch(*p))
    {
        const auto text = plainValue.trim().toLowerCase();
        const bool on = text == "1" || text == "on" || text == "true";
        if (!on && text != "0" && text != "off" && text != "false")
            return false;
        p->setValueNotifyingHost(on ? 1.0f : 0.0f);
        return true;
    }

    p->setValueNotifyingHost(p->getValueForText(plainValue));
    return true;
}

juce::String HostedPlugin::parameterText(const juce::String& id) const
{
    if (auto* p = findParameter(id))
        return p->getCurrentValueAsText();
    return {};
}

void HostedPlugin::prepare(double sampleRate, int blockSize, int numChannels)
{
    if (prepared)
        plugin->releaseResources();

    const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(set);
    layout.outputBuses.add(set);
    plugin->setBusesLayout(layout);

    rate = sampleRate;
    maxBlock = blockSize;
    plugin->setRateAndBufferSizeDetails(sampleRate, blockSize);
    plugin->prepareToPlay(sampleRate, blockSize);
    prepared = true;
}

void HostedPlugin::render(juce::AudioBuffer<float>& audio)
{
    if (!prepared)
        prepare(rate, maxBlock, audio.getNumChannels());

    const int channels = juce::jmax(audio.getNumChannels(), plugin->getTotalNumOutputChannels());
    juce::AudioBuffer<float> block(channels, maxBlock);
    juce::MidiBuffer midi;

    for (int start = 0; start < audio.getNumSamples(); start += maxBlock)
    {
        const int n = juce::jmin(maxBlock, audio.getNumSamples() - start);
        block.setSize(channels, n, false, false, true);
        block.clear();
        for (int ch = 0; ch < audio.getNumChannels(); ++ch)
            block.copyFrom(ch, 0, audio, ch, start, n);

        plugin->processBlock(block, midi);
        midi.clear();

        for (int ch = 0; ch < audio.getNumChannels(); ++ch)
            audio.copyFrom(ch, start, block, ch, 0, n);
    }
}

void HostedPlugin::settle()
{
    juce::AudioBuffer<float> silence(juce::jmax(1, plugin->getTotalNumOutputChannels()), maxBlock);
    silence.clear();
    render(silence);
}

juce::MemoryBlock HostedPlugin::saveState()
{
    juce::MemoryBlock state;
    plugin->getStateInformation(state);
    return state;
}

void HostedPlugin::restoreState(const juce::MemoryBlock& state)
{
    plugin->setStateInformation(state.getData(), (int)state.getSize());
}

bool HostedPlugin::readWav(const juce::File& file, juce::AudioBuffer<float>& audio, double& sampleRate)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(
        wav.createReaderFor(file.createInputStream().release(), true));
    if (reader == nullptr)
        return false;
    audio.setSize((int)reader->numChannels, (int)reader->lengthInSamples);
    reader->read(&audio, 0, (int)reader->lengthInSamples, 0, true, true);
    sampleRate = reader->sampleRate;
    return true;
}

bool HostedPlugin::writeWav(const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    if (stream == nullptr)
        return false;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(stream.get(), sampleRate, (unsigned int)audio.getNumChannels(), 32, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release(); // the writer owns it now
    return writer->writeFromAudioSampleBuffer(audio, 0, audio.getNumSamples());
}
