#include "PresetChildProcess.h"
#include "PresetTestSupport.h"
#include "presets/PresetBox.h"
#include "processor/ParameterIds.h"
#include "processor/StateBytesCheck.h"

#include <thread>

#include <sys/stat.h>

namespace
{
/** The menu as text: items as name#id, sub-menus as title[...], disabled sub-menus as title![...]. */
juce::String describe(const juce::PopupMenu& menu)
{
    juce::StringArray parts;
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
    {
        const auto& item = it.getItem();
        if (item.subMenu != nullptr)
            parts.add(item.text + (item.isEnabled ? "[" : "![") + describe(*item.subMenu) + "]");
        else
            parts.add(item.text + "#" + juce::String(item.itemID));
    }
    return parts.joinIntoString(" ");
}

class PresetBoxTest : public PresetTest
{
  protected:
    void SetUp() override
    {
        PresetTest::SetUp();
        makeProcessor();
        presetFolder().getChildFile("Default.rcp").deleteFile();
    }

    PresetBox& makeBox()
    {
        box = std::make_unique<PresetBox>(manager());
        return *box;
    }

    /** The bytes of the current state renamed, unmodified, with some parameter values changed. */
    juce::MemoryBlock presetBytes(const juce::String& name, std::map<juce::String, double> values = {})
    {
        auto tree = state().createCopy();
        tree.setProperty("Current_Selected_Preset", name, nullptr);
        tree.setProperty("Preset_Has_Been_Modified", false, nullptr);
        for (const auto& [id, value] : values)
            tree.getChildWithProperty("id", id).setProperty("value", value, nullptr);
        return encode(tree);
    }

    /** Makes a preset file (or, for a path ending in "/", a folder) below the preset folder. */
    void makeEntries(const juce::StringArray& paths)
    {
        for (const auto& path : paths)
        {
            if (path.endsWith("/"))
                presetFolder().getChildFile(path).createDirectory();
            else
                writeFile(presetFolder().getChildFile(path),
                          presetBytes(presetFolder().getChildFile(path).getFileNameWithoutExtension()));
        }
    }

    void select(const juce::String& text, juce::NotificationType notification = juce::sendNotificationSync)
    {
        for (int i = 0; i < box->getNumItems(); ++i)
            if (box->getItemText(i) == text)
                return box->setSelectedId(box->getItemId(i), notification);
        FAIL() << "no item " << text;
    }

    juce::StringArray listedFiles()
    {
        juce::StringArray paths;
        for (const auto& file : manager().presetFiles)
            paths.add(file.getRelativePathFrom(presetFolder()));
        return paths;
    }

    float parameter(const char* id) { return processor->apvts->getRawParameterValue(id)->load(); }

    /** Delivers the box's queued change notifications. */
    static void deliverMessages() { juce::MessageManager::getInstance()->runDispatchLoopUntil(20); }

