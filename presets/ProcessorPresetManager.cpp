#include "ProcessorPresetManager.h"

namespace
{
// Hidden, and not ending in the preset extension, so that a save cut short leaves nothing listed.
// Named by a hash of the preset's name, so that it stays short where the preset's name takes
// nearly all a file name may hold.
juce::File temporaryFileFor(const juce::File& preset)
{
    const auto hash = juce::String::toHexString(preset.getFileName().hashCode64());
    return preset.getParentDirectory().getNonexistentChildFile("." + hash, ".saving", false);
}

// The bytes go to a file beside the target that then replaces it, so a failed or partial
// write leaves the old preset whole.
bool replaceFileWith(const juce::File& target, const juce::MemoryBlock& bytes)
{
    if (bytes.isEmpty())
        return false;

    juce::TemporaryFile temporary(target, temporaryFileFor(target));
    {
        juce::FileOutputStream stream(temporary.getFile(), 16384);
        if (!stream.openedOk() || !stream.write(bytes.getData(), bytes.getSize()))
            return false;

        stream.flush();
        if (stream.getStatus().failed())
            return false;
    }

    // A short write is not reported by the stream's status.
    return temporary.getFile().getSize() == (juce::int64)bytes.getSize() &&
           temporary.overwriteTargetFileWithTemporary();
}
} // namespace

ProcessorPresetManager::ProcessorPresetManager(juce::AudioProcessor& processorToUse,
                                               juce::AudioProcessorValueTreeState& state,
                                               RestoreState restore, const juce::CriticalSection& lockToUse)
    : processor(processorToUse), valueTreeState(state), restoreState(std::move(restore)),
      stateLock(lockToUse), presetFolder(juce::File::getSpecialLocation(juce::File::userDocumentsDirectory)
                                             .getChildFile("Calvorra/Presets/Brimwell/"))
{
    presetFolder.createDirectory();
    const juce::ScopedLock lock(stateLock);
    setPresetProperties("Default", false, nullptr);

    const auto defaultPreset = presetFolder.getChildFile("Default" + fileExtension);
    if (!defaultPreset.existsAsFile())
        savePresetInternal(defaultPreset, nullptr);
}

bool ProcessorPresetManager::savePresetInternal(juce::File file, juce::ValueTree::Listener* listenerToExclude)
{
    if (file == juce::File())
        file = askForFileToSave();

    if (file == juce::File() || file.isDirectory())
        return false;

    // Not during the dialog above: a host's state call would wait on the user.
    const juce::ScopedLock lock(stateLock);
    const auto& state = valueTreeState.state;
    const auto previousName = state[currentPresetId];
    const auto previousModified = state[presetModifiedId];

    // Set first, so that the file carries its own name and a clear flag.
    setPresetProperties(file.getFileNameWithoutExtension(), false, listenerToExclude);

    juce::MemoryBlock bytes;
    processor.getStateInformation(bytes);
    if (replaceFileWith(file, bytes))
        return true;

    // The state must not name a preset that was never written.
    setPresetProperties(previousName, previousModified, listenerToExclude);
    return false;
}

juce::File ProcessorPresetManager::askForFileToSave()
{
    auto file = fileChooser->chooseFileToSave(
        "Choose output file location...",
        presetFolder.getNonexistentChildFile("New Preset", fileExtension, true), "*" + fileExtension);
    if (file == juce::File())
        return {};

    // Linux dialogs keep a typed name as it is; without the extension the preset would never be listed.
    if (!file.getFileName().endsWithIgnoreCase(fileExtension))
        file = file.getSiblingFile(file.getFileName() + fileExtension);

    if (file.isDirectory() || (file.exists() && !fileChooser->confirmOverwrite(file)))
        return {};

    return file;
}

void ProcessorPresetManager::setPresetProperties(const juce::var& name, const juce::var& modified,
                                                 juce::ValueTree::Listener* listenerToExclude)
{
    auto& state = valueTreeState.state;
    state.setPropertyExcludingListener(listenerToExclude, currentPresetId, name, nullptr);
    state.setPropertyExcludingListener(listenerToExclude, presetModifiedId, modified, nullptr);
}
