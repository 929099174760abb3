// The editor's children, their places on the canvas at each window size, and the size memory.

#include "EditorTestSupport.h"
#include "processor/ParameterIds.h"

#include <BinaryData.h>

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

TEST_F(EditorLayout, OpensAtTheRememberedSizeAndABadOneGivesAUsableWindow)
{
    // Both products truncated. Not a finite number: the default size; a number beyond the size
    // limits: the nearest limit. What the layout stores then is the size it opened at.
    const struct
    {
        const char* stored;
        int width, height;
    } cases[] = {{"0.5", 1280, 750}, {"1", 2560, 1500},  {"0.25", 640, 375}, {"0.333", 852, 499},
                 {"abc", 896, 525},  {"nan", 896, 525},  {"-inf", 896, 525}, {"", 896, 525},
                 {"0", 640, 375},    {"-1", 640, 375},   {"1e-9", 640, 375}, {"0.2", 640, 375},
                 {"5", 2560, 1500},  {"1.5", 2560, 1500}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        {
            auto settings = openSettings(settingsOptions());
            settings->setValue("sizeRatio", c.stored);
            ASSERT_TRUE(settings->save());
        }
        auto& editor = openEditor();
        EXPECT_EQ(editor.getWidth(), c.width);
        EXPECT_EQ(editor.getHeight(), c.height);
        closeEditor();

        const auto stored = openSettings(settingsOptions())->getValue("sizeRatio");
        EXPECT_NEAR(stored.getDoubleValue(), (double)c.width / 2560.0, 1e-6) << stored;
        settingsFile().deleteFile();
    }
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
