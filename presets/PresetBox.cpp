#include "PresetBox.h"

#include "processor/StateBytesCheck.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <sys/stat.h>

namespace
{
juce::String canonicalPath(const juce::File& folder)
{
    std::error_code error;
    const auto path = std::filesystem::canonical(folder.getFullPathName().toStdString(), error);
    return error ? folder.getFullPathName() : juce::String(path.string());
}

/** What a path names once links are followed. */
enum class Kind
{
    regularFile,
    folder,
    missing,
    other
};

Kind kindBehindLinks(const juce::File& file)
{
    struct stat info = {};
    if (stat(file.getFullPathName().toRawUTF8(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::missing : Kind::other;
    return S_ISREG(info.st_mode) ? Kind::regularFile : S_ISDIR(info.st_mode) ? Kind::folder : Kind::other;
}

// A device or a FIFO would be read without end, or never open; a missing file or a folder is
// listed as the menu always listed them.
bool isListable(const juce::File& file)
{
    return kindBehindLinks(file) != Kind::other;
}

// Only a regular file is read, and no further than one byte past the largest state the
// processor takes, so that a longer file is refused without being held whole.
bool readPresetFile(const juce::File& file, juce::MemoryBlock& bytes)
{
    if (kindBehindLinks(file) != Kind::regularFile)
        return false;

    juce::FileInputStream stream(file);
    if (!stream.openedOk())
        return false;

    stream.readIntoMemoryBlock(bytes, static_cast<ssize_t>(StateBytesCheck::maxBytes + 1));
    return bytes.getSize() <= StateBytesCheck::maxBytes;
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

/** Sets a flag for as long as it lives, then puts back what it held. */
class ScopedFlag
{
  public:
    explicit ScopedFlag(std::atomic<bool>& flagToSet) : flag(flagToSet), previous(flagToSet.exchange(true)) {}
    ~ScopedFlag() { flag = previous; }

  private:
    std::atomic<bool>& flag;
    const bool previous;

    JUCE_DECLARE_NON_COPYABLE(ScopedFlag)
};
} // namespace

/** What one menu build has walked so far. */
struct PresetBox::FolderWalk
{
    std::set<juce::String> visitedFolders;
    int entriesLeft = maxFolderEntries;
};

PresetBox::PresetBox(ProcessorPresetManager& managerToUse)
    : manager(managerToUse), presetFolder(managerToUse.presetFolder),
      fileExtension(managerToUse.fileExtension)
{
    setTextWhenNothingSelected("No Preset Selected");
    setTextWhenNoChoicesAvailable("No Presets In Directory");
    onChange = [this] { loadSelectedPreset(); };

    {
        const juce::ScopedLock lock(manager.stateLock);
        updateValueRefs();
        manager.valueTreeState.state.addListener(this);
    }
    refreshMenu();
}

PresetBox::~PresetBox()
{
    // The values' sources listen to the tree too; they go inside the lock, with the box's listener.
    const juce::ScopedLock lock(manager.stateLock);
    manager.valueTreeState.state.removeListener(this);
    currentPresetValue.referTo(juce::Value());
    presetModifiedValue.referTo(juce::Value());
}

//==============================================================================
void PresetBox::refreshMenu()
{
    manager.presetFiles.clearQuick();
    // Without a notification: a queued one would load whatever item the refresh selects.
    clear(juce::dontSendNotification);
    populateMenu(*getRootMenu(), presetFolder);
    nextItemId = 1;
    showCurrentPreset();
}

void PresetBox::showCurrentPreset()
{
    const juce::ScopedLock lock(manager.stateLock);
    const auto name = currentPresetValue.toString();
    if (currentPresetFile == juce::File() || currentPresetFile.getFileNameWithoutExtension() != name)
    {
        setText(name, juce::dontSendNotification);
    }
    else if (const auto index = manager.presetFiles.indexOf(currentPresetFile); index >= 0)
    {
        setSelectedId(getItemId(index), juce::dontSendNotification);
    }
    else
    {
        // The framework's setText would select the first item of that name, another file, which
        // the next Delete would remove and a click on could not load.
        setSelectedId(0, juce::dontSendNotification);
        for (auto* child : getChildren())
            if (auto* shownText = dynamic_cast<juce::Label*>(child))
                shownText->setText(name, juce::dontSendNotification);
    }

    if ((bool)presetModifiedValue.getValue())
        setText(getItemText(getSelectedItemIndex()) + "*", juce::dontSendNotification);
}

void PresetBox::populateMenu(juce::PopupMenu& menu, const juce::File& folder)
{
    FolderWalk walk;
    walk.visitedFolders.insert(canonicalPath(folder));
    addFolder(menu, folder, walk, 0);
}

void PresetBox::addFolder(juce::PopupMenu& menu, const juce::File& folder, FolderWalk& walk, int depth)
{
    juce::Array<juce::File> subFolders, presets;
    for (const auto& entry :
         juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
    {
        if (--walk.entriesLeft < 0)
            break;

        const auto& file = entry.getFile();
        if (file.getFileName().endsWithIgnoreCase(fileExtension))
        {
            if (!isLeftoverOfInterruptedSave(file) && isListable(file))
                presets.add(file);
        }
        else if (entry.isDirectory())
            subFolders.add(file);
    }

    sortIgnoringCase(subFolders);
    sortIgnoringCase(presets);

    // Each real folder once: links to one already walked, or back up the path, would repeat it,
    // without end or doubling at each level.
    for (const auto& subFolder : subFolders)
        if (depth < maxFolderDepth && walk.visitedFolders.insert(canonicalPath(subFolder)).second)
        {
            juce::PopupMenu subMenu;
            addFolder(subMenu, subFolder, walk, depth + 1);
            menu.addSubMenu(subFolder.getFileNameWithoutExtension(), subMenu);
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
    const auto index = getSelectedItemIndex();
    if (index < 0)
        return;

    auto file = manager.presetFiles[index];
    if (!file.exists())
        file = manager.fileChooser->chooseFileToOpen("Choose preset...", presetFolder, "*" + fileExtension);

    if (!file.existsAsFile())
        return;

    // A refused file changes nothing, so the box shows the current preset again.
    juce::MemoryBlock bytes;
    if (!readPresetFile(file, bytes))
        return showCurrentPreset();

    // The flag is set only while the lock keeps the host's saves and restores out, so that a
    // change they flush during the dialog or the read still marks the preset.
    const juce::ScopedLock lock(manager.stateLock);
    const ScopedFlag loading(isLoadingPreset);
    if (!manager.restoreState(bytes.getData(), (int)bytes.getSize()))
        return showCurrentPreset();

    // The restore has rebound the values already (valueTreeRedirected).
    currentPresetFile = file;
}

void PresetBox::savePreset()
{
    const auto file = manager.askForFileToSave();
    if (file == juce::File())
        return;

    // Parameter values not yet in the tree go there now and mark the preset like any change, so
    // that a failed save keeps the mark. One still arriving while the state is taken goes into
    // the file, so it marks nothing.
    bool saved = false;
    {
        const juce::ScopedLock lock(manager.stateLock);
        manager.valueTreeState.copyState();
        const ScopedFlag saving(isLoadingPreset);
        saved = manager.savePresetInternal(file, this);
    }
    if (!saved)
        return;

    currentPresetFile = file;
    refreshMenu();
}

void PresetBox::deletePreset()
{
    const auto file = manager.presetFiles[getSelectedItemIndex()];
    if (!file.existsAsFile())
        return;

    // The result is ignored: a file that cannot be removed stays listed, and is no longer the
    // current preset all the same.
    file.deleteFile();
    {
        const juce::ScopedLock lock(manager.stateLock);
        presetModifiedValue = false;
        currentPresetValue = juce::String();
    }
    currentPresetFile = juce::File();
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
    // A restore replaces the tree; the mark and the name must follow the new one. The values are
    // read on the message thread, so a restore made on another thread has them rebound there.
    if (juce::MessageManager::existsAndIsCurrentThread())
        updateValueRefs();
    else
        rebinder.triggerAsyncUpdate();
}
