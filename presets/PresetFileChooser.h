#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Asks the user for a preset file through the framework's modal native dialogs.
    Tests derive from it to answer without a window. */
class PresetFileChooser
{
  public:
    PresetFileChooser() = default;
    virtual ~PresetFileChooser() = default;

    /** Asks for a file to save to, offering the given one; returns an empty file when cancelled.
        Asks nothing about an existing file: the caller may still change the name. */
    virtual juce::File chooseFileToSave(const juce::String& title, const juce::File& offeredFile,
                                        const juce::String& pattern);

    /** Asks whether an existing file may be replaced. */
    virtual bool confirmOverwrite(const juce::File& file);

    /** Asks for a file to open, starting in the given folder; returns an empty file when cancelled. */
    virtual juce::File chooseFileToOpen(const juce::String& title, const juce::File& initialFolder,
                                        const juce::String& pattern);

  private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetFileChooser)
};