    std::unique_ptr<PresetBox> box;
};

TEST_F(PresetBoxTest, TheMenuListsSubFoldersFirstThenThePresetsSorted)
{
    struct Case
    {
        juce::StringArray entries;
        juce::String menu;
        juce::StringArray files;
    };
    const Case cases[] = {
        {{"z.rcp", "B/y.rcp", "A/x.rcp"}, "A[x#1] B[y#2] z#3", {"A/x.rcp", "B/y.rcp", "z.rcp"}},
        {{"b.rcp", "A.rcp", "c.RCP"}, "A#1 b#2 c#3", {"A.rcp", "b.rcp", "c.RCP"}},
        {{"Bank.rcp/inner.rcp", "a.rcp"}, "a#1 Bank#2", {"a.rcp", "Bank.rcp"}},
        {{"Empty/", "p.rcp", "notes.txt", "Deep/Er/q.rcp"},
         "Deep[Er[q#1]] Empty![] p#2",
         {"Deep/Er/q.rcp", "p.rcp"}},
        // A hidden preset is listed; what a save cut short left behind is not.
        {{".Dark.rcp", ".Crunch_temp5f3a9c01.rcp", ".a_temp7.rcp", ".Crunch.rcp.saving", "a.rcp"},
         ".Dark#1 a#2",
         {".Dark.rcp", "a.rcp"}},
        {{}, "", {}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.menu);
        presetFolder().deleteRecursively();
        presetFolder().createDirectory();
        makeEntries(c.entries);

        makeBox();
        EXPECT_EQ(describe(*box->getRootMenu()), c.menu);
        EXPECT_EQ(listedFiles(), c.files);
    }

    EXPECT_EQ(box->getTextWhenNothingSelected(), "No Preset Selected");
    EXPECT_EQ(box->getTextWhenNoChoicesAvailable(), "No Presets In Directory");
}

TEST_F(PresetBoxTest, EachRealFolderIsWalkedOnceAndTheWalkIsBounded)
{
    const auto outside = home.path().getChildFile("Outside");
    const auto link = [](const juce::File& target, const juce::File& at)
    {
        at.getParentDirectory().createDirectory();
        return target.createSymbolicLink(at, true);
    };
    // Presets named after their level, down a chain of folders; each folder leads to the next
    // through the given links.
    const auto chain = [&](int levels, const juce::StringArray& links)
    {
        juce::StringArray listed;
        juce::String path;
        auto from = presetFolder();
        for (int level = 1; level <= levels; ++level)
        {
            const auto folder = outside.getChildFile("L" + juce::String(level));
            for (const auto& name : links)
                if (!link(folder, from.getChildFile(name)))
                    return juce::StringArray{"no link"};
            const auto preset = folder.getChildFile("p" + juce::String(level) + ".rcp");
            writeFile(preset, presetBytes(preset.getFileNameWithoutExtension()));
            path += links[0] + "/";
            if (level <= PresetBox::maxFolderDepth)
                listed.insert(0, path + "p" + juce::String(level) + ".rcp"); // the deepest first
            from = folder;
        }
        return listed;
    };

    const struct
    {
        const char* what;
        std::function<juce::StringArray()> make; // makes the folders, gives the files then listed
    } cases[] = {
        {"links back up the path, and to a folder walked already",
         [&]
         {
             makeEntries({"A/x.rcp"});
             const auto a = presetFolder().getChildFile("A");
             return link(presetFolder(), a.getChildFile("up")) && link(a, a.getChildFile("self")) &&
                            link(a, presetFolder().getChildFile("B"))
                        ? juce::StringArray{"A/x.rcp"}
                        : juce::StringArray{"no link"};
         }},
        {"a library with a shared bank linked in twice",
         [&]
         {
             makeEntries({"Bank/a.rcp"});
             const auto shared = outside.getChildFile("Shared");
             writeFile(shared.getChildFile("s.rcp"), presetBytes("s"));
             return link(shared, presetFolder().getChildFile("Bank/Shared")) &&
                            link(shared, presetFolder().getChildFile("Live"))
                        ? juce::StringArray{"Bank/Shared/s.rcp", "Bank/a.rcp"}
                        : juce::StringArray{"no link"};
         }},
        // Walked per path, 2^38 folders.
        {"38 levels each holding two links to the next",
         [&] {
             return chain(38, {"a", "b"});
         }},
        {"a chain deeper than the walk goes", [&] { return chain(PresetBox::maxFolderDepth + 4, {"d"}); }},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        presetFolder().deleteRecursively();
        outside.deleteRecursively();
        presetFolder().createDirectory();
        const auto listed = c.make();

        EXPECT_TRUE(runInBoundedChild({},
                                      [&]
                                      {
                                          makeBox();
                                          EXPECT_EQ(listedFiles(), listed);
                                      }));
    }
}

TEST_F(PresetBoxTest, TheMenuReadsNoMoreThanItsBoundOfEntries)
{
    const int presets = PresetBox::maxFolderEntries + 10;
    for (int i = 0; i < presets; ++i)
        ASSERT_TRUE(presetFolder().getChildFile("p" + juce::String(i) + ".rcp").create().wasOk());

    EXPECT_TRUE(runInBoundedChild({},
                                  [&]
                                  {
                                      makeBox();
                                      EXPECT_GT(manager().presetFiles.size(), 0);
                                      EXPECT_LE(manager().presetFiles.size(), PresetBox::maxFolderEntries);
                                  }));
}

TEST_F(PresetBoxTest, ChoosingAPresetLoadsItsParametersNameAndFlag)
{
    // 50000 is beyond the low-pass range: the load itself writes the clamped value into the tree.
    writeFile(presetFolder().getChildFile("Warm.rcp"),
              presetBytes("Warm", {{ParameterIds::dryMix, 50.0}, {ParameterIds::lowPass, 50000.0}}));
    setPresetProperties("Other", true);
    makeBox();

    select("Warm");

    EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 50.0f);
    EXPECT_FLOAT_EQ(parameter(ParameterIds::lowPass), 20000.0f);
    EXPECT_DOUBLE_EQ((double)state().getChildWithProperty("id", ParameterIds::lowPass)["value"], 20000.0);
    EXPECT_EQ(presetName(), "Warm");
    EXPECT_EQ(modifiedFlag(), juce::var(false)) << "changes made by the load itself mark nothing";
    EXPECT_EQ(box->currentPresetValue.toString(), "Warm");
    EXPECT_EQ(box->getText(), "Warm");
}

