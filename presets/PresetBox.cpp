#include "PresetBox.h"

#include "processor/PluginProcessor.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace
{
juce::String canonicalPath(const juce::File& folder)
{
    std::error_code error;
    const auto path = std::filesystem::canonical(folder.getFullPathName().toStdString(), error);
    return error ? folder.getFullPathName() : juce::String(path.string());
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
void PresetBox::refreshMenu()
{
    manager.presetFiles.clearQuick();
    clear(juce::sendNotificationAsync);
    populateMenu(*getRootMenu(), presetFolder);
    nextItemId = 1;

    setText(currentPresetValue.toString(), juce::dontSendNotification);
    if ((bool)presetModifiedValue.getValue())
        setText(getItemText(getSelectedItemIndex()) + "*", juce::dontSendNotification);
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
            presets.add(file);
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

    // The processor takes the size as an int.
    juce::MemoryBlock bytes;
    if (!file.existsAsFile() || file.getSize() > std::numeric_limits<int>::max() ||
        !file.loadFileAsData(bytes))
        return;

    // The manager belongs to our processor. A refused file changes nothing, so the box shows the
    // current preset again.
    if (!static_cast<ZiruzozodAudioProcessor&>(manager.processor)
             .restoreState(bytes.getData(), (int)bytes.getSize()))
    {
        const bool modified = presetModifiedValue.getValue();
        setText(currentPresetValue.toString() + (modified ? "*" : ""), juce::dontSendNotification);
        return;
    }
    updateValueRefs();
}

void PresetBox::savePreset()
{
    if (manager.savePresetInternal({}, this))
        refreshMenu();
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
    // A host restore replaces the tree; the mark and the name must follow the new one.
    updateValueRefs();
}
