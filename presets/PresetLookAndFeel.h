#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The look of the preset box and its popup: a transparent box with its text in the compiled-in
    display typeface, and a flat greyish-brown popup with white items in the same typeface. */
class PresetLookAndFeel : public juce::LookAndFeel_V4
{
  public:
    PresetLookAndFeel();
    ~PresetLookAndFeel() override;

    /** Fills the whole popup with its flat background. */
    void drawPopupMenuBackground(juce::Graphics&, int width, int height) override;

    /** Draws one popup item: a separator line, or highlight, tick or icon, sub-menu arrow and text. */
    void drawPopupMenuItem(juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                           bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                           const juce::String& shortcutKeyText, const juce::Drawable* icon,
                           const juce::Colour* textColour) override;

    /** The display typeface at height 40. */
    juce::Font getComboBoxFont(juce::ComboBox&) override;

    /** A popup at least 800 wide, aimed at a 500-wide area 50 pixels right of the box. */
    juce::PopupMenu::Options getOptionsForComboBoxPopupMenu(juce::ComboBox&, juce::Label&) override;

    /** The compiled-in display typeface, at the framework's default height. */
    juce::Font getDisplayFont() const;

  private:
    const float cornerSize = 0.0f;
    const juce::Typeface::Ptr displayTypeface;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetLookAndFeel)
};