TEST_F(PresetBoxTest, AChangeMarksThePresetFromTheNextRefresh)
{
    makeEntries({"a.rcp", "b.rcp", "c.rcp"});
    makeBox();
    select("b");

    changeParameterInTree(ParameterIds::drive, 0.5);
    EXPECT_EQ(modifiedFlag(), juce::var(true));
    EXPECT_EQ(box->getText(), "b");

    box->refreshMenu();
    EXPECT_EQ(box->getText(), "b*");
    EXPECT_EQ(box->getSelectedItemIndex(), -1);

    box->nextPreset();
    deliverMessages();
    EXPECT_EQ(box->getText(), "a");
    EXPECT_EQ(presetName(), "a");
    EXPECT_EQ(modifiedFlag(), juce::var(false));
}

TEST_F(PresetBoxTest, PreviousAndNextStepThroughTheWholeMenuAndWrapAround)
{
    makeEntries({"A/x.rcp", "B/y.rcp", "z.rcp"});
    makeBox();

    struct Case
    {
        int startId; // 0: nothing selected
        bool next;
        juce::String expected;
    };
    const Case cases[] = {
        {0, true, "x"},  {1, true, "y"},  {2, true, "z"},  {3, true, "x"},
        {0, false, "z"}, {1, false, "z"}, {3, false, "y"}, {2, false, "x"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String(c.startId) + (c.next ? " next" : " previous"));
        box->setSelectedId(c.startId, juce::dontSendNotification);
        c.next ? box->nextPreset() : box->previousPreset();
        deliverMessages();
        EXPECT_EQ(box->getText(), c.expected);
        EXPECT_EQ(presetName(), c.expected) << "the step loads the preset";
    }
}

TEST_F(PresetBoxTest, WithOnePresetPreviousAndNextKeepItWithoutReloading)
{
    makeEntries({"only.rcp"});
    makeBox();
    select("only");
    changeParameterInTree(ParameterIds::dryMix, 10.0);

    box->nextPreset();
    box->previousPreset();
    deliverMessages();

    EXPECT_EQ(box->getText(), "only");
    EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 10.0f);
}

TEST_F(PresetBoxTest, WithNoPresetsNextDoesNothingAndPreviousClearsTheName)
{
    for (const bool folderExists : {true, false})
    {
        SCOPED_TRACE(folderExists ? "empty folder" : "missing folder");
        if (!folderExists)
            presetFolder().deleteRecursively();
        setPresetProperties("Gone", false);
        makeBox();
        EXPECT_EQ(box->getNumItems(), 0);
        EXPECT_EQ(box->getText(), "Gone");

        box->nextPreset();
        EXPECT_EQ(box->getText(), "Gone");
        box->previousPreset();
        deliverMessages();
        EXPECT_EQ(box->getText(), "");
        EXPECT_EQ(presetName(), "Gone");
    }
}

