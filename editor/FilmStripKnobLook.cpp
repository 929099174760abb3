#include "editor/FilmStripKnobLook.h"

#include <cmath>

FilmStripKnobLook::FilmStripKnobLook(const void* pngData, int pngSize, int frameW, int frameH, int frames)
    : frameWidth(frameW), frameHeight(frameH), numFrames(frames),
      knobStrip(juce::ImageCache::getFromMemory(pngData, pngSize))
{
}

FilmStripKnobLook::~FilmStripKnobLook() = default;

int FilmStripKnobLook::frameIndexFor(double value, double minimum, double maximum, int frames)
{
    // An empty range has only one position to show.
    if (!(maximum > minimum))
        return 0;

    // Limited before the cast: casting a value beyond int, or NaN, is undefined.
    const auto index = std::ceil((value - minimum) / (maximum - minimum) * (frames - 1));
    return (int)juce::jlimit(0.0, (double)(frames - 1), std::isnan(index) ? 0.0 : index);
}

void FilmStripKnobLook::drawRotarySlider(juce::Graphics& g, int x, int y, int, int, float, float, float,
                                         juce::Slider& slider)
{
    if (!knobStrip.isValid())
        return;

    const int frame = frameIndexFor(slider.getValue(), slider.getMinimum(), slider.getMaximum(), numFrames);
    g.drawImage(knobStrip, x, y, frameWidth, frameHeight, 0, frame * frameHeight, frameWidth, frameHeight);
}
