#pragma once

#include "presets/ProcessorPresetManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

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

    /** Rebuilds the menu from the preset folder and shows the current preset's name, with "*"
        when it is marked modified. Given the current preset's file, selects that file's item, or
        none when it is not listed, rather than the first item that carries the name. */
    void refreshMenu(const juce::File& currentPresetFile = {});

    /** Adds the presets found under the folder to the menu and to the manager's file list. */
    void populateMenu(juce::PopupMenu& menu, const juce::File& folder);

    /** Binds the two preset values to the properties of the current state tree. */
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
    void loadSelectedPreset();
    void addFolder(juce::PopupMenu& menu, const juce::File& folder, juce::StringArray& foldersOnPath);
    void showFile(const juce::File& file);

    void valueTreePropertyChanged(juce::ValueTree&, const juce::Identifier& property) override;
    void valueTreeRedirected(juce::ValueTree&) override;

    /** Rebinds the values on the message thread after a restore made on another thread. */
    class Rebinder : public juce::AsyncUpdater
    {
      public:
        explicit Rebinder(PresetBox& boxToRebind) : box(boxToRebind) {}
        void handleAsyncUpdate() override { box.updateValueRefs(); }

      private:
        PresetBox& box;
    };

    /** True while the box loads or saves a preset: the changes that brings mark nothing. */
    bool isLoadingPreset = false;
    int nextItemId = 1;
    const juce::File presetFolder;
    const juce::String fileExtension;

  public:
    juce::Value presetModifiedValue;
    juce::Value currentPresetValue;

  private:
    Rebinder rebinder{*this};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetBox)
};