TEST_F(PresetBoxTest, AMissingPresetFileIsAskedForAndAFolderIsNotRead)
{
    makeEntries({"a.rcp", "b.rcp", "Bank.rcp/"});
    makeBox();
    presetFolder().getChildFile("b.rcp").deleteFile();
    select("a");

    select("Bank");
    EXPECT_TRUE(chooser->questions.empty());
    EXPECT_EQ(presetName(), "a");

    select("b");
    ASSERT_EQ(chooser->questions.size(), 1u);
    EXPECT_EQ(chooser->questions[0].title, "Choose preset...");
    EXPECT_EQ(chooser->questions[0].start, presetFolder());
    EXPECT_EQ(chooser->questions[0].pattern, "*.rcp");
    EXPECT_EQ(presetName(), "a") << "a cancelled dialog loads nothing";

    chooser->answer = writeFile(home.path().getChildFile("Other.rcp"), presetBytes("Other"));
    select("a");
    select("b");
    EXPECT_EQ(presetName(), "Other");
}

TEST_F(PresetBoxTest, BytesThatAreNoStateChangeNothing)
{
    writeFile(presetFolder().getChildFile("junk.rcp"), juce::MemoryBlock(1, true));
    makeEntries({"a.rcp"});
    makeBox();
    select("a");
    const auto before = stateBytes();

    select("junk");

    EXPECT_EQ(stateBytes(), before);
}

