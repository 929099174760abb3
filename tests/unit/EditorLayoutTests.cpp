// The editor's children, their places on the canvas at each window size, and the size memory.

#include "EditorTestSupport.h"
#include "processor/ParameterIds.h"

#include <BinaryData.h>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

// The sanitizers reserve terabytes of address space: there a child is bounded in time only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRIMWELL_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BRIMWELL_SANITIZED_BUILD 1
#endif
#endif

namespace
{
struct Placement
{
    const char* what;
    juce::Rectangle<int> canvas;
};

// In stacking order; the canvas rectangles are written out here rather than taken from the
// editor's table, so a slip in that table shows.
const Placement expectedControls[] = {
    {ParameterIds::drive, {1149, 512, 259, 263}},
    {ParameterIds::inputTrim, {2040, 339, 218, 214}},
    {ParameterIds::outputTrim, {2044, 695, 216, 217}},
    {ParameterIds::dryMix, {2043, 1055, 219, 203}},
    {ParameterIds::lowPass, {748, 1137, 176, 174}},
    {ParameterIds::highPass, {736, 937, 190, 181}},
    {ParameterIds::boost, {1075, 934, 424, 451}},
    {"presetBox", {954, 20, 500, 110}},
    {"Save Button", {1657, 39, 70, 140}},
    {"Delete Button", {1729, 39, 70, 140}},
    {"Previous Preset Button", {1491, 39, 70, 140}},
    {"Next Preset Button", {1546, 39, 70, 140}},
    {"leftMeter", {775, 340, 51, 403}},
    {"rightMeter", {854, 340, 51, 403}},
    {ParameterIds::autoGain, {1220, 273, 128, 124}},
    {ParameterIds::ultraMode, {1571, 1201, 135, 131}},
    {"powerButton", {254, 1174, 128, 116}},
};

std::unique_ptr<juce::PropertiesFile> openSettings(const juce::PropertiesFile::Options& options)
{
    return std::make_unique<juce::PropertiesFile>(options);
}

std::string repeat(const std::string& s, int times)
{
    std::string result;
    result.reserve(s.size() * (size_t)times);
    for (int i = 0; i < times; ++i)
        result += s;
    return result;
}

void writeText(const juce::File& file, const std::string& text)
{
    ASSERT_TRUE(file.replaceWithData(text.data(), text.size()));
}

/** Writes a settings file as the framework's property file does, holding the given ratio text. */
void writeSettings(const juce::File& file, const char* stored)
{
    juce::PropertiesFile settings(file, ZiruzozodAudioProcessorEditor::defaultSettingsOptions());
    settings.setValue("sizeRatio", stored);
    ASSERT_TRUE(settings.save());
}

/** A regular file, or a link to one. */
bool isRegularFile(const juce::File& file)
{
    struct stat status = {};
    return ::stat(file.getFullPathName().toRawUTF8(), &status) == 0 && S_ISREG(status.st_mode);
}

/** The ratio stored, as the framework's own reader takes it; read only from a regular file. */
double storedRatio(const juce::File& file)
{
    auto options = ZiruzozodAudioProcessorEditor::defaultSettingsOptions();
    return isRegularFile(file) ? juce::PropertiesFile(file, options).getDoubleValue("sizeRatio") : -1.0;
}

/** Counts, from now on, the opens of those of the files that are FIFOs. Opening one for reading
    is wrong even without blocking: a writer waiting for a reader would go on. */
class FifoOpenCount
{
  public:
    explicit FifoOpenCount(std::initializer_list<juce::File> files)
        : watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const auto& file : files)
        {
            struct stat status = {};
            const auto* path = file.getFullPathName().toRawUTF8();
            if (::stat(path, &status) == 0 && S_ISFIFO(status.st_mode))
                ::inotify_add_watch(watch, path, IN_OPEN);
        }
    }

    ~FifoOpenCount() { ::close(watch); }

    int opens() const
    {
        int count = 0;
        alignas(inotify_event) char events[4096];
        for (ssize_t size; (size = ::read(watch, events, sizeof events)) > 0;)
            for (ssize_t at = 0; at < size;)
            {
                // Past the opens comes the end of the watch, once the file is replaced.
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                count += (event->mask & IN_OPEN) != 0 ? 1 : 0;
                at += (ssize_t)sizeof(inotify_event) + (ssize_t)event->len;
            }
        return count;
    }

  private:
    const int watch;
};

/** For a child that runs one case: killed after a minute, and out of memory 512 MiB past what
    it holds now. */
