// brimwell_host: a small headless host for the plug-in's VST3 and LV2 binaries.
//
//   brimwell_host PLUGIN [--rate HZ] [--block N] [--channels 1|2]
//                        [--load-state FILE] [--set ID=VALUE]... [--list]
//                        [--in IN.wav --out OUT.wav] [--save-state FILE]
//   brimwell_host --make-demo OUT.wav [--rate HZ]
//
// Options run in this order: load the plug-in, restore the state, set the parameters
// (values in the parameter's own units), render (or one silent block, which an LV2
// plug-in needs to take the changes), list, save the state. The plug-in run is the one in the
// bundle given, never another installed copy of it; --list names its binary.
// --make-demo writes a guitar-like test signal (plucked notes and a chord, stereo).
// An option's value follows it or its '=' (--rate=44100). Anything else on the command line,
// an option given twice (but --set) or a parameter ID the plug-in lacks stops the host with a
// message and a non-zero exit: a script's typo never renders at a default.

#include "HostedPlugin.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace
{
const char* const usage =
    "usage: brimwell_host PLUGIN [--rate HZ] [--block N] [--channels 1|2] [--load-state FILE]\n"
    "                            [--set ID=VALUE]... [--list] [--in IN.wav --out OUT.wav]\n"
    "                            [--save-state FILE]\n"
    "       brimwell_host --make-demo OUT.wav [--rate HZ]\n";

int fail(const juce::String& message)
{
    std::cerr << "brimwell_host: " << message << std::endl;
    return 1;
}

/** A command line this host doesn't take: the reason, then the usage. */
int usageError(const juce::String& message)
{
    std::cerr << "brimwell_host: " << message << "\n" << usage << std::flush;
    return 2;
}

struct OptionSpec
{
    const char* name;
    bool takesValue;
};

constexpr OptionSpec optionSpecs[] = {{"--rate", true},       {"--block", true}, {"--channels", true},
                                      {"--load-state", true}, {"--set", true},   {"--list", false},
                                      {"--in", true},         {"--out", true},   {"--save-state", true},
                                      {"--make-demo", true}};

/** The plug-in path and the options given, each with its values in order. */
struct CommandLine
{
    juce::String plugin;
    std::map<juce::String, juce::StringArray> options;

    bool has(const juce::String& name) const { return options.count(name) > 0; }
    juce::StringArray values(const juce::String& name) const
    {
        return has(name) ? options.at(name) : juce::StringArray();
    }
    juce::String value(const juce::String& name) const { return values(name)[0]; }
};

/** Splits the arguments into the plug-in path and the options; returns why it can't. */
juce::String parse(const juce::ArgumentList& args, CommandLine& line)
{
    for (int i = 0; i < args.size(); ++i)
    {
        const auto arg = args[i];
        if (!arg.isOption())
        {
            if (line.plugin.isNotEmpty())
                return "unexpected argument " + arg.text;
            line.plugin = arg.text;
            continue;
        }

        const auto name = arg.text.upToFirstOccurrenceOf("=", false, false);
        const auto* spec = std::find_if(std::begin(optionSpecs), std::end(optionSpecs),
                                        [&](const OptionSpec& s) { return name == s.name; });
        if (spec == std::end(optionSpecs))
            return "unknown option " + name;
        if (line.has(name) && name != "--set")
            return name + " is given twice";

        const bool hasInlineValue = arg.text.containsChar('=');
        juce::String value;
        if (!spec->takesValue)
        {
            if (hasInlineValue)
                return name + " takes no value";
        }
        else if (hasInlineValue)
            value = arg.getLongOptionValue();
        else if (i + 1 < args.size() && !args[i + 1].isLongOption())
            value = args[++i].text;

        if (spec->takesValue && value.isEmpty())
            return name + " needs a value";
        line.options[name].add(value);
    }

    if (line.has("--make-demo"))
    {
        if (line.plugin.isNotEmpty())
            return "--make-demo takes no plug-in";
        for (const auto& option : line.options)
            if (option.first != "--make-demo" && option.first != "--rate")
                return "--make-demo takes only --rate, not " + option.first;
        return {};
    }
    if (line.plugin.isEmpty())
        return "no plug-in given";
    if (line.has("--in") != line.has("--out"))
        return "--in and --out go together";
    return {};
}

/** The whole text as a number, or nothing when it is not one. */
std::optional<double> number(const juce::String& text)
{
    const auto s = text.toStdString();
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return {};
    return value;
}

/** An option's number, the fallback when the option is absent; nothing when its value is not a
    number that passes the check. */
template <class Check>
std::optional<double> numberOption(const CommandLine& line, const char* name, double fallback, Check isValid)
{
    if (!line.has(name))
        return fallback;
    const auto value = number(line.value(name));
    return value && isValid(*value) ? value : std::nullopt;
}

bool isPositiveWhole(double v)
{
    return v >= 1.0 && v <= 1.0e6 && v == std::floor(v);
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

    CommandLine line;
    if (const auto error = parse(juce::ArgumentList(argc, argv), line); error.isNotEmpty())
        return usageError(error);

    auto badValue = [&](const char* name, const char* what)
    { return usageError(juce::String(name) + " takes " + what + ", not \"" + line.value(name) + "\""); };
    const auto rate = numberOption(line, "--rate", 48000.0, [](double v) { return v > 0.0; });
    if (!rate)
        return badValue("--rate", "a rate in hertz");
    const auto block = numberOption(line, "--block", 512.0, isPositiveWhole);
    if (!block)
        return badValue("--block", "a whole number of samples");
    // 0: as many channels as the input file has, at most two.
    const auto channels =
        numberOption(line, "--channels", 0.0, [](double v) { return v == 1.0 || v == 2.0; });
    if (!channels)
        return badValue("--channels", "1 or 2");

    std::vector<std::pair<juce::String, juce::String>> settings;
    for (const auto& setting : line.values("--set"))
    {
        const auto id = setting.upToFirstOccurrenceOf("=", false, false);
        if (id.isEmpty() || !setting.containsChar('='))
            return usageError("--set takes ID=VALUE, not \"" + setting + "\"");
        settings.emplace_back(id, setting.fromFirstOccurrenceOf("=", false, false));
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    if (line.has("--make-demo"))
    {
        const auto out = cwd.getChildFile(line.value("--make-demo"));
        return HostedPlugin::writeWav(out, makeDemoSignal(*rate), *rate)
                   ? 0
                   : fail("cannot write " + out.getFullPathName());
    }

    juce::String error;
    auto plugin = HostedPlugin::load(line.plugin, *rate, (int)*block, error);
    if (plugin == nullptr)
        return fail(error);

    if (const auto stateFile = line.value("--load-state"); stateFile.isNotEmpty())
    {
        juce::MemoryBlock state;
        if (!cwd.getChildFile(stateFile).loadFileAsData(state))
            return fail("cannot read " + stateFile);
        plugin->restoreState(state);
    }

    for (const auto& [id, value] : settings)
    {
        const auto* parameter = plugin->findParameter(id);
        if (parameter == nullptr)
        {
            juce::StringArray ids;
            for (const auto& p : plugin->parameters())
                ids.add(p.id);
            return fail("the plug-in has no parameter " + id + "; it has " + ids.joinIntoString(", "));
        }
        const bool isSwitch = HostedPlugin::isSwitch(*parameter);
        if (!(isSwitch || number(value)) || !plugin->setParameter(id, value))
            return usageError("--set " + id + " takes " +
                              (isSwitch ? "0/1, on/off or true/false" : "a number") + ", not \"" + value +
                              "\"");
    }

    if (const auto in = line.value("--in"); in.isNotEmpty())
    {
        juce::AudioBuffer<float> audio;
        double fileRate = *rate;
        if (!HostedPlugin::readWav(cwd.getChildFile(in), audio, fileRate))
            return fail("cannot read " + in);
        const int numChannels = *channels > 0.0 ? (int)*channels : juce::jmin(2, audio.getNumChannels());
        audio.setSize(numChannels, audio.getNumSamples(), true, true);
        plugin->prepare(*rate, (int)*block, numChannels);
        plugin->render(audio);
        const auto out = cwd.getChildFile(line.value("--out"));
        if (!HostedPlugin::writeWav(out, audio, *rate))
            return fail("cannot write " + out.getFullPathName());
    }
    else
    {
        plugin->settle();
    }

    if (line.has("--list"))
    {
        std::cout << plugin->instance().getName() << " (" << plugin->formatName() << ") "
                  << plugin->binary().getFullPathName() << "\n";
        for (const auto& p : plugin->parameters())
            std::cout << p.id << "\t" << p.name << "\t" << plugin->parameterText(p.id) << "\t" << p.label
                      << "\tdefault " << p.defaultText << "\n";
    }

    if (const auto stateFile = line.value("--save-state"); stateFile.isNotEmpty())
    {
        const auto state = plugin->saveState();
        if (!cwd.getChildFile(stateFile).replaceWithData(state.getData(), state.getSize()))
            return fail("cannot write " + stateFile);
    }
    return 0;
}
