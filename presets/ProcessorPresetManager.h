#pragma once

#include "presets/PresetFileChooser.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

/** The preset store of one plug-in instance: the preset folder under the user's documents,
    its default preset, and the writing of preset files, which hold exactly the host state. */
class ProcessorPresetManager
{
  public:
    /** Restores the processor's state from a preset's bytes; false, with nothing changed, when
        the bytes are refused. */
    using RestoreState = std::function<bool(const void* data, int sizeInBytes)>;

    /** Creates the preset folder and Default.rcp when missing, and names the state "Default".
        The lock is the one the processor's host state calls take; it must outlive the manager. */
    ProcessorPresetManager(juce::AudioProcessor& processor,
                           juce::AudioProcessorValueTreeState& valueTreeState, RestoreState restoreState,
                           const juce::CriticalSection& stateLock);

    /** Names the state after the file and writes it there, asking for a file when none is given.
        Returns false, with the state as it was, when cancelled or when the file could not be written. */
    bool savePresetInternal(juce::File file, juce::ValueTree::Listener* listenerToExclude);

    /** Asks the user for the file of a new preset, with the extension added to a name typed without
        it; returns an empty file when cancelled or when the user keeps an existing file. */
    juce::File askForFileToSave();

    juce::AudioProcessor& processor;
    juce::AudioProcessorValueTreeState& valueTreeState;
    const RestoreState restoreState;

    /** Held by the host's state save and restore, on whatever thread the host makes them, and by
        all preset work on the state tree, so that the two never meet in the tree; the tree's own
        lock is private to the framework. Never taken on the audio thread, nor inside a tree
        listener callback, where the framework holds its lock: this one is always taken first. */
    const juce::CriticalSection& stateLock;

    const juce::Identifier presetModifiedId{"Preset_Has_Been_Modified"};
    const juce::Identifier currentPresetId{"Current_Selected_Preset"};

    /** The files of the preset menu's items, in item order; filled by the preset box. */
    juce::Array<juce::File> presetFiles;

    const juce::File presetFolder;
    const juce::String fileExtension{".rcp"};

    /** Answers the save and open dialogs. */
    std::unique_ptr<PresetFileChooser> fileChooser = std::make_unique<PresetFileChooser>();

  private:
    void setPresetProperties(const juce::var& name, const juce::var& modified,
                             juce::ValueTree::Listener* listenerToExclude);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ProcessorPresetManager)
};