void boundThisProcess()
{
    ::alarm(60);
#if !BRIMWELL_SANITIZED_BUILD
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const auto limit = (rlim_t)pages * (rlim_t)::sysconf(_SC_PAGESIZE) + ((rlim_t)512 << 20);
    const rlimit memory{limit, limit};
    if (pages == 0 || ::setrlimit(RLIMIT_AS, &memory) != 0)
        std::_Exit(3);
#endif
}
} // namespace

using EditorLayout = EditorFixture;

TEST_F(EditorLayout, ChildrenAreStackedInOrderWithTheResizerOnTop)
{
    openEditor();
    const auto children = controls();
    ASSERT_EQ(children.size(), std::size(expectedControls) + 1);

    // Named children by name; the value-bubble knobs, the preset box and the meters have no
    // name and are told apart by class and by their place in the order.
    for (size_t i = 0; i < std::size(expectedControls); ++i)
    {
        SCOPED_TRACE(expectedControls[i].what);
        const juce::String what(expectedControls[i].what);
        auto* child = children[i];
        if (what == ParameterIds::drive || what == ParameterIds::boost)
            EXPECT_EQ(child->getName(), what);
        else if (what.endsWith("Knob"))
            EXPECT_NE(dynamic_cast<FadeinPopupSlider*>(child), nullptr);
        else if (what == "presetBox")
            EXPECT_NE(dynamic_cast<PresetBox*>(child), nullptr);
        else if (what.endsWith("Meter"))
            EXPECT_NE(dynamic_cast<FilmStripComponent*>(child), nullptr);
        else
            EXPECT_EQ(child->getName(), what);
        EXPECT_TRUE(child->isVisible());

        // Each knob's look draws frames of exactly its rectangle's size, one to one.
        if (what.endsWith("Knob"))
        {
            auto* look = dynamic_cast<FilmStripKnobLook*>(&child->getLookAndFeel());
            ASSERT_NE(look, nullptr);
            EXPECT_EQ(juce::Rectangle<int>(look->frameWidth, look->frameHeight),
                      expectedControls[i].canvas.withZeroOrigin());
        }
    }
    EXPECT_NE(dynamic_cast<juce::ResizableCornerComponent*>(children.back()), nullptr);
    EXPECT_NE(dynamic_cast<PresetLookAndFeel*>(&children[7]->getLookAndFeel()), nullptr);
}

TEST_F(EditorLayout, EveryControlKeepsItsCanvasRectangleUnderAUniformScale)
{
    auto& editor = openEditor();
    for (const int width : {640, 896, 1280, 2560})
    {
        SCOPED_TRACE(width);
        editor.setSize(width, width * 1500 / 2560);
        const float scale = (float)width / 2560.0f;
        const auto children = controls();
        for (size_t i = 0; i < std::size(expectedControls); ++i)
        {
            SCOPED_TRACE(expectedControls[i].what);
            EXPECT_EQ(children[i]->getBounds(), expectedControls[i].canvas);
            EXPECT_EQ(children[i]->getTransform(), juce::AffineTransform::scale(scale));
        }
        EXPECT_TRUE(editor.getTransform().isIdentity());
    }

    // At a quarter size the Drive knob sits at a quarter of its canvas place.
    editor.setSize(640, 375);
    EXPECT_EQ(editor.getLocalArea(controls()[0], controls()[0]->getLocalBounds()),
              juce::Rectangle<int>(287, 128, 65, 66));
}

TEST_F(EditorLayout, ResizingRemembersTheWidthOverTheCanvasWidth)
{
    for (const auto& [width, ratio] : {std::pair{640, 0.25}, {1280, 0.5}, {896, (double)(896.0f / 2560.0f)}})
    {
        openEditor().setSize(width, width * 1500 / 2560);
        closeEditor();
        EXPECT_EQ(openSettings(settingsOptions())->getDoubleValue("sizeRatio"), ratio) << width;
    }
}

