#include "PresetLookAndFeel.h"

#include <BinaryData.h>

namespace
{
const juce::Colour popupBackground{0xff8a826e};
const juce::Colour highlightBackground{0xff393730};
} // namespace

PresetLookAndFeel::PresetLookAndFeel()
    : displayTypeface(juce::Typeface::createSystemTypefaceFor(BinaryData::ComfortaaBold_ttf,
                                                              (size_t)BinaryData::ComfortaaBold_ttfSize))
{
    setColour(juce::ComboBox::outlineColourId, juce::Colour(0x00000000));
    setColour(juce::ComboBox::backgroundColourId, juce::Colour(0x00000000));
    setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xff3e4042));
}

PresetLookAndFeel::~PresetLookAndFeel() = default;

juce::Font PresetLookAndFeel::getDisplayFont() const
{
    return juce::Font(displayTypeface);
}

void PresetLookAndFeel::drawPopupMenuBackground(juce::Graphics& g, int width, int height)
{
    g.setColour(popupBackground);
    g.fillRoundedRectangle(0.0f, 0.0f, (float)width, (float)height, cornerSize);
}

void PresetLookAndFeel::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area,
                                          bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                                          bool hasSubMenu, const juce::String& text,
                                          const juce::String& shortcutKeyText, const juce::Drawable* icon,
                                          const juce::Colour*)
{
    if (isSeparator)
    {
        auto r = area.reduced(5, 0);
        r.removeFromTop(juce::roundToInt((float)r.getHeight() * 0.5f - 0.5f));

        g.setColour(findColour(juce::PopupMenu::textColourId).withAlpha((juce::uint8)0x4c));
        g.fillRoundedRectangle(r.removeFromTop(1).toFloat(), cornerSize);
        return;
    }

    auto r = area.reduced(1);

    if (isHighlighted && isActive)
    {
        g.setColour(highlightBackground);
        g.fillRoundedRectangle(r.toFloat(), cornerSize);
        g.setColour(findColour(juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour(juce::Colours::white);
    }

    r.reduce(juce::jmin(5, area.getWidth() / 20), 0);

    const auto font = getDisplayFont();
    g.setFont(font);

    const auto iconArea = r.removeFromLeft(juce::jmin(12, r.getWidth())).toFloat();

    if (icon != nullptr)
    {
        icon->drawWithin(g, iconArea,
                         juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                         1.0f);
        r.removeFromLeft(juce::jmin(5, r.getWidth()));
    }
    else if (isTicked)
    {
        const auto tick = getTickShape(1.0f);
        g.fillPath(tick, tick.getTransformToScaleToFit(iconArea.reduced(iconArea.getWidth() / 5, 0), true));
    }

    if (hasSubMenu)
    {
        const auto arrowSize = 0.6f * getPopupMenuFont().getAscent();
        const auto x = (float)r.removeFromRight(juce::jmin(r.getWidth(), (int)arrowSize)).getX();
        const auto y = (float)(r.getY() + r.getHeight() / 2);

        juce::Path arrow;
        arrow.startNewSubPath(x, y - arrowSize * 0.5f);
        arrow.lineTo(x + arrowSize * 0.6f, y);
        arrow.lineTo(x, y + arrowSize * 0.5f);
        g.strokePath(arrow, juce::PathStrokeType(2.0f));
    }

    r.removeFromRight(juce::jmin(3, r.getWidth()));
    g.drawFittedText(text, r, juce::Justification::centredLeft, 1);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = font;
        shortcutFont.setHeight(font.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale(0.95f);
        g.setFont(shortcutFont);
        g.drawText(shortcutKeyText, r.toFloat(), juce::Justification::centredLeft, true);
    }
}

juce::Font PresetLookAndFeel::getComboBoxFont(juce::ComboBox&)
{
    auto font = getDisplayFont();
    font.setHeight(40.0f);
    return font;
}

juce::PopupMenu::Options PresetLookAndFeel::getOptionsForComboBoxPopupMenu(juce::ComboBox& box, juce::Label&)
{
    return juce::PopupMenu::Options().withMinimumWidth(800).withTargetScreenArea(
        box.getScreenBounds().translated(50, 0).withWidth(500));
}