TEST_F(PresetBoxTest, OnlyARegularFileIsListedAndRead)
{
    const auto fifo = [](const juce::File& at)
    { return mkfifo(at.getFullPathName().toRawUTF8(), 0644) == 0; };
    const auto linked = presetFolder().getSiblingFile("Linked target.rcp");
    writeFile(linked, presetBytes("Linked"));
    const struct
    {
        const char* name;
        std::function<bool(const juce::File&)> make;
        bool listed;
        const char* loaded; // the preset name after choosing it
    } cases[] = {
        {"Zero.rcp",
         [](const juce::File& at) { return juce::File("/dev/zero").createSymbolicLink(at, true); }, false,
         "Before"},
        {"Fifo.rcp", fifo, false, "Before"},
        {"Linked.rcp", [&](const juce::File& at) { return linked.createSymbolicLink(at, true); }, true,
         "Linked"},
        {"Huge.rcp",
         [](const juce::File& at) {
             return at.replaceWithText(juce::String::repeatedString("x", (int)StateBytesCheck::maxBytes + 1));
         },
         true, "Before"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        presetFolder().deleteRecursively();
        makeEntries({"Gone.rcp"});
        const auto file = presetFolder().getChildFile(c.name);
        ASSERT_TRUE(c.make(file));
        setPresetProperties("Before", false);

        EXPECT_TRUE(runInBoundedChild({},
                                      [&]
                                      {
                                          makeBox();
                                          const auto shown = manager().presetFiles.contains(file);
                                          EXPECT_EQ(shown, c.listed);
                                          if (shown)
                                              select(file.getFileNameWithoutExtension());
                                          else
                                          {
                                              // Chosen in the dialog in place of a preset gone since.
                                              presetFolder().getChildFile("Gone.rcp").deleteFile();
                                              chooser->answer = file;
                                              select("Gone");
                                          }
                                          EXPECT_EQ(presetName(), c.loaded);
                                      }));
    }

    // Listed as a file, a FIFO by the time it is chosen.
    presetFolder().deleteRecursively();
    makeEntries({"a.rcp", "Swapped.rcp"});
    setPresetProperties("Before", false);
    EXPECT_TRUE(runInBoundedChild({},
                                  [&]
                                  {
                                      makeBox();
                                      const auto swapped = presetFolder().getChildFile("Swapped.rcp");
                                      ASSERT_TRUE(swapped.deleteFile() && fifo(swapped));
                                      select("Swapped");
                                      EXPECT_EQ(presetName(), "Before");
                                  }));
}

TEST_F(PresetBoxTest, AfterARefusedFileDeleteRemovesTheCurrentPresetNotItsNamesake)
{
    // Sub-folders come first: Bank[Crunch#1] Crunch#2 Junk#3.
    makeEntries({"Crunch.rcp", "Bank/Crunch.rcp"});
    writeFile(presetFolder().getChildFile("Junk.rcp"));
    makeBox();
    box->setSelectedId(2, juce::sendNotificationSync);
    ASSERT_EQ(presetName(), "Crunch");

    select("Junk");
    EXPECT_EQ(box->getSelectedItemIndex(), 1);
    EXPECT_EQ(box->getText(), "Crunch");
    box->refreshMenu();
    EXPECT_EQ(box->getSelectedItemIndex(), 1);

    box->deletePreset();
    EXPECT_FALSE(presetFolder().getChildFile("Crunch.rcp").exists());
    EXPECT_EQ(listedFiles(), (juce::StringArray{"Bank/Crunch.rcp", "Junk.rcp"}));
}

TEST_F(PresetBoxTest, DeleteRemovesTheSelectedPresetOnly)
{
    makeEntries({"a.rcp", "b.rcp", "Locked/c.rcp"});
    makeBox();

    box->deletePreset();
    EXPECT_EQ(listedFiles(), (juce::StringArray{"Locked/c.rcp", "a.rcp", "b.rcp"}))
        << "nothing selected, nothing deleted";

    select("a");
    setPresetProperties("a", true);
    box->deletePreset();

    EXPECT_FALSE(presetFolder().getChildFile("a.rcp").exists());
    EXPECT_TRUE(presetFolder().getChildFile("b.rcp").existsAsFile());
    EXPECT_EQ(describe(*box->getRootMenu()), "Locked[c#1] b#2");
    EXPECT_EQ(presetName(), "");
    EXPECT_EQ(modifiedFlag(), juce::var(false));
    EXPECT_EQ(box->getSelectedItemIndex(), -1);
    EXPECT_EQ(box->getText(), "");

    // A file the user may not remove stays, and stays listed; the current preset is cleared all the same.
    EXPECT_TRUE(runInBoundedChild(asUserWithHome(home.path()),
                                  [&]
                                  {
                                      const auto locked = presetFolder().getChildFile("Locked");
                                      ASSERT_TRUE(locked.setReadOnly(true, false));
                                      select("c");
                                      setPresetProperties("c", true);
                                      box->deletePreset();
                                      locked.setReadOnly(false, false);

                                      EXPECT_TRUE(locked.getChildFile("c.rcp").existsAsFile());
                                      EXPECT_EQ(describe(*box->getRootMenu()), "Locked[c#1] b#2");
                                      EXPECT_EQ(presetName(), "");
                                      EXPECT_EQ(modifiedFlag(), juce::var(false));
                                      EXPECT_EQ(box->getSelectedItemIndex(), -1);
                                  }));
}

TEST_F(PresetBoxTest, SaveListsAndSelectsTheNewPresetAndACancelChangesNothing)
{
    makeEntries({"a.rcp"});
    makeBox();
    select("a");
    changeParameterInTree(ParameterIds::dryMix, 42.0);

    chooser->answer = juce::File();
    box->savePreset();
    deliverMessages();
    EXPECT_EQ(describe(*box->getRootMenu()), "a#1");
    EXPECT_EQ(presetName(), "a");
    EXPECT_EQ(modifiedFlag(), juce::var(true));
    EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 42.0f);

    chooser->answer = presetFolder().getChildFile("Fresh.rcp");
    box->savePreset();
    EXPECT_EQ(describe(*box->getRootMenu()), "a#1 Fresh#2");
    EXPECT_EQ(box->getText(), "Fresh");
    EXPECT_EQ(box->getSelectedItemIndex(), 1);

    deliverMessages(); // nothing is loaded after the save
    EXPECT_EQ(presetName(), "Fresh");
    EXPECT_EQ(modifiedFlag(), juce::var(false));
    EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 42.0f);
}