TEST_F(EditorLayout, OpensAtTheRememberedSizeAndAnyOtherFileGivesAUsableWindow)
{
    // Whatever the settings file is, the editor opens at a usable size and the file holds the
    // size it opened at once the editor closes. A stored number: both products truncated; not
    // a finite number: the default; beyond the size limits: the nearest limit. A file that is not
    // a small regular settings file, or asks its reader to fetch another, is not read at all
    // (default size) and is replaced. Each case runs in a child bounded in time and memory, so a
    // reader that crashes, hangs or eats memory fails its case, not the run.
    const auto ratio = [](const char* stored)
    { return [stored](const juce::File& f, const juce::File&) { writeSettings(f, stored); }; };
    const std::string header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string half = "<VALUE name=\"sizeRatio\" val=\"0.5\"/>";
    const auto nested = [&](int depth)
    {
        return [=](const juce::File& f, const juce::File&)
        {
            writeText(f, header + "<PROPERTIES>" + half + repeat("<a>", depth) + repeat("</a>", depth) +
                             "</PROPERTIES>");
        };
    };
    const auto fetching = [&](const juce::File& source)
    {
        return header + "<!DOCTYPE PROPERTIES SYSTEM \"" + source.getFullPathName().toStdString() +
               "\">\n<PROPERTIES><VALUE name=\"sizeRatio\" val=\"&fetched;\"/></PROPERTIES>\n";
    };

    const struct
    {
        const char* what;
        std::function<void(const juce::File& settings, const juce::File& scratch)> make;
        int width, height;
    } cases[] = {
        {"0.5", ratio("0.5"), 1280, 750},
        {"1", ratio("1"), 2560, 1500},
        {"0.25", ratio("0.25"), 640, 375},
        {"0.333", ratio("0.333"), 852, 499},
        {"abc", ratio("abc"), 896, 525},
        {"nan", ratio("nan"), 896, 525},
        {"-inf", ratio("-inf"), 896, 525},
        {"empty", ratio(""), 896, 525},
        {"0", ratio("0"), 640, 375},
        {"-1", ratio("-1"), 640, 375},
        {"1e-9", ratio("1e-9"), 640, 375},
        {"0.2", ratio("0.2"), 640, 375},
        {"5", ratio("5"), 2560, 1500},
        {"1.5", ratio("1.5"), 2560, 1500},
        {"a link to a settings file of 0.5",
         [](const juce::File& f, const juce::File& scratch)
         {
             writeSettings(scratch.getChildFile("elsewhere.settings"), "0.5");
             ASSERT_TRUE(scratch.getChildFile("elsewhere.settings").createSymbolicLink(f, false));
         },
         1280, 750},
        {"bytes that are not UTF-8",
         [&](const juce::File& f, const juce::File&)
         { writeText(f, header + "<PROPERTIES>\xc3(" + half + "</PROPERTIES>"); },
         896, 525},
        // 210 KB: past the size cap. Read by the framework's recursive parser, it overflows the stack.
        {"30,000 nested elements", nested(30000), 896, 525},
        // Within the size cap, but more tags than a settings file of one key has.
        {"100 nested elements", nested(100), 896, 525},
        {"a document type naming /dev/zero",
         [&](const juce::File& f, const juce::File&) { writeText(f, fetching(juce::File("/dev/zero"))); },
         896, 525},
        {"a document type naming a FIFO",
         [&](const juce::File& f, const juce::File& scratch)
         {
             const auto fifo = scratch.getChildFile("dtd");
             ASSERT_EQ(::mkfifo(fifo.getFullPathName().toRawUTF8(), 0600), 0);
             writeText(f, fetching(fifo));
         },
         896, 525},
        {"a FIFO",
         [](const juce::File& f, const juce::File&)
         { ASSERT_EQ(::mkfifo(f.getFullPathName().toRawUTF8(), 0600), 0); },
         896, 525},
        {"a link to /dev/zero",
         [](const juce::File& f, const juce::File&)
         { ASSERT_TRUE(juce::File("/dev/zero").createSymbolicLink(f, false)); },
         896, 525},
        // Sparse: a gigabyte that takes no disk, valid up to where the zeros begin.
        {"a 1 GiB file",
         [&](const juce::File& f, const juce::File&)
         {
             writeText(f, header + "<PROPERTIES>" + half);
             ASSERT_EQ(::truncate(f.getFullPathName().toRawUTF8(), (off_t)1 << 30), 0);
         },
         896, 525},
    };

    // The child, a new run of this test up to its case, prints what it saw.
    const auto scratch = home.path().getChildFile("scratch");
    const auto openAndReport = [this, &scratch]
    {
        boundThisProcess();
        const FifoOpenCount fifos{settingsFile(), scratch.getChildFile("dtd")};
        auto& editor = openEditor();
        const int width = editor.getWidth(), height = editor.getHeight();
        closeEditor();
        std::fprintf(stderr, "opened at %d x %d, then stored %.4f in a %s; FIFOs opened: %d\n", width, height,
                     storedRatio(settingsFile()), isRegularFile(settingsFile()) ? "regular file" : "other",
                     fifos.opens());
        removeTemporaryHomes();
        std::_Exit(0);
    };
    // Not a plain fork: the child must not share the framework's message queue with this process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        scratch.deleteRecursively();
        ASSERT_TRUE(scratch.createDirectory());
        settingsFile().deleteRecursively();
        ASSERT_TRUE(settingsFile().getParentDirectory().createDirectory());
        c.make(settingsFile(), scratch);

        const auto expected =
            juce::String::formatted("opened at %d x %d, then stored %.4f in a regular file; FIFOs opened: 0",
                                    c.width, c.height, (double)c.width / 2560.0);
        EXPECT_EXIT(openAndReport(), ::testing::ExitedWithCode(0), expected.toStdString());
    }
}

