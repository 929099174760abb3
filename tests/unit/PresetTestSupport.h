#pragma once

#include "PresetScopedHome.h"
#include "presets/PresetFileChooser.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

namespace juce
{
/** Lets a failed check show the strings. */
inline void PrintTo(const StringArray& strings, std::ostream* out)
{
    *out << "{" << strings.joinIntoString(", ").quoted() << "}";
}
} // namespace juce

/** Answers the preset dialogs with a file chosen by the test (an empty file cancels), and the
    overwrite question as the test says, and remembers what it was asked. */
class FakeFileChooser : public PresetFileChooser
{
  public:
    struct Question
    {
        juce::String title;
        juce::File start;
        juce::String pattern;
    };

    juce::File chooseFileToSave(const juce::String& title, const juce::File& offered,
                                const juce::String& pattern) override
    {
        questions.push_back({title, offered, pattern});
        return answer;
    }

    juce::File chooseFileToOpen(const juce::String& title, const juce::File& folder,
                                const juce::String& pattern) override
    {
        questions.push_back({title, folder, pattern});
        return answer;
    }

    bool confirmOverwrite(const juce::File& file) override
    {
        overwriteQuestions.add(file);
        return overwriteAnswer;
    }

    juce::File answer;
    std::vector<Question> questions;
    bool overwriteAnswer = true;
    juce::Array<juce::File> overwriteQuestions;
};

/** A processor made inside a temporary home, with its dialogs answered by a fake. */
class PresetTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            juce::File::getSpecialLocation(juce::File::userDocumentsDirectory).isAChildOf(home.path()));
    }

    void makeProcessor()
    {
        processor = std::make_unique<ZiruzozodAudioProcessor>();
        auto fake = std::make_unique<FakeFileChooser>();
        chooser = fake.get();
        manager().fileChooser = std::move(fake);
    }

    ProcessorPresetManager& manager() { return *processor->presetManager; }
    juce::ValueTree& state() { return processor->apvts->state; }
    juce::File presetFolder() const
    {
        return home.path().getChildFile("Documents/Calvorra/Presets/Brimwell");
    }

    juce::MemoryBlock stateBytes()
    {
        juce::MemoryBlock bytes;
        processor->getStateInformation(bytes);
        return bytes;
    }

    juce::String presetName() { return state()["Current_Selected_Preset"].toString(); }
    juce::var modifiedFlag() { return state()["Preset_Has_Been_Modified"]; }

    void setPresetProperties(const juce::String& name, bool modified)
    {
        state().setProperty("Current_Selected_Preset", name, nullptr);
        state().setProperty("Preset_Has_Been_Modified", modified, nullptr);
    }

    /** Changes a parameter the way the framework's periodic flush does: in the state tree. */
    void changeParameterInTree(const juce::String& id, double value)
    {
        state().getChildWithProperty("id", id).setProperty("value", value, nullptr);
    }

    static juce::MemoryBlock bytesOf(const juce::File& file)
    {
        juce::MemoryBlock bytes;
        file.loadFileAsData(bytes);
        return bytes;
    }

    static juce::File writeFile(const juce::File& file, const juce::MemoryBlock& bytes)
    {
        file.getParentDirectory().createDirectory();
        file.replaceWithData(bytes.getData(), bytes.getSize());
        return file;
    }

    static juce::File writeFile(const juce::File& file, const juce::String& text = "not a state")
    {
        return writeFile(file, juce::MemoryBlock(text.toRawUTF8(), text.getNumBytesAsUTF8()));
    }

    static juce::ValueTree decode(const juce::MemoryBlock& bytes)
    {
        return juce::ValueTree::readFromData(bytes.getData(), bytes.getSize());
    }

    static juce::MemoryBlock encode(const juce::ValueTree& tree)
    {
        juce::MemoryOutputStream stream;
        tree.writeToStream(stream);
        return stream.getMemoryBlock();
    }

    /** The files left in a folder: a save must leave no temporary file behind. */
    static juce::StringArray fileNamesIn(const juce::File& folder)
    {
        juce::StringArray names;
        for (const auto& entry :
             juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
            names.add(entry.getFile().getFileName());
        names.sort(true);
        return names;
    }

    ScopedTemporaryHome home;
    std::unique_ptr<ZiruzozodAudioProcessor> processor;
    FakeFileChooser* chooser = nullptr;
};
