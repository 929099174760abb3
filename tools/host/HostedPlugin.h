#pragma once

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** A plug-in binary (VST3 bundle or LV2 bundle) loaded as a host loads it, with the few
    things our tests and the demo do with it. Create on the message thread. */
class HostedPlugin
{
  public:
    struct ParameterInfo
    {
        juce::String id; // as findParameter takes it
        juce::String name, label, defaultText;
        float defaultValue = 0.0f; // normalised
        int numSteps = 0;
        bool isSwitch = false;
    };

    /** Loads the first plug-in in the file or bundle at the given path (made absolute): that
        bundle's, never another copy with the same ID that a host would find installed.
        Returns null and sets the error when it cannot be loaded. */
    static std::unique_ptr<HostedPlugin> load(const juce::String& path, double sampleRate, int blockSize,
                                              juce::String& error);

    ~HostedPlugin();

    juce::AudioPluginInstance& instance() noexcept { return *plugin; }
    juce::String formatName() const { return plugin->getPluginDescription().pluginFormatName; }
    /** The plug-in's shared object as loaded, inside the bundle given to load (links resolved). */
    const juce::File& binary() const noexcept { return binaryFile; }

    juce::Array<ParameterInfo> parameters() const;
    juce::AudioProcessorParameter* findParameter(const juce::String& id) const;

    /** Whether the parameter is an on/off switch: boolean, or of two steps as a VST3 host sees one. */
    static bool isSwitch(const juce::AudioProcessorParameter& parameter);

    /** Sets a parameter from a value in its own units (converted through the plug-in's own text;
        switches take 0/1, on/off or true/false). Returns false for an unknown ID or switch value. */
    bool setParameter(const juce::String& id, const juce::String& plainValue);

    /** The parameter's current value as the plug-in shows it. */
    juce::String parameterText(const juce::String& id) const;

    /** Prepares with the given rate and block size (the plug-in's main bus layout as given). */
    void prepare(double sampleRate, int blockSize, int numChannels);

    /** Runs the buffer through the plug-in block by block, in place. */
    void render(juce::AudioBuffer<float>& audio);

    /** Runs one block of silence: an LV2 plug-in takes parameter changes, and tells the host
        about restored values, only while it processes audio. */
    void settle();

    juce::MemoryBlock saveState();
    void restoreState(const juce::MemoryBlock& state);

    /** Reads a WAV file into a buffer; returns false when it can't. */
    static bool readWav(const juce::File& file, juce::AudioBuffer<float>& audio, double& sampleRate);
    /** Writes a buffer as a 32-bit float WAV file; returns false when it can't. */
    static bool writeWav(const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate);

  private:
    /** A new folder in the temporary folder, removed with what it holds while it lives. */
    class ScratchFolder
    {
      public:
        ScratchFolder();
        ~ScratchFolder();
        const juce::File& path() const noexcept { return folder; }

      private:
        const juce::File folder;
        JUCE_DECLARE_NON_COPYABLE(ScratchFolder)
    };

    HostedPlugin(std::unique_ptr<juce::AudioPluginInstance>, std::unique_ptr<ScratchFolder> lv2Home);

    /** The framework's LV2 format, made so that it finds the given bundle and no other copy. */
    static std::unique_ptr<juce::AudioPluginFormat> lv2FormatSeeingOnly(const juce::File& bundle,
                                                                        const ScratchFolder& home);

    // Before the plug-in, so it outlives it: the LV2 format reads the bundle's files through
    // the link in it while the plug-in runs.
    std::unique_ptr<ScratchFolder> lv2Home;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    juce::File binaryFile;
    double rate = 44100.0;
    int maxBlock = 512;
    bool prepared = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(HostedPlugin)
};
