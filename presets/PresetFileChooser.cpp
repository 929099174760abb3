#include "PresetFileChooser.h"

juce::File PresetFileChooser::chooseFileToSave(const juce::String& title, const juce::File& offeredFile,
                                               const juce::String& pattern)
{
    juce::FileChooser chooser(title, offeredFile, pattern, true, false, nullptr);
    return chooser.browseForFileToSave(false) ? chooser.getResult() : juce::File();
}

bool PresetFileChooser::confirmOverwrite(const juce::File& file)
{
    // The framework's own question, asked about the name that will be written.
    return juce::AlertWindow::showOkCancelBox(
        juce::MessageBoxIconType::WarningIcon, TRANS("File already exists"),
        TRANS("There's already a file called: FLNM").replace("FLNM", file.getFullPathName()) + "\n\n" +
            TRANS("Are you sure you want to overwrite it?"),
        TRANS("Overwrite"), TRANS("Cancel"), nullptr, nullptr);
}

juce::File PresetFileChooser::chooseFileToOpen(const juce::String& title, const juce::File& initialFolder,
                                               const juce::String& pattern)
{
    juce::FileChooser chooser(title, initialFolder, pattern, true, false, nullptr);
    return chooser.browseForFileToOpen() ? chooser.getResult() : juce::File();
}
