#include "PresetBox.h"

#include "processor/PluginProcessor.h"
#include "processor/StateBytesCheck.h"

#include <algorithm>
#include <filesystem>

namespace
{
juce::String canonicalPath(const juce::File& folder)
{
    std::error_code error;
    const auto path = std::filesystem::canonical(folder.getFullPathName().toStdString(), error);
    return error ? folder.getFullPathName() : juce::String(path.string());
}

// Earlier saves wrote through the framework's temporary file, ".<name>_temp<hex>.rcp"; a save
// cut short left it behind. Today's temporary files do not end in the extension.
bool isLeftoverOfInterruptedSave(const juce::File& file)
{
    const auto name = file.getFileNameWithoutExtension();
    const auto hex = name.fromLastOccurrenceOf("_temp", false, false);
    return name.startsWithChar('.') && name.contains("_temp") && hex.isNotEmpty() &&
           hex.containsOnly("0123456789abcdef");
}

void sortIgnoringCase(juce::Array<juce::File>& files)
{
    std::stable_sort(files.begin(), files.end(),
                     [](const juce::File& a, const juce::File& b)
                     { return a.getFullPathName().compareIgnoreCase(b.getFullPathName()) < 0; });
}
} // namespace

PresetBox::PresetBox(ProcessorPresetManager& managerToUse)
    : manager(managerToUse), presetFolder(managerToUse.presetFolder),
      fileExtension(managerToUse.fileExtension)
{
    setTextWhenNothingSelected("No Preset Selected");
    setTextWhenNoChoicesAvailable("No Presets In Directory");
    onChange = [this] { loadSelectedPreset(); };

    updateValueRefs();
    manager.valueTreeState.state.addListener(this);
    refreshMenu();
}

PresetBox::~PresetBox()
{
    manager.valueTreeState.state.removeListener(this);
}

//==============================================================================
void PresetBox::refreshMenu(const juce::File& currentPresetFile)
{
    manager.presetFiles.clearQuick();
    // Without a notification: a queued one would load whatever item the refresh selects.
    clear(juce::dontSendNotification);
    populateMenu(*getRootMenu(), presetFolder);
    nextItemId = 1;

    if (currentPresetFile != juce::File())
        showFile(currentPresetFile);
    else
        setText(currentPresetValue.toString(), juce::dontSendNotification);

    if ((bool)presetModifiedValue.getValue())
        setText(getItemText(getSelectedItemIndex()) + "*", juce::dontSendNotification);
}

void PresetBox::showFile(const juce::File& file)
{
    const auto index = manager.presetFiles.indexOf(file);
    if (index >= 0)
        return setSelectedId(getItemId(index), juce::dontSendNotification);

    // The framework's setText would select the first item of that name, a different file, which
    // a click on it then could not load.
    setSelectedId(0, juce::dontSendNotification);
    for (auto* child : getChildren())
        if (auto* shownText = dynamic_cast<juce::Label*>(child))
            shownText->setText(file.getFileNameWithoutExtension(), juce::dontSendNotification);
}

void PresetBox::populateMenu(juce::PopupMenu& menu, const juce::File& folder)
{
    juce::StringArray foldersOnPath(canonicalPath(folder));
    addFolder(menu, folder, foldersOnPath);
}

