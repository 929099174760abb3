#include "PresetFileChooser.h"

juce::File PresetFileChooser::chooseFileToSave(const juce::String& title, const juce::File& offeredFile,
                                               const juce::String& pattern)
{
    juce::FileChooser chooser(title, offeredFile, pattern, true, false, nullptr);
    return chooser.browseForFileToSave(true) ? chooser.getResult() : juce::File();
}

juce::File PresetFileChooser::chooseFileToOpen(const juce::String& title, const juce::File& initialFolder,
                                               const juce::String& pattern)
{
    juce::FileChooser chooser(title, initialFolder, pattern, true, false, nullptr);
    return chooser.browseForFileToOpen() ? chooser.getResult() : juce::File();
}
