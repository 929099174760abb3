// The processor's threads at once, as a host drives them: an audio thread runs blocks, a host
// thread moves every parameter, and the message thread keeps the editor open (meters, slider
// and button attachments), saves and restores the state, and closes and reopens the editor.
// Built with ThreadSanitizer, any data race between them fails the run; in every build the
// audio must stay within the loudest the chain makes at any settings, must not fall silent for
// good, and each thread must have done its work.

#include "EditorTestSupport.h"
#include "PresetTestSupport.h"
#include "ProcessorTestProbe.h"
#include "presets/PresetBox.h"
#include "processor/ParameterIds.h"

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 256;
constexpr auto runTime = std::chrono::seconds(3);

class ProcessorThreads : public EditorFixture
{
  protected:
    void SetUp() override { prepare(*processor, rate, blockSize); }

    void runAudio()
    {
        const juce::ScopedNoDenormals noDenormals;
        long long position = 0;
        while (running)
        {
            const float level =
                OutputBounds::peak(processSignalBlock(*processor, 2, blockSize, position, rate));
            if (level > OutputBounds::largestGainAtAnySettings * testSignalPeak)
                tooLoudBlocks++;
            loudest = std::max(loudest, level); // read after the thread has joined
            blocks++;
        }
    }

    void moveParameters()
    {
        juce::Random random(11);
        const auto parameters = processor->getParameters();
        while (running)
        {
            for (auto* parameter : parameters)
            {
                parameter->beginChangeGesture();
                parameter->setValueNotifyingHost(random.nextFloat());
                parameter->endChangeGesture();
                moves++;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::atomic<bool> running{true};
    std::atomic<long> blocks{0}, tooLoudBlocks{0}, moves{0};
    float loudest = 0.0f;
};
} // namespace

TEST_F(ProcessorThreads, AudioParametersStateAndEditorAtOnce)
{
    ASSERT_EQ(processor->getParameters().size(), 11);
    openEditor();
    std::thread audio([this] { runAudio(); });
    std::thread host([this] { moveParameters(); });

    long saves = 0, restores = 0, reopenings = 0;
    const auto end = std::chrono::steady_clock::now() + runTime;
    while (std::chrono::steady_clock::now() < end)
    {
        // Timers (meters, the state flush) and the attachments' updates run in here.
        juce::MessageManager::getInstance()->runDispatchLoopUntil(20);

        juce::MemoryBlock state;
        processor->getStateInformation(state);
        ++saves;
        processor->setStateInformation(state.getData(), (int)state.getSize());
        ++restores;

        if (saves % 5 == 0)
        {
            closeEditor();
            openEditor();
            ++reopenings;
        }
    }

    running = false;
    audio.join();
    host.join();
    closeEditor();

    std::cout << "thread check: " << blocks << " blocks, " << moves << " parameter moves, " << saves
              << " saves, " << restores << " restores, " << reopenings << " editor reopenings\n";
    EXPECT_EQ(tooLoudBlocks, 0) << "loudest " << loudest;
    EXPECT_GT(loudest, OutputBounds::audible); // the parameters move at random: some blocks are silent
    EXPECT_GT(blocks, 10);
    EXPECT_GT(moves, 11 * 10);
    EXPECT_GT(reopenings, 2);
}

// While the editor is open, the host saves and restores states on its own thread: the preset
// box hears the saves' parameter flushes there, and each restore's new tree, which it rebinds to
// on the message thread. Meanwhile the message thread loads, saves and deletes presets through
// the box, and closes and opens the editor, whose box joins and leaves the tree's listeners.
// Nothing in the test orders the two threads: the plug-in itself must keep them apart in the tree.
TEST_F(ProcessorThreads, HostStateCallsWhileTheEditorLoadsAndSavesPresets)
{
    auto& manager = *processor->presetManager;
    auto chooser = std::make_unique<FakeFileChooser>();
    const auto chooserAnswer = manager.presetFolder.getChildFile("Saved.rcp");
    chooser->answer = chooserAnswer;
    manager.fileChooser = std::move(chooser);
    for (const auto* name : {"A.rcp", "B.rcp", "C.rcp"})
        ASSERT_TRUE(manager.savePresetInternal(manager.presetFolder.getChildFile(name), nullptr));

    const auto openEditorsPresetBox = [this]
    {
        openEditor();
        PresetBox* found = nullptr;
        for (auto* control : controls())
            if (auto* presetBox = dynamic_cast<PresetBox*>(control))
                found = presetBox;
        return found;
    };
    auto* box = openEditorsPresetBox();
    ASSERT_NE(box, nullptr);

    std::atomic<long> hostSaves{0}, hostRestores{0};
    std::thread host(
        [&]
        {
            juce::Random random(17);
            auto* drive = processor->apvts->getParameter(ParameterIds::drive);
            while (running)
            {
                // Flushed into the tree by the save that follows, on this thread.
                drive->setValueNotifyingHost(random.nextFloat());
                juce::MemoryBlock state;
                processor->getStateInformation(state);
                ++hostSaves;
                processor->setStateInformation(state.getData(), (int)state.getSize());
                ++hostRestores;
            }
        });

    long loads = 0, saves = 0, deletions = 0, reopenings = 0;
    const auto end = std::chrono::steady_clock::now() + runTime;
    while (std::chrono::steady_clock::now() < end)
    {
        // The rebinding after a restore on the host's thread runs in here.
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);

        box->setSelectedId(0, juce::dontSendNotification);
        box->setSelectedId(box->getItemId((int)(loads % box->getNumItems())), juce::sendNotificationSync);
        ++loads;

        if (loads % 4 == 0)
        {
            box->savePreset();
            ++saves;
        }
        else if (loads % 4 == 2)
        {
            // The saved one, whatever name a host restore has put back meanwhile.
            const auto index = manager.presetFiles.indexOf(chooserAnswer);
            if (index >= 0)
            {
                box->setSelectedId(box->getItemId(index), juce::dontSendNotification);
                box->deletePreset();
                ++deletions;
            }
        }

        if (loads % 16 == 0)
        {
            closeEditor();
            box = openEditorsPresetBox();
            if (box == nullptr)
                break;
            ++reopenings;
        }
    }
    running = false;
    host.join();
    ASSERT_NE(box, nullptr);

    // One restore more on another thread, so that the values below are those it rebinds.
    std::thread(
        [this]
        {
            juce::MemoryBlock state;
            processor->getStateInformation(state);
            processor->setStateInformation(state.getData(), (int)state.getSize());
        })
        .join();
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
    processor->apvts->state.setProperty("Current_Selected_Preset", "Checked", nullptr);
    EXPECT_EQ(box->currentPresetValue.toString(), "Checked");
    closeEditor();

    std::cout << "preset thread check: " << hostSaves << " host saves, " << hostRestores << " host restores, "
              << loads << " preset loads, " << saves << " preset saves, " << deletions << " deletions, "
              << reopenings << " editor reopenings\n";
    EXPECT_GT(hostRestores, 10);
    EXPECT_GT(loads, 10);
    EXPECT_GT(saves, 10);
    EXPECT_GT(deletions, 10);
    EXPECT_GT(reopenings, 2);
}
