#include "../TestEnvironment.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>
#include <juce_events/juce_events.h>

int main(int argc, char** argv)
{
    const juce::File home(useTemporaryHome());
    juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    home.deleteRecursively();
    return result;
}
