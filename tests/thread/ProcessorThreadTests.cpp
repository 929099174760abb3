// The processor's threads at once, as a host drives them: an audio thread runs blocks, a host
// thread moves every parameter, and the message thread keeps the editor open (meters, slider
// and button attachments), saves and restores the state, and closes and reopens the editor.
// Built with ThreadSanitizer, any data race between them fails the run; in every build the
// audio must stay within the loudest the chain makes at any settings, must not fall silent for
// good, and each thread must have done its work.

#include "EditorTestSupport.h"
#include "ProcessorTestProbe.h"

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
