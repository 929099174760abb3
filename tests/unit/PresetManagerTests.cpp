#include "PresetChildProcess.h"
#include "PresetTestSupport.h"
#include "presets/PresetBox.h"
#include "processor/ParameterIds.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using PresetManager = PresetTest;

TEST_F(PresetManager, FirstUseCreatesTheFolderAndADefaultPresetHoldingTheDefaultState)
{
    ASSERT_FALSE(home.path().getChildFile("Documents").exists());
    makeProcessor();

    const auto defaultPreset = presetFolder().getChildFile("Default.rcp");
    ASSERT_TRUE(defaultPreset.existsAsFile());
    EXPECT_EQ(bytesOf(defaultPreset), stateBytes());
    EXPECT_EQ(fileNamesIn(presetFolder()), juce::StringArray{"Default.rcp"});

    const auto tree = decode(bytesOf(defaultPreset));
    EXPECT_EQ(tree.getType().toString(), "Brimwell");
    EXPECT_EQ(tree["Current_Selected_Preset"].toString(), "Default");
    EXPECT_EQ(tree["Preset_Has_Been_Modified"], juce::var(false));
    EXPECT_EQ(tree.getNumChildren(), 11);
    EXPECT_DOUBLE_EQ((double)tree.getChildWithProperty("id", ParameterIds::dryMix)["value"], 100.0);
    EXPECT_DOUBLE_EQ((double)tree.getChildWithProperty("id", ParameterIds::ultraMode)["value"], 1.0);
}

TEST_F(PresetManager, AnExistingDefaultPresetIsNeverRewritten)
{
    const auto defaultPreset = writeFile(presetFolder().getChildFile("Default.rcp"), "someone's own default");
    makeProcessor();

    EXPECT_EQ(defaultPreset.loadFileAsString(), "someone's own default");
    EXPECT_EQ(presetName(), "Default");
    EXPECT_EQ(modifiedFlag(), juce::var(false));
}

TEST_F(PresetManager, AFolderNamedLikeTheDefaultPresetIsLeftAlone)
{
    const auto folder = presetFolder().getChildFile("Default.rcp");
    ASSERT_TRUE(folder.createDirectory());
    makeProcessor();

    EXPECT_TRUE(folder.isDirectory());
    EXPECT_EQ(fileNamesIn(presetFolder()), juce::StringArray{"Default.rcp"});
    EXPECT_EQ(presetName(), "Default");
}

TEST_F(PresetManager, SavingWritesExactlyTheStateUnderTheFileName)
{
    struct Case
    {
        const char* what;
        juce::String oldContent; // empty: no file yet
    };
    const Case cases[] = {{"new file", {}}, {"longer old file", juce::String::repeatedString("x", 10000)}};

    makeProcessor();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto file = presetFolder().getChildFile("Crunch.rcp");
        file.deleteFile();
        if (c.oldContent.isNotEmpty())
            writeFile(file, c.oldContent);
        setPresetProperties("Elsewhere", true);

        ASSERT_TRUE(manager().savePresetInternal(file, nullptr));

        EXPECT_EQ(presetName(), "Crunch");
        EXPECT_EQ(modifiedFlag(), juce::var(false));
        EXPECT_EQ(bytesOf(file), stateBytes());
        EXPECT_EQ(decode(bytesOf(file))["Current_Selected_Preset"].toString(), "Crunch");
        EXPECT_EQ(fileNamesIn(presetFolder()), (juce::StringArray{"Crunch.rcp", "Default.rcp"}));
    }
}

TEST_F(PresetManager, TheSaveDialogOffersTheFirstFreeNewPresetName)
{
    makeProcessor();
    const auto folder = presetFolder();
    const std::pair<juce::StringArray, juce::String> cases[] = {
        {{}, "New Preset.rcp"},
        {{"New Preset.rcp"}, "New Preset(2).rcp"},
        {{"New Preset.rcp", "New Preset(2).rcp"}, "New Preset(3).rcp"},
    };

    for (const auto& [existing, offered] : cases)
    {
        SCOPED_TRACE(offered);
        for (const auto& name : existing)
            writeFile(folder.getChildFile(name));
        chooser->questions.clear();

        EXPECT_FALSE(manager().savePresetInternal({}, nullptr));

        ASSERT_EQ(chooser->questions.size(), 1u);
        EXPECT_EQ(chooser->questions[0].title, "Choose output file location...");
        EXPECT_EQ(chooser->questions[0].start, folder.getChildFile(offered));
        EXPECT_EQ(chooser->questions[0].pattern, "*.rcp");
    }
}

