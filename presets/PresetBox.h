#pragma once

#include "presets/ProcessorPresetManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

/** The preset drop-down: lists the preset folder with its sub-folders as sub-menus, loads the
    preset the user picks, and shows the current preset's name, marked with "*" once the state
    has changed since that preset was loaded or saved. The editor's four preset buttons call
    savePreset, deletePreset, previousPreset and nextPreset. */
class PresetBox : public juce::ComboBox, private juce::ValueTree::Listener
{
  public:
    /** Lists the manager's preset folder; the manager must outlive the box. */
    explicit PresetBox(ProcessorPresetManager& manager);
    ~PresetBox() override;

    /** Rebuilds the menu from the preset folder and shows the current preset, with "*" when it
        is marked modified. */
    void refreshMenu();

    /** Adds the presets found under the folder to the menu and to the manager's file list: each
        real folder once, however many links lead to it, and within the bounds below. */
    void populateMenu(juce::PopupMenu& menu, const juce::File& folder);

    /** How deep the menu follows sub-folders, and how many folder entries it reads at most; far
        beyond a real preset library, they bound the walk of a folder tree made to be endless. */
    static constexpr int maxFolderDepth = 32;
    static constexpr int maxFolderEntries = 20000;

    /** Binds the two preset values to the properties of the current state tree; the caller holds
        the manager's state lock. */
    void updateValueRefs();

    //==============================================================================
    /** Saves the state to a file the user chooses and lists it. */
    void savePreset();

    /** Deletes the selected preset's file and clears the current preset. */
    void deletePreset();

    /** Selects, and so loads, the preset before the selected one; from the first, the last. */
    void previousPreset();

    /** Selects, and so loads, the preset after the selected one; from the last, the first. */
    void nextPreset();

    //==============================================================================
    ProcessorPresetManager& manager;

  private:
    struct FolderWalk;

    void loadSelectedPreset();
    void addFolder(juce::PopupMenu& menu, const juce::File& folder, FolderWalk& walk, int depth);
    void showCurrentPreset();

    void valueTreePropertyChanged(juce::ValueTree&, const juce::Identifier& property) override;
    void valueTreeRedirected(juce::ValueTree&) override;

    /** Rebinds the values on the message thread after a restore made on another thread. */
    class Rebinder : public juce::AsyncUpdater
    {
      public:
        explicit Rebinder(PresetBox& boxToRebind) : box(boxToRebind) {}
        void handleAsyncUpdate() override
        {
            const juce::ScopedLock lock(box.manager.stateLock);
            box.updateValueRefs();
        }

      private:
        PresetBox& box;
    };

    /** True while the box loads or saves a preset: the changes that brings mark nothing. Read on
        the host's thread too, when it saves or restores a state while the editor is open. */
    std::atomic<bool> isLoadingPreset{false};
    int nextItemId = 1;
    const juce::File presetFolder;
    const juce::String fileExtension;

  public:
    juce::Value presetModifiedValue;
    juce::Value currentPresetValue;

  private:
    /** The file the box last loaded or saved: the current preset is shown by it, not by the
        first item of its name, while it carries the current name. */
    juce::File currentPresetFile;
    Rebinder rebinder{*this};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetBox)
};