TEST_F(PresetBoxTest, ASaveSelectsTheFileJustWrittenAndLoadsNoNamesake)
{
    // Sub-folders come first, so Bank/Crunch is the first item named "Crunch".
    writeFile(presetFolder().getChildFile("Bank/Crunch.rcp"),
              presetBytes("Crunch", {{ParameterIds::dryMix, 10.0}}));
    const auto elsewhere = home.path().getChildFile("Elsewhere");
    elsewhere.createDirectory();
    makeBox();

    const struct
    {
        const char* what;
        juce::File target;
        int selectedIndex;
    } cases[] = {{"top level", presetFolder().getChildFile("Crunch.rcp"), 1},
                 {"outside the menu", elsewhere.getChildFile("Crunch.rcp"), -1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        changeParameterInTree(ParameterIds::dryMix, 42.0);
        chooser->answer = c.target;
        box->savePreset();
        deliverMessages();

        EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 42.0f);
        EXPECT_DOUBLE_EQ(
            (double)decode(bytesOf(c.target)).getChildWithProperty("id", ParameterIds::dryMix)["value"],
            42.0);
        EXPECT_EQ(box->getSelectedItemIndex(), c.selectedIndex);
        EXPECT_EQ(box->getText(), "Crunch");
        EXPECT_EQ(presetName(), "Crunch");
    }

    // Nothing selected, so choosing the namesake loads it.
    box->setSelectedId(box->getItemId(0), juce::sendNotificationSync);
    EXPECT_FLOAT_EQ(parameter(ParameterIds::dryMix), 10.0f);
}

TEST_F(PresetBoxTest, ASavedPresetHoldsAValueNotYetInTheTreeAndNoMark)
{
    makeEntries({"Crunch.rcp"});
    makeBox();

    // As host automation does: the parameter moves, the tree hears of it at the next flush.
    const auto automate = [this](float value)
    {
        auto* dryMix = processor->apvts->getParameter(ParameterIds::dryMix);
        dryMix->setValueNotifyingHost(dryMix->convertTo0to1(value));
    };
    // Moves the parameter once the save has cleared the mark, just before it takes the state.
    struct AutomationDuringSave : juce::ValueTree::Listener
    {
        void valueTreePropertyChanged(juce::ValueTree& tree, const juce::Identifier& property) override
        {
            if (move && property.toString() == "Preset_Has_Been_Modified" && !(bool)tree[property])
                std::exchange(move, nullptr)();
        }
        std::function<void()> move;
    } duringSave;
    state().addListener(&duringSave);

    const auto file = presetFolder().getChildFile("Crunch.rcp");
    for (const bool whileSaving : {false, true})
    {
        SCOPED_TRACE(whileSaving ? "automation while the state is taken" : "automation before the save");
        select("Crunch");
        changeParameterInTree(ParameterIds::drive, whileSaving ? 0.5 : 0.4); // marked, so the save clears it
        const float value = whileSaving ? 43.0f : 42.0f;
        if (whileSaving)
            duringSave.move = [&] { automate(value); };
        else
            automate(value);
        chooser->answer = file;
        box->savePreset();

        const auto saved = decode(bytesOf(file));
        EXPECT_EQ(saved["Preset_Has_Been_Modified"], juce::var(false));
        EXPECT_DOUBLE_EQ((double)saved.getChildWithProperty("id", ParameterIds::dryMix)["value"], value);
        EXPECT_EQ(modifiedFlag(), juce::var(false));
        box->refreshMenu();
        EXPECT_EQ(box->getText(), "Crunch");
    }
    state().removeListener(&duringSave);

    // A save that fails keeps the mark of the change it could not store.
    automate(30.0f);
    chooser->answer = home.path().getChildFile("missing/Other.rcp");
    box->savePreset();
    EXPECT_EQ(presetName(), "Crunch");
    EXPECT_EQ(modifiedFlag(), juce::var(true));
}