TEST_F(EditorLayout, AFailedWriteLeavesTheSettingsFileAsItWas)
{
    // With no room to write (a file size limit of 0), storing the new size fails, and the old
    // file stays whole: the new one goes to a temporary file, renamed only once complete.
    writeSettings(settingsFile(), "0.5");
    const auto resizeWithNoRoom = [this]
    {
        boundThisProcess();
        rlimit room = {};
        ::getrlimit(RLIMIT_FSIZE, &room);
        const rlimit noRoom{0, room.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &noRoom);
        openEditor().setSize(640, 375);
        closeEditor();
        ::setrlimit(RLIMIT_FSIZE, &room);
        std::fprintf(stderr, "then stored %.4f\n", storedRatio(settingsFile()));
        removeTemporaryHomes();
        std::_Exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(resizeWithNoRoom(), ::testing::ExitedWithCode(0), "then stored 0\\.5000");
}

TEST_F(EditorLayout, WithoutSettingsOpensAt896By525ThenSettlesAt895By524)
{
    ASSERT_FALSE(settingsFile().exists());
    const std::pair<int, int> openings[] = {{896, 525}, {895, 524}, {895, 524}};
    for (const auto& [width, height] : openings)
    {
        auto& editor = openEditor();
        EXPECT_EQ(editor.getWidth(), width);
        EXPECT_EQ(editor.getHeight(), height);
        closeEditor(); // also writes the pending setting, well before its 3 s delay
    }
    EXPECT_TRUE(settingsFile().existsAsFile());
    EXPECT_TRUE(settingsFile().isAChildOf(home.path()));
}

TEST_F(EditorLayout, SizeLimitsAndAspectRatioBindOnlyResizing)
{
    auto& editor = openEditor();
    auto* constrainer = editor.getConstrainer();
    ASSERT_NE(constrainer, nullptr);
    EXPECT_DOUBLE_EQ(constrainer->getFixedAspectRatio(), 2560.0 / 1500.0);
    EXPECT_EQ(constrainer->getMinimumWidth(), 640);
    EXPECT_EQ(constrainer->getMinimumHeight(), 375);
    EXPECT_EQ(constrainer->getMaximumWidth(), 2560);
    EXPECT_EQ(constrainer->getMaximumHeight(), 1500);
    EXPECT_TRUE(editor.isResizable());
}

TEST_F(EditorLayout, BackgroundShowsOnlyThePictureAbove2548By1476)
{
    // At 2548 x 1476 the shown part of the picture is drawn one to one, so a pixel away from
    // every control is the picture's own pixel; with the whole picture stretched it would not be.
    auto& editor = openEditor();
    editor.setSize(2548, 1476);
    const auto background = picture(BinaryData::background_png, BinaryData::background_pngSize);
    const auto snapshot = editor.createComponentSnapshot({100, 1300, 400, 100}, true, 1.0f);
    EXPECT_TRUE(samePixels(snapshot, background.getClippedImage({100, 1300, 400, 100})));
}

TEST_F(EditorLayout, TheReadmePictureIsWhatTheEditorDrawsWhenItFirstOpens)
{
    // docs/editor.png is build/screenshots/editor-896x525.png as scripts/screenshot.sh draws it;
    // after a change of the artwork or the layout, draw and copy it again.
    const auto readmePicture =
        juce::ImageFileFormat::loadFrom(juce::File(BRIMWELL_SOURCE_DIR).getChildFile("docs/editor.png"));
    ASSERT_TRUE(readmePicture.isValid());

    auto& editor = openEditor();
    ASSERT_EQ(editor.getLocalBounds(), juce::Rectangle<int>(896, 525));
    // The file stores colours unpremultiplied: the edge pixels that are not opaque may round by one.
    EXPECT_TRUE(samePixels(editor.createComponentSnapshot(editor.getLocalBounds()), readmePicture, 1));
}

#if JUCE_LINUX
TEST_F(EditorLayout, ThePlugInsEditorRemembersItsSizeInTheUsersHome)
{
    // The framework's all-users file on Linux would be in /var, writable by root alone.
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor->createEditor());
    editor->setSize(1280, 750);
    editor.reset();
    EXPECT_TRUE(home.path().getChildFile(".Brimwell/Brimwell.settings").existsAsFile());

    editor.reset(processor->createEditor());
    EXPECT_EQ(editor->getWidth(), 1280);
}
#endif
