#pragma once

#include "PresetScopedHome.h"
#include "editor/PluginEditor.h"

#include <gtest/gtest.h>

/** A processor and an editor for it, with HOME (the preset folder) and the size setting
    inside one temporary folder, so no test writes anywhere else. */
class EditorFixture : public ::testing::Test
{
  protected:
    /** The editor's settings options, pointed into the temporary folder. */
    juce::PropertiesFile::Options settingsOptions() const
    {
        auto options = ZiruzozodAudioProcessorEditor::defaultSettingsOptions();
        options.folderName = home.path().getChildFile("settings").getFullPathName();
        return options;
    }

    juce::File settingsFile() const { return settingsOptions().getDefaultFile(); }

    ZiruzozodAudioProcessorEditor& openEditor()
    {
        openedEditor = std::make_unique<ZiruzozodAudioProcessorEditor>(*processor, settingsOptions());
        return *openedEditor;
    }

    void closeEditor() { openedEditor.reset(); }

    void setParameter(const char* id, float value)
    {
        auto* parameter = processor->apvts->getParameter(id);
        parameter->setValueNotifyingHost(parameter->convertTo0to1(value));
    }

    float parameterValue(const char* id) const { return processor->apvts->getRawParameterValue(id)->load(); }

    /** The editor's children, in stacking order. */
    std::vector<juce::Component*> controls() const
    {
        const auto& children = openedEditor->getChildren();
        return {children.begin(), children.end()};
    }

    /** For a child that ends itself (a death test's): removes this fixture's HOME and the one
        the test run made, which no destructor will. */
    void removeTemporaryHomes() const
    {
        home.path().deleteRecursively();
        if (runHome.getFileName().startsWith("brimwell-test-home-"))
            runHome.deleteRecursively();
    }

    // The HOME that the test run made, and then, first of all that is destroyed, this fixture's,
    // so that the editor and the processor are gone before HOME is restored.
    const juce::File runHome{
        juce::String::fromUTF8(std::getenv("HOME") != nullptr ? std::getenv("HOME") : "")};
    ScopedTemporaryHome home;
    std::unique_ptr<ZiruzozodAudioProcessor> processor = std::make_unique<ZiruzozodAudioProcessor>();
    std::unique_ptr<ZiruzozodAudioProcessorEditor> openedEditor;
};

/** Pixel-for-pixel comparison of two images of the same size, each channel within the tolerance. */
inline bool samePixels(const juce::Image& a, const juce::Image& b, int tolerance = 0)
{
    if (a.getBounds() != b.getBounds())
        return false;
    const juce::Image::BitmapData pa(a, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData pb(b, juce::Image::BitmapData::readOnly);
    const auto near = [tolerance](juce::uint8 u, juce::uint8 v)
    { return std::abs((int)u - (int)v) <= tolerance; };
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const auto ca = pa.getPixelColour(x, y), cb = pb.getPixelColour(x, y);
            if (!near(ca.getAlpha(), cb.getAlpha()) || !near(ca.getRed(), cb.getRed()) ||
                !near(ca.getGreen(), cb.getGreen()) || !near(ca.getBlue(), cb.getBlue()))
                return false;
        }
    return true;
}

/** Which frame of a vertical strip a component's snapshot shows: -1 when it matches none. */
inline int frameShown(juce::Component& component, const juce::Image& strip, int numFrames)
{
    const auto snapshot = component.createComponentSnapshot(component.getLocalBounds(), true, 1.0f);
    const int frameHeight = strip.getHeight() / numFrames;
    for (int k = 0; k < numFrames; ++k)
        if (samePixels(snapshot, strip.getClippedImage({0, k * frameHeight, strip.getWidth(), frameHeight})))
            return k;
    return -1;
}

inline juce::Image picture(const char* data, int size)
{
    return juce::ImageCache::getFromMemory(data, size);
}