TEST_F(PresetManager, SavingToTheChosenFileAndCancellingTheDialog)
{
    makeProcessor();
    setPresetProperties("Kept", true);

    chooser->answer = juce::File();
    EXPECT_FALSE(manager().savePresetInternal({}, nullptr));
    EXPECT_EQ(presetName(), "Kept");
    EXPECT_EQ(modifiedFlag(), juce::var(true));
    EXPECT_EQ(fileNamesIn(presetFolder()), juce::StringArray{"Default.rcp"});

    chooser->answer = home.path().getChildFile("Elsewhere.rcp");
    EXPECT_TRUE(manager().savePresetInternal({}, nullptr));
    EXPECT_EQ(presetName(), "Elsewhere");
    EXPECT_EQ(bytesOf(chooser->answer), stateBytes());
}

/** Makes every write past the first bytes of a file fail, as a full disk would. */
class ScopedFileSizeLimit
{
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }

    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previousHandler);
    }

  private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};

TEST_F(PresetManager, AFailedWriteKeepsTheOldPresetAndTheState)
{
    makeProcessor();
    const auto file =
        writeFile(presetFolder().getChildFile("Old.rcp"), juce::String::repeatedString("old ", 8));
    const auto oldBytes = bytesOf(file);
    setPresetProperties("Old", true);

    bool saved = true;
    {
        // Nothing may be printed while the limit holds: a log file would be cut short too.
        const ScopedFileSizeLimit limit(16);
        saved = manager().savePresetInternal(file, nullptr);
    }

    EXPECT_FALSE(saved);
    EXPECT_EQ(bytesOf(file), oldBytes);
    EXPECT_EQ(presetName(), "Old");
    EXPECT_EQ(modifiedFlag(), juce::var(true));
    EXPECT_EQ(fileNamesIn(presetFolder()), (juce::StringArray{"Default.rcp", "Old.rcp"}));
}

TEST_F(PresetManager, ASaveCutShortLeavesNothingThatIsListed)
{
    makeProcessor();
    const auto file = writeFile(presetFolder().getChildFile("Crunch.rcp"), "old bytes");

    // The child dies at its first write, as a crash would end a save: nothing is cleaned up.
    const pid_t child = fork();
    if (child == 0)
    {
        signal(SIGXFSZ, [](int) { _exit(77); });
        rlimit none{};
        getrlimit(RLIMIT_FSIZE, &none);
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
        manager().savePresetInternal(file, nullptr);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 77) << "the save was not cut short";

    const auto names = fileNamesIn(presetFolder());
    ASSERT_EQ(names.size(), 3) << names.joinIntoString(", ");
    for (const auto& name : names)
        EXPECT_TRUE(name == "Crunch.rcp" || name == "Default.rcp" || !name.endsWithIgnoreCase(".rcp"))
            << name;
    EXPECT_EQ(file.loadFileAsString(), "old bytes");

    PresetBox box(manager());
    EXPECT_EQ(manager().presetFiles,
              (juce::Array<juce::File>{file, presetFolder().getChildFile("Default.rcp")}));
}

TEST_F(PresetManager, AReadOnlyFolderKeepsItsPresetWhole)
{
    makeProcessor();
    const auto file = writeFile(presetFolder().getChildFile("Old.rcp"), "old bytes");

    // As a user: root writes into a read-only folder all the same, and CI runs as root.
    EXPECT_TRUE(runInBoundedChild(asUserWithHome(home.path()),
                                  [&]
                                  {
                                      ASSERT_NE(geteuid(), 0u);
                                      ASSERT_TRUE(presetFolder().setReadOnly(true, false));
                                      EXPECT_FALSE(manager().savePresetInternal(file, nullptr));
                                      presetFolder().setReadOnly(false, false);
                                  }));

    EXPECT_EQ(file.loadFileAsString(), "old bytes");
    EXPECT_EQ(fileNamesIn(presetFolder()), (juce::StringArray{"Default.rcp", "Old.rcp"}));
}

TEST_F(PresetManager, AnyNameTheFileSystemTakesCanBeSaved)
{
    makeProcessor();
    const auto accent = juce::String::fromUTF8("\xc3\xa9"); // two bytes in UTF-8
    const struct
    {
        juce::String name;
        bool saved; // a file name holds 255 bytes, ".rcp" included
    } cases[] = {
        {juce::String::repeatedString("a", 248), true},
        {juce::String::repeatedString("b", 251), true},
        {juce::String::repeatedString(accent, 125) + "c", true},
        {juce::String::repeatedString("d", 252), false},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String(c.name.getNumBytesAsUTF8()) + " bytes");
        setPresetProperties("Before", true);
        const auto file = presetFolder().getChildFile(c.name + ".rcp");

        EXPECT_EQ(manager().savePresetInternal(file, nullptr), c.saved);

        EXPECT_EQ(file.existsAsFile(), c.saved);
        EXPECT_EQ(presetName(), c.saved ? c.name : "Before");
        if (c.saved)
            EXPECT_EQ(bytesOf(file), stateBytes());
        EXPECT_EQ(fileNamesIn(presetFolder()).size(), c.saved ? 2 : 1) << "no temporary file is left";
        file.deleteFile();
    }
}
} // namespace
