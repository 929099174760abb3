#include "presets/PresetLookAndFeel.h"

#include <gtest/gtest.h>

namespace
{
const juce::uint32 background = 0xff8a826e;
const juce::uint32 highlight = 0xff393730;

struct Item
{
    bool isSeparator = false, isActive = true, isHighlighted = false, isTicked = false, hasSubMenu = false;
    juce::String text = "x";
    const juce::Colour* textColour = nullptr;
};

/** One popup item drawn over the popup's background, as the framework draws it. */
juce::Image draw(PresetLookAndFeel& look, const Item& item, juce::Rectangle<int> area = {0, 0, 300, 30})
{
    juce::Image image(juce::Image::ARGB, area.getWidth(), area.getHeight(), true);
    juce::Graphics g(image);
    look.drawPopupMenuBackground(g, area.getWidth(), area.getHeight());
    look.drawPopupMenuItem(g, area, item.isSeparator, item.isActive, item.isHighlighted, item.isTicked,
                           item.hasSubMenu, item.text, {}, nullptr, item.textColour);
    return image;
}

juce::uint32 pixel(const juce::Image& image, int x, int y)
{
    return image.getPixelAt(x, y).getARGB();
}

/** Whether any pixel in the columns [left, right), one-pixel border excluded, differs from the colour. */
bool anyPixelOtherThan(const juce::Image& image, juce::uint32 colour, int left, int right)
{
    for (int x = left; x < right; ++x)
        for (int y = 1; y < image.getHeight() - 1; ++y)
            if (pixel(image, x, y) != colour)
                return true;
    return false;
}

int leftmostColumnOtherThan(const juce::Image& image, juce::uint32 colour, int from)
{
    for (int x = from; x < image.getWidth(); ++x)
        if (anyPixelOtherThan(image, colour, x, x + 1))
            return x;
    return -1;
}

bool sameImage(const juce::Image& a, const juce::Image& b)
{
    for (int x = 0; x < a.getWidth(); ++x)
        for (int y = 0; y < a.getHeight(); ++y)
            if (pixel(a, x, y) != pixel(b, x, y))
                return false;
    return true;
}

TEST(PresetLookAndFeel, TheBoxIsTransparentAndWritesInTheDisplayTypeface)
{
    PresetLookAndFeel look;
    EXPECT_EQ(look.findColour(juce::ComboBox::outlineColourId).getARGB(), 0x00000000u);
    EXPECT_EQ(look.findColour(juce::ComboBox::backgroundColourId).getARGB(), 0x00000000u);
    EXPECT_EQ(look.findColour(juce::PopupMenu::backgroundColourId).getARGB(), 0xff3e4042u);

    juce::ComboBox box;
    const auto font = look.getComboBoxFont(box);
    EXPECT_FLOAT_EQ(font.getHeight(), 40.0f);
    EXPECT_EQ(font.getTypefaceName(), "Comfortaa");
}

TEST(PresetLookAndFeel, ThePopupIsAtLeast800WideAndAimedRightOfTheBox)
{
    PresetLookAndFeel look;
    juce::Component editor;
    editor.setBounds(100, 50, 1000, 600);
    juce::ComboBox box;
    editor.addAndMakeVisible(box);
    box.setBounds(10, 20, 300, 40);
    juce::Label label;

    const auto options = look.getOptionsForComboBoxPopupMenu(box, label);

    EXPECT_EQ(options.getMinimumWidth(), 800);
    EXPECT_EQ(options.getTargetScreenArea(), juce::Rectangle<int>(160, 70, 500, 40));
    EXPECT_EQ(options.getTargetComponent(), nullptr);
}

TEST(PresetLookAndFeel, AHighlightedItemShowsItsTickAndSubMenuArrow)
{
    PresetLookAndFeel look;
    const auto plain = draw(look, {false, true, true, false, false});
    const auto marked = draw(look, {false, true, true, true, true});

    EXPECT_EQ(pixel(marked, 0, 0), background) << "the highlight leaves a one-pixel border";
    EXPECT_EQ(pixel(marked, 2, 28), highlight);

    // The tick sits in the 12 pixels after the left margin, the arrow at the right end.
    EXPECT_FALSE(anyPixelOtherThan(plain, highlight, 6, 18));
    EXPECT_TRUE(anyPixelOtherThan(marked, highlight, 6, 18));
    EXPECT_FALSE(anyPixelOtherThan(plain, highlight, 280, 295));
    EXPECT_TRUE(anyPixelOtherThan(marked, highlight, 280, 295));

    // The text starts after the icon area, ticked or not.
    EXPECT_GE(leftmostColumnOtherThan(plain, highlight, 2), 18);
    EXPECT_GE(leftmostColumnOtherThan(marked, highlight, 18), 18);
}

TEST(PresetLookAndFeel, ItemTextIsWhiteWhetherActiveOrNot)
{
    PresetLookAndFeel look;
    const auto red = juce::Colours::red;
    Item active;
    active.text = "No Presets In Directory";
    active.textColour = &red;
    Item inactive = active;
    inactive.isActive = false;
    inactive.textColour = nullptr;
    Item inactiveHighlighted = inactive;
    inactiveHighlighted.isHighlighted = true;

    const auto image = draw(look, active);
    EXPECT_TRUE(sameImage(image, draw(look, inactive)));
    EXPECT_TRUE(sameImage(image, draw(look, inactiveHighlighted))) << "an inactive item is never highlighted";

    bool anyWhite = false;
    for (int x = 18; x < 200 && !anyWhite; ++x)
        for (int y = 0; y < 30 && !anyWhite; ++y)
            anyWhite = pixel(image, x, y) == 0xffffffffu;
    EXPECT_TRUE(anyWhite);
}

TEST(PresetLookAndFeel, ASeparatorIsOneFaintRowInTheMiddle)
{
    PresetLookAndFeel look;
    Item separator;
    separator.isSeparator = true;
    const auto image = draw(look, separator, {0, 0, 300, 9});

    EXPECT_NE(pixel(image, 150, 4), background);
    EXPECT_EQ(pixel(image, 150, 4), pixel(image, 5, 4));
    EXPECT_EQ(pixel(image, 4, 4), background);
    EXPECT_EQ(pixel(image, 295, 4), background);
    EXPECT_EQ(pixel(image, 150, 3), background);
    EXPECT_EQ(pixel(image, 150, 5), background);
}
} // namespace
