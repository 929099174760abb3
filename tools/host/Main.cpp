// brimwell_host: a small headless host for the plug-in's VST3 and LV2 binaries.
//
//   brimwell_host PLUGIN [--rate HZ] [--block N] [--channels 1|2]
//                        [--load-state FILE] [--set ID=VALUE]... [--list]
//                        [--in IN.wav --out OUT.wav] [--save-state FILE]
//   brimwell_host --make-demo OUT.wav [--rate HZ]
//
// Options run in this order: load the plug-in, restore the state, set the parameters
// (values in the parameter's own units), render (or one silent block, which an LV2
// plug-in needs to take the changes), list, save the state.
// --make-demo writes a guitar-like test signal (plucked notes and a chord, stereo).

#include "HostedPlugin.h"

#include <iostream>

namespace
{
int fail(const juce::String& message)
{
    std::cerr << "brimwell_host: " << message << std::endl;
    return 1;
}

/** Plucked notes then a strummed chord, around -12 dBFS: a stand-in for a guitar. */
juce::AudioBuffer<float> makeDemoSignal(double rate)
{
    const int length = (int)(rate * 6.0);
    juce::AudioBuffer<float> audio(2, length);
    audio.clear();
    juce::Random random(7);

    auto pluck = [&](double startSeconds, double frequency, float level, float pan)
    {
        // Karplus-Strong string: a noise burst in a delay line with a damped average.
        const int period = juce::jmax(2, (int)std::round(rate / frequency));
        std::vector<float> line((size_t)period);
        for (auto& s : line)
            s = random.nextFloat() * 2.0f - 1.0f;
        const int start = (int)(startSeconds * rate);
        size_t pos = 0;
        for (int i = start; i < length; ++i)
        {
            const size_t next = (pos + 1) % line.size();
            const float out = line[pos];
            line[pos] = 0.996f * 0.5f * (line[pos] + line[next]);
            pos = next;
            audio.addSample(0, i, out * level * (1.0f - pan));
            audio.addSample(1, i, out * level * pan);
        }
    };

    const double notes[] = {82.41, 110.0, 146.83, 196.0, 246.94, 329.63};
    for (int n = 0; n < 6; ++n)
        pluck(0.4 * n, notes[n], 0.25f, 0.3f + 0.08f * (float)n);
    for (int n = 0; n < 6; ++n)
        pluck(3.0 + 0.012 * n, notes[n] * 1.5, 0.18f, 0.35f + 0.06f * (float)n);
    return audio;
}
} // namespace

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juceInit;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(juce::String::fromUTF8(argv[i]));

    auto option = [&](const juce::String& name, const juce::String& fallback = {})
    {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const double rate = option("--rate", "48000").getDoubleValue();
    const int block = option("--block", "512").getIntValue();

    if (args.contains("--make-demo"))
    {
        const auto out = cwd.getChildFile(option("--make-demo"));
        return HostedPlugin::writeWav(out, makeDemoSignal(rate), rate)
                   ? 0
                   : fail("cannot write " + out.getFullPathName());
    }

    if (args.isEmpty() || args[0].startsWith("--"))
        return fail("usage: brimwell_host PLUGIN [options] (see the top of tools/host/Main.cpp)");

    juce::String error;
    auto plugin = HostedPlugin::load(args[0], rate, block, error);
    if (plugin == nullptr)
        return fail(error);

    if (const auto stateFile = option("--load-state"); stateFile.isNotEmpty())
    {
        juce::MemoryBlock state;
        if (!cwd.getChildFile(stateFile).loadFileAsData(state))
            return fail("cannot read " + stateFile);
        plugin->restoreState(state);
    }

    for (int i = 0; i + 1 < args.size(); ++i)
    {
        if (args[i] != "--set")
            continue;
        const auto id = args[i + 1].upToFirstOccurrenceOf("=", false, false);
        const auto value = args[i + 1].fromFirstOccurrenceOf("=", false, false);
        if (!plugin->setParameter(id, value))
            return fail("cannot set " + id + " to " + value);
    }

    if (const auto in = option("--in"); in.isNotEmpty())
    {
        juce::AudioBuffer<float> audio;
        double fileRate = rate;
        if (!HostedPlugin::readWav(cwd.getChildFile(in), audio, fileRate))
            return fail("cannot read " + in);
        const int channels =
            option("--channels", juce::String(juce::jmin(2, audio.getNumChannels()))).getIntValue();
        audio.setSize(channels, audio.getNumSamples(), true, true);
        plugin->prepare(rate, block, channels);
        plugin->render(audio);
        const auto out = cwd.getChildFile(option("--out", "out.wav"));
        if (!HostedPlugin::writeWav(out, audio, rate))
            return fail("cannot write " + out.getFullPathName());
    }
    else
    {
        plugin->settle();
    }

    if (args.contains("--list"))
    {
        std::cout << plugin->instance().getName() << " (" << plugin->formatName() << ")\n";
        for (const auto& p : plugin->parameters())
            std::cout << p.id << "\t" << p.name << "\t" << plugin->parameterText(p.id) << "\t" << p.label
                      << "\tdefault " << p.defaultText << "\n";
    }

    if (const auto stateFile = option("--save-state"); stateFile.isNotEmpty())
    {
        const auto state = plugin->saveState();
        if (!cwd.getChildFile(stateFile).replaceWithData(state.getData(), state.getSize()))
            return fail("cannot write " + stateFile);
    }
    return 0;
}