void PresetBox::addFolder(juce::PopupMenu& menu, const juce::File& folder, juce::StringArray& foldersOnPath)
{
    juce::Array<juce::File> subFolders, presets;
    for (const auto& entry :
         juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
    {
        const auto& file = entry.getFile();
        if (file.getFileName().endsWithIgnoreCase(fileExtension))
        {
            if (!isLeftoverOfInterruptedSave(file))
                presets.add(file);
        }
        else if (entry.isDirectory())
            subFolders.add(file);
    }

    sortIgnoringCase(subFolders);
    sortIgnoringCase(presets);

    for (const auto& subFolder : subFolders)
    {
        // A link back into a folder on the current path would repeat it inside itself without end.
        const auto path = canonicalPath(subFolder);
        if (foldersOnPath.contains(path))
            continue;

        foldersOnPath.add(path);
        juce::PopupMenu subMenu;
        addFolder(subMenu, subFolder, foldersOnPath);
        menu.addSubMenu(subFolder.getFileNameWithoutExtension(), subMenu);
        foldersOnPath.remove(foldersOnPath.size() - 1);
    }

    for (const auto& preset : presets)
    {
        menu.addItem(nextItemId++, preset.getFileNameWithoutExtension());
        manager.presetFiles.add(preset);
    }
}

void PresetBox::updateValueRefs()
{
    auto& state = manager.valueTreeState.state;
    currentPresetValue.referTo(state.getPropertyAsValue(manager.currentPresetId, nullptr, true));
    presetModifiedValue.referTo(state.getPropertyAsValue(manager.presetModifiedId, nullptr, true));
}

//==============================================================================
void PresetBox::loadSelectedPreset()
{
    const juce::ScopedValueSetter<bool> loading(isLoadingPreset, true);

    const auto index = getSelectedItemIndex();
    if (index < 0)
        return;

    auto file = manager.presetFiles[index];
    if (!file.exists())
        file = manager.fileChooser->chooseFileToOpen("Choose preset...", presetFolder, "*" + fileExtension);

    if (!file.existsAsFile())
        return;

    // The manager belongs to our processor. A refused file changes nothing, so the box shows the
    // current preset again. A file larger than any state the processor takes is refused unread.
    juce::MemoryBlock bytes;
    const bool taken = file.getSize() <= (juce::int64)StateBytesCheck::maxBytes &&
                       file.loadFileAsData(bytes) &&
                       static_cast<ZiruzozodAudioProcessor&>(manager.processor)
                           .restoreState(bytes.getData(), (int)bytes.getSize());
    if (!taken)
    {
        const bool modified = presetModifiedValue.getValue();
        setText(currentPresetValue.toString() + (modified ? "*" : ""), juce::dontSendNotification);
        return;
    }
    updateValueRefs();
}

void PresetBox::savePreset()
{
    const auto file = manager.askForFileToSave();
    if (file == juce::File())
        return;

    // Parameter values not yet in the tree go there now and mark the preset like any change, so
    // that a failed save keeps the mark. One still arriving while the state is taken goes into
    // the file, so it marks nothing.
    manager.valueTreeState.copyState();
    bool saved = false;
    {
        const juce::ScopedValueSetter<bool> saving(isLoadingPreset, true);
        saved = manager.savePresetInternal(file, this);
    }
    if (saved)
        refreshMenu(file);
}

void PresetBox::deletePreset()
{
    const auto file = manager.presetFiles[getSelectedItemIndex()];
    if (!file.existsAsFile() || !file.deleteFile())
        return;

    presetModifiedValue = false;
    currentPresetValue = juce::String();
    refreshMenu();
    setSelectedId(0, juce::sendNotificationSync);
}

void PresetBox::previousPreset()
{
    auto index = getSelectedItemIndex();
    if (index <= 0)
        index = getNumItems();

    setSelectedId(getItemId(index - 1), juce::sendNotificationAsync);
}

void PresetBox::nextPreset()
{
    const auto numItems = getNumItems();
    if (numItems == 0)
        return;

    setSelectedId(getItemId((getSelectedItemIndex() + 1) % numItems), juce::sendNotificationAsync);
}

//==============================================================================
void PresetBox::valueTreePropertyChanged(juce::ValueTree&, const juce::Identifier& property)
{
    if (isLoadingPreset || property == manager.presetModifiedId || property == manager.currentPresetId)
        return;

    auto& state = manager.valueTreeState.state;
    if (!(bool)state.getProperty(manager.presetModifiedId, false))
        state.setProperty(manager.presetModifiedId, true, nullptr);
}

void PresetBox::valueTreeRedirected(juce::ValueTree&)
{
    // A host restore replaces the tree; the mark and the name must follow the new one. The values
    // are read on the message thread, so they are rebound there too.
    if (juce::MessageManager::existsAndIsCurrentThread())
        updateValueRefs();
    else
        rebinder.triggerAsyncUpdate();
}