TEST_F(PresetBoxTest, ATypedNameGetsTheExtensionAndTheOverwriteQuestionIsAboutIt)
{
    makeEntries({"Old.rcp", "Bank.rcp/"});
    const auto old = presetFolder().getChildFile("Old.rcp");
    makeBox();

    const struct
    {
        const char* typed;
        bool overwrite;
        const char* written; // nullptr: nothing written
        const char* asked;   // nullptr: no question
    } cases[] = {
        {"My Tone", true, "My Tone.rcp", nullptr}, {"Loud.RCP", true, "Loud.RCP", nullptr},
        {"Old", false, nullptr, "Old.rcp"},        {"Old", true, "Old.rcp", "Old.rcp"},
        {"Bank", true, nullptr, nullptr},
    };
    double dryMix = 40.0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String(c.typed) + (c.overwrite ? " replacing" : " keeping"));
        chooser->overwriteQuestions.clear();
        chooser->overwriteAnswer = c.overwrite;
        chooser->answer = presetFolder().getChildFile(c.typed);
        changeParameterInTree(ParameterIds::dryMix, ++dryMix);
        const auto oldBytes = bytesOf(old);
        box->savePreset();

        if (c.asked != nullptr)
            EXPECT_EQ(chooser->overwriteQuestions,
                      juce::Array<juce::File>{presetFolder().getChildFile(c.asked)});
        else
            EXPECT_TRUE(chooser->overwriteQuestions.isEmpty());

        if (c.written == nullptr)
        {
            EXPECT_EQ(bytesOf(old), oldBytes);
            EXPECT_EQ(modifiedFlag(), juce::var(true));
            continue;
        }
        const auto file = presetFolder().getChildFile(c.written);
        EXPECT_EQ(bytesOf(file), stateBytes());
        EXPECT_EQ(manager().presetFiles[box->getSelectedItemIndex()], file) << "listed and selected";
        EXPECT_EQ(box->getText(), file.getFileNameWithoutExtension());
    }
    EXPECT_FALSE(presetFolder().getChildFile("My Tone").exists());
}

TEST_F(PresetBoxTest, ARestoreOnAnotherThreadRebindsTheValuesOnTheMessageThread)
{
    makeEntries({"a.rcp", "Host.rcp"});
    makeBox();
    select("a");

    struct ThreadCheck : juce::Value::Listener
    {
        void valueChanged(juce::Value&) override
        {
            ++changes;
            if (!juce::MessageManager::existsAndIsCurrentThread())
                ++changesOffTheMessageThread;
        }
        std::atomic<int> changes{0}, changesOffTheMessageThread{0};
    } check;
    box->currentPresetValue.addListener(&check);
    box->presetModifiedValue.addListener(&check);

    auto restored = decode(presetBytes("Host"));
    restored.setProperty("Preset_Has_Been_Modified", true, nullptr);
    const auto bytes = encode(restored);
    std::atomic<bool> done{false};
    std::thread host(
        [&]
        {
            processor->setStateInformation(bytes.getData(), (int)bytes.getSize());
            done = true;
        });
    while (!done)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    host.join();
    deliverMessages();

    EXPECT_GT(check.changes.load(), 0);
    EXPECT_EQ(check.changesOffTheMessageThread.load(), 0);
    EXPECT_EQ(box->currentPresetValue.toString(), "Host");
    EXPECT_EQ(box->presetModifiedValue.getValue(), juce::var(true));
    box->refreshMenu();
    EXPECT_EQ(box->getText(), "Host*");
    box->currentPresetValue.removeListener(&check);
    box->presetModifiedValue.removeListener(&check);
}

TEST_F(PresetBoxTest, AHostRestoreRebindsTheNameAndTheMark)
{
    makeEntries({"a.rcp", "Host.rcp"});
    makeBox();
    select("a");

    auto restored = decode(presetBytes("Host"));
    restored.setProperty("Preset_Has_Been_Modified", true, nullptr);
    const auto bytes = encode(restored);
    processor->setStateInformation(bytes.getData(), (int)bytes.getSize());

    EXPECT_EQ(box->currentPresetValue.toString(), "Host");
    EXPECT_EQ(box->presetModifiedValue.getValue(), juce::var(true));
    box->refreshMenu();
    EXPECT_EQ(box->getText(), "Host*");

    box->nextPreset();
    deliverMessages();
    EXPECT_EQ(presetName(), "a");
}
} // namespace
