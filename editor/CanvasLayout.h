#pragma once

#include <juce_graphics/juce_graphics.h>

/** Where every control of the editor sits on the 2560 x 1500 design canvas.
    The editor places its children from these, and the artwork generator engraves the
    panel around the same rectangles, so both stay in line when one of them moves. */
namespace CanvasLayout
{
constexpr int width = 2560;
constexpr int height = 1500;

/** Part of the background picture that is stretched over the whole window. */
constexpr int shownPictureWidth = 2548;
constexpr int shownPictureHeight = 1476;

inline const juce::Rectangle<int> driveKnob{1149, 512, 259, 263};
inline const juce::Rectangle<int> boostKnob{1075, 934, 424, 451};
inline const juce::Rectangle<int> intrimKnob{2040, 339, 218, 214};
inline const juce::Rectangle<int> outtrimKnob{2044, 695, 216, 217};
inline const juce::Rectangle<int> drymixKnob{2043, 1055, 219, 203};
inline const juce::Rectangle<int> lpKnob{748, 1137, 176, 174};
inline const juce::Rectangle<int> hpKnob{736, 937, 190, 181};
inline const juce::Rectangle<int> presetBox{954, 20, 500, 110};
inline const juce::Rectangle<int> saveButton{1657, 39, 70, 140};
inline const juce::Rectangle<int> deleteButton{1729, 39, 70, 140};
inline const juce::Rectangle<int> previousPresetButton{1491, 39, 70, 140};
inline const juce::Rectangle<int> nextPresetButton{1546, 39, 70, 140};
inline const juce::Rectangle<int> linkToggle{1220, 273, 128, 124};
inline const juce::Rectangle<int> ultraXToggle{1571, 1201, 135, 131};
inline const juce::Rectangle<int> powerToggle{254, 1174, 128, 116};
inline const juce::Rectangle<int> leftMeter{775, 340, 51, 403};
inline const juce::Rectangle<int> rightMeter{854, 340, 51, 403};
} // namespace CanvasLayout
