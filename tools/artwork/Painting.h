#pragma once

#include <juce_graphics/juce_graphics.h>

/** Drawing of the editor's pictures: one function per picture kind, all deterministic. */
namespace Painting
{
namespace Palette
{
const juce::Colour panel{0xff3b3a35};
const juce::Colour panelDark{0xff2a2925};
const juce::Colour ink{0xffd7cbab};
const juce::Colour inkDim{0xff9e957c};
const juce::Colour bakelite{0xff1c1b19};
const juce::Colour recess{0xff151412};
} // namespace Palette

/** Knobs sweep this many radians either side of straight up. */
constexpr float knobHalfSweep = juce::MathConstants<float>::pi * 5.0f / 6.0f;

/** Segments of the level meter's bar, lit from the bottom. */
constexpr int meterSegments = 30;
/** The meter bar inside its 51 x 403 frame. */
inline const juce::Rectangle<int> meterBar{9, 8, 33, 387};

/** How a knob's face is built; the pointer sweeps the same angles on every kind. */
enum class KnobKind
{
    capped,     // skirted knob with a spun metal cap
    chickenHead // pointer-shaped selector
};

enum class Symbol
{
    save,
    remove,
    previous,
    next
};

/** The 2560 x 1500 panel with every label and scale, lined up with the control rectangles. */
juce::Image paintBackground(juce::Typeface::Ptr engravingFont);

/** A vertical film strip of a knob: frame k shows position k of frames. */
juce::Image paintKnobStrip(KnobKind kind, int frameWidth, int frameHeight, int frames);

/** The level meter's 60 frames of 51 x 403: frames 0 and 1 dark, frame 59 at the bottom full. */
juce::Image paintMeterStrip();

/** A 60 x 120 push button: at rest on top, pressed below. */
juce::Image paintPresetButton(Symbol symbol);

/** A lamp toggle of the given size: lit on top, dark below. */
juce::Image paintToggle(int width, int height, juce::Colour lamp);

/** Knob pointer angle for frame k of n, clockwise from straight up. */
float knobAngle(int frame, int frames);
} // namespace Painting
