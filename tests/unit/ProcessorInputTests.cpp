// What a host hands the processor besides state: a sample rate that is no rate leaves it
// unprepared, passing audio through; a parameter value that is no number is ignored, so the
// audio, the editor and the host go on with the value the parameter had.

#include "EditorTestSupport.h"
#include "ProcessorTestProbe.h"
#include "editor/FilmStripKnobLook.h"
#include "processor/ParameterIds.h"

#include <limits>
#include <thread>

namespace
{
constexpr auto notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr auto infinity = std::numeric_limits<double>::infinity();

float largestDifference(const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int ch = 0; ch < a.getNumChannels(); ++ch)
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = std::max(largest, std::abs(a.getSample(ch, i) - b.getSample(ch, i)));
    return largest;
}

/** The last value the processor told its listeners (the plug-in clients, and so the host) for each parameter.
 */
struct HostView : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float value) override
    {
        told[index] = value;
    }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}

    std::map<int, float> told;
};

/** The last value a parameter told its listeners, the editor's attachments among them. */
struct ParameterView : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged(int, float value) override { told = value; }
    void parameterGestureChanged(int, bool) override {}

    std::atomic<float> told{0.0f};
};
} // namespace

TEST(ProcessorInputs, ARateThatIsNoRateLeavesTheProcessorUnpreparedAndPassesAudioThrough)
{
    auto p = makeProcessor();
    for (const double rate : {-48000.0, 0.0, notANumber, infinity, -infinity})
    {
        SCOPED_TRACE(rate);
        for (const bool preparedBefore : {false, true})
        {
            if (preparedBefore)
                prepare(*p, 48000.0, 256);
            prepare(*p, rate, 256);
            EXPECT_FALSE(ProcessorTestProbe{*p}.isPrepared());

            long long position = 0;
            auto out = processSignalBlock(*p, 2, 256, position, 48000.0);
            juce::AudioBuffer<float> in(2, 256);
            fillSignal(in, 0, 48000.0);
            EXPECT_EQ(largestDifference(out, in), 0.0f) << "passed through";
        }
    }

    // A real rate after them prepares as usual.
    prepare(*p, 48000.0, 256);
    EXPECT_TRUE(ProcessorTestProbe{*p}.isPrepared());
    long long position = 0;
    juce::AudioBuffer<float> in(2, 256);
    fillSignal(in, 0, 48000.0);
    EXPECT_GT(largestDifference(processSignalBlock(*p, 2, 256, position, 48000.0), in), 1e-3f);
}

TEST(ProcessorInputs, AKnobShowsAFrameOfItsStripWhateverItsValue)
{
    const std::pair<double, int> cases[] = {{0.5, 32},      {notANumber, 0}, {infinity, 63},
                                            {-infinity, 0}, {1e12, 63},      {-1e12, 0}};
    for (const auto& [value, frame] : cases)
        EXPECT_EQ(FilmStripKnobLook::frameIndexFor(value, 0.0, 1.0, 64), frame) << value;
}

//==============================================================================
class ProcessorHostValues : public EditorFixture
{
  protected:
    static void deliverMessages() { juce::MessageManager::getInstance()->runDispatchLoopUntil(5); }

    static void set(ZiruzozodAudioProcessor& p, const char* id, float value)
    {
        auto* parameter = p.apvts->getParameter(id);
        parameter->setValueNotifyingHost(parameter->convertTo0to1(value));
    }

    juce::Image editorPicture()
    {
        return openedEditor->createComponentSnapshot(openedEditor->getLocalBounds(), true, 1.0f);
    }

    std::unique_ptr<ZiruzozodAudioProcessor> twin = std::make_unique<ZiruzozodAudioProcessor>();
};

TEST_F(ProcessorHostValues, AValueThatIsNoNumberKeepsTheLastOneForTheAudioTheEditorAndTheHost)
{
    struct Case
    {
        const char* id;
        float moved, defaultValue;
    };
    // Each parameter away from its default and back: a switch at NaN read as on while its
    // toggle showed off, so both of its states count.
    const Case cases[] = {
        {ParameterIds::output, 0.5f, 1.0f},      {ParameterIds::drive, 0.8f, 0.3f},
        {ParameterIds::inputTrim, 6.0f, 0.0f},   {ParameterIds::outputTrim, -6.0f, 0.0f},
        {ParameterIds::dryMix, 40.0f, 100.0f},   {ParameterIds::lowPass, 5000.0f, 20000.0f},
        {ParameterIds::highPass, 200.0f, 20.0f}, {ParameterIds::boost, 2.0f, 0.0f},
        {ParameterIds::autoGain, 1.0f, 0.0f},    {ParameterIds::ultraMode, 0.0f, 1.0f},
        {ParameterIds::power, 1.0f, 0.0f},
    };
    ASSERT_EQ(std::size(cases), (size_t)processor->getParameters().size());

    HostView host;
    processor->addListener(&host);
    prepare(*processor, 48000.0, 256);
    prepare(*twin, 48000.0, 256);
    openEditor();
    ZiruzozodAudioProcessorEditor twinEditor(*twin, settingsOptions()); // its toggles start fades too
    long long position = 0, twinPosition = 0;

    for (const auto& c : cases)
        for (const float value : {c.moved, c.defaultValue})
        {
            SCOPED_TRACE(juce::String(c.id) + " at " + juce::String(value));
            auto* parameter = processor->apvts->getParameter(c.id);
            set(*processor, c.id, value);
            set(*twin, c.id, value);
            deliverMessages();
            const auto valueBefore = parameterValue(c.id);
            const auto normalisedBefore = parameter->getValue();
            ASSERT_NEAR(valueBefore, value, 1e-3f);
            const auto pictureBefore = editorPicture();
            juce::MemoryBlock stateBefore, stateAfter;
            processor->getStateInformation(stateBefore);

            // As the plug-in clients pass it on, from the audio thread.
            ParameterView attachment;
            parameter->addListener(&attachment);
            std::thread([parameter] { parameter->setValueNotifyingHost((float)notANumber); }).join();
            parameter->removeListener(&attachment);
            EXPECT_EQ(attachment.told.load(), normalisedBefore)
                << "a listener is told the value kept at once";
            const auto index = parameter->getParameterIndex();
            // The host is told from a timer that runs every 100 ms.
            for (int wait = 0; wait < 100 && !std::isfinite(host.told[index]); ++wait)
                deliverMessages();

            EXPECT_EQ(parameterValue(c.id), valueBefore);
            EXPECT_EQ(parameter->getValue(), normalisedBefore);
            EXPECT_EQ(host.told[index], normalisedBefore) << "the host is told the value kept";
            EXPECT_TRUE(samePixels(editorPicture(), pictureBefore)) << "the editor shows it";
            processor->getStateInformation(stateAfter);
            EXPECT_EQ(stateAfter, stateBefore);

            const auto out = processSignalBlock(*processor, 2, 256, position, 48000.0);
            const auto twinOut = processSignalBlock(*twin, 2, 256, twinPosition, 48000.0);
            EXPECT_EQ(largestDifference(out, twinOut), 0.0f) << "the audio runs on as with the value kept";
        }

    // Set directly, the way a host may, a value that is not finite changes nothing either.
    auto* drive = processor->apvts->getParameter(ParameterIds::drive);
    const auto driveBefore = drive->getValue();
    for (const double value : {notANumber, infinity, -infinity})
    {
        drive->setValue((float)value);
        EXPECT_EQ(drive->getValue(), driveBefore) << value;
    }
    processor->removeListener(&host);
}
