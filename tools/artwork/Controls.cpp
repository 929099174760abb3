#include "Painting.h"

namespace Painting
{
namespace
{
using juce::Colour;

Colour segmentColour(int segment)
{
    if (segment >= meterSegments - 4)
        return Colour(0xffff4b36);
    if (segment >= meterSegments - 10)
        return Colour(0xffffb43c);
    return Colour(0xff8fdc5a);
}

// One meter frame: a dark window whose segments light up from the bottom; the topmost
// lit segment glows partly, so every frame that lights anything differs from its neighbours.
void paintMeterFrame(juce::Graphics& g, int width, int height, float litSegments)
{
    const auto window = juce::Rectangle<float>((float)width, (float)height);
    g.setColour(Colour(0xff0b0b0a));
    g.fillRoundedRectangle(window, 6.0f);

    const auto bar = meterBar.toFloat();
    const float pitch = bar.getHeight() / (float)meterSegments;
    for (int s = 0; s < meterSegments; ++s)
    {
        const auto cell = juce::Rectangle<float>(bar.getX(), bar.getBottom() - (float)(s + 1) * pitch,
                                                 bar.getWidth(), pitch)
                              .reduced(0.0f, 1.8f);
        const float lit = juce::jlimit(0.0f, 1.0f, litSegments - (float)s);
        const auto colour = segmentColour(s);
        g.setColour(colour.withMultipliedBrightness(0.22f).withMultipliedSaturation(0.6f));
        g.fillRoundedRectangle(cell, 1.5f);
        if (lit > 0.0f)
        {
            g.setColour(colour.withAlpha(lit * 0.35f));
            g.fillRoundedRectangle(cell.expanded(2.5f, 1.5f), 3.0f);
            g.setColour(colour.withAlpha(lit));
            g.fillRoundedRectangle(cell, 1.5f);
            g.setColour(juce::Colours::white.withAlpha(lit * 0.35f));
            g.fillRect(cell.withHeight(1.5f).reduced(2.0f, 0.0f));
        }
    }

    // Glass: a faint reflection over the upper part and an inner shadow at the rim.
    g.setGradientFill(juce::ColourGradient(juce::Colours::white.withAlpha(0.07f), 0.0f, 0.0f,
                                           juce::Colours::transparentWhite, 0.0f, (float)height * 0.45f,
                                           false));
    g.fillRoundedRectangle(window.reduced(3.0f), 4.0f);
    g.setColour(juce::Colours::black);
    g.drawRoundedRectangle(window.reduced(1.0f), 6.0f, 2.0f);
}

juce::Path symbolPath(Symbol symbol, juce::Rectangle<float> area)
{
    juce::Path p;
    const auto c = area.getCentre();
    const float s = area.getWidth() * 0.5f;
    switch (symbol)
    {
    case Symbol::previous:
        p.addTriangle(c.x + s * 0.45f, c.y - s * 0.55f, c.x + s * 0.45f, c.y + s * 0.55f, c.x - s * 0.55f,
                      c.y);
        break;
    case Symbol::next:
        p.addTriangle(c.x - s * 0.45f, c.y - s * 0.55f, c.x - s * 0.45f, c.y + s * 0.55f, c.x + s * 0.55f,
                      c.y);
        break;
    case Symbol::save:
    {
        // An arrow down into a tray.
        juce::Path arrow;
        arrow.addArrow({c.x, c.y - s * 0.75f, c.x, c.y + s * 0.25f}, s * 0.24f, s * 0.72f, s * 0.5f);
        p.addPath(arrow);
        juce::Path tray;
        tray.startNewSubPath(c.x - s * 0.7f, c.y + s * 0.15f);
        tray.lineTo(c.x - s * 0.7f, c.y + s * 0.62f);
        tray.lineTo(c.x + s * 0.7f, c.y + s * 0.62f);
        tray.lineTo(c.x + s * 0.7f, c.y + s * 0.15f);
        juce::Path trayOutline;
        juce::PathStrokeType(s * 0.16f, juce::PathStrokeType::mitered, juce::PathStrokeType::square)
            .createStrokedPath(trayOutline, tray);
        p.addPath(trayOutline);
        break;
    }
    case Symbol::remove:
    {
        juce::Path cross;
        cross.startNewSubPath(c.x - s * 0.55f, c.y - s * 0.55f);
        cross.lineTo(c.x + s * 0.55f, c.y + s * 0.55f);
        cross.startNewSubPath(c.x + s * 0.55f, c.y - s * 0.55f);
        cross.lineTo(c.x - s * 0.55f, c.y + s * 0.55f);
        juce::PathStrokeType(s * 0.24f, juce::PathStrokeType::mitered, juce::PathStrokeType::rounded)
            .createStrokedPath(p, cross);
        break;
    }
    }
    return p;
}

void paintKeyCap(juce::Graphics& g, juce::Rectangle<float> state, Symbol symbol, bool pressed)
{
    // The caps keep clear of the state's sides: the Previous and Next buttons overlap on the panel.
    const auto cap = state.reduced(7.0f);
    juce::Path capPath;
    capPath.addRoundedRectangle(cap, 6.0f);
    juce::DropShadow(juce::Colours::black.withAlpha(pressed ? 0.5f : 0.85f), pressed ? 2 : 5,
                     {0, pressed ? 1 : 3})
        .drawForPath(g, capPath);

    g.setGradientFill(
        juce::ColourGradient(pressed ? Colour(0xff2b2925) : Colour(0xff57534b), cap.getTopLeft(),
                             pressed ? Colour(0xff1a1917) : Colour(0xff26241f), cap.getBottomLeft(), false));
    g.fillPath(capPath);
    g.setColour(juce::Colours::white.withAlpha(pressed ? 0.05f : 0.18f));
    g.drawRoundedRectangle(cap.reduced(1.0f), 5.0f, 1.2f);
    g.setColour(juce::Colours::black.withAlpha(0.8f));
    g.drawRoundedRectangle(cap, 6.0f, 1.0f);

    const auto glyphArea = cap.reduced(cap.getWidth() * 0.27f).translated(0.0f, pressed ? 1.5f : 0.0f);
    const auto glyph = symbolPath(symbol, glyphArea);
    g.setColour(juce::Colours::black.withAlpha(0.6f));
    g.fillPath(glyph, juce::AffineTransform::translation(0.0f, -1.0f));
    g.setColour(pressed ? Colour(0xffffc46a) : Palette::ink);
    g.fillPath(glyph);
}

void paintLamp(juce::Graphics& g, juce::Rectangle<float> state, Colour lamp, bool lit)
{
    const auto c = state.getCentre();
    const float r = 0.4f * juce::jmin(state.getWidth(), state.getHeight());
    const auto circle = [c](float radius)
    { return juce::Rectangle<float>(radius * 2.0f, radius * 2.0f).withCentre(c); };

    if (lit)
    {
        g.setGradientFill(juce::ColourGradient(lamp.withAlpha(0.45f), c, lamp.withAlpha(0.0f),
                                               c.translated(r * 1.22f, 0.0f), true));
        g.fillEllipse(circle(r * 1.22f));
    }

    juce::Path bezel;
    bezel.addEllipse(circle(r));
    juce::DropShadow(juce::Colours::black.withAlpha(0.8f), juce::roundToInt(r * 0.14f),
                     {0, juce::roundToInt(r * 0.08f)})
        .drawForPath(g, bezel);
    g.setGradientFill(juce::ColourGradient(Colour(0xfff2efe8), c.translated(-r, -r), Colour(0xff4a4844),
                                           c.translated(r, r), false));
    g.fillPath(bezel);
    g.setGradientFill(juce::ColourGradient(Colour(0xff56534d), c.translated(-r, -r), Colour(0xffdedad1),
                                           c.translated(r, r), false));
    g.fillEllipse(circle(r * 0.84f));

    const auto lens = circle(r * 0.72f);
    if (lit)
        g.setGradientFill(juce::ColourGradient(lamp.brighter(0.9f), c.translated(-r * 0.15f, -r * 0.2f),
                                               lamp.darker(0.4f), c.translated(r * 0.72f, 0.0f), true));
    else
        g.setGradientFill(juce::ColourGradient(
            lamp.withMultipliedBrightness(0.32f).withMultipliedSaturation(0.7f),
            c.translated(-r * 0.15f, -r * 0.2f), Colour(0xff0a0908), c.translated(r * 0.72f, 0.0f), true));
    g.fillEllipse(lens);

    // Faceted jewel: rings of facets catch the light when lit, barely show when dark.
    g.setColour(juce::Colours::white.withAlpha(lit ? 0.22f : 0.06f));
    for (int i = 0; i < 12; ++i)
    {
        const float a = juce::MathConstants<float>::twoPi * (float)i / 12.0f;
        g.drawLine({c.getPointOnCircumference(r * 0.3f, a), c.getPointOnCircumference(r * 0.7f, a)}, 1.0f);
    }
    g.drawEllipse(circle(r * 0.3f), 1.0f);

    g.setColour(juce::Colours::white.withAlpha(lit ? 0.7f : 0.25f));
    g.fillEllipse(
        juce::Rectangle<float>(r * 0.28f, r * 0.18f).withCentre(c.translated(-r * 0.25f, -r * 0.38f)));
    g.setColour(juce::Colours::black.withAlpha(0.7f));
    g.drawEllipse(lens, 1.5f);
}
} // namespace

juce::Image paintMeterStrip()
{
    constexpr int frames = 60, width = 51, height = 403;
    juce::Image strip(juce::Image::ARGB, width, height * frames, true);
    juce::Graphics g(strip);
    // The meter shows frame 1 at silence and never frame 0, so both are dark and frame n lights
    // n - 1 of the 58 steps up to the full bar.
    for (int k = 0; k < frames; ++k)
    {
        juce::Graphics::ScopedSaveState state(g);
        g.setOrigin(0, k * height);
        g.reduceClipRegion(0, 0, width, height);
        paintMeterFrame(g, width, height,
                        (float)meterSegments * (float)juce::jmax(k - 1, 0) / (float)(frames - 2));
    }
    return strip;
}

juce::Image paintPresetButton(Symbol symbol)
{
    juce::Image picture(juce::Image::ARGB, 60, 120, true);
    juce::Graphics g(picture);
    paintKeyCap(g, {0.0f, 0.0f, 60.0f, 60.0f}, symbol, false);
    paintKeyCap(g, {0.0f, 60.0f, 60.0f, 60.0f}, symbol, true);
    return picture;
}

juce::Image paintToggle(int width, int height, juce::Colour lamp)
{
    juce::Image picture(juce::Image::ARGB, width, height, true);
    juce::Graphics g(picture);
    const float half = (float)(height / 2);
    paintLamp(g, {0.0f, 0.0f, (float)width, half}, lamp, true);
    paintLamp(g, {0.0f, half, (float)width, half}, lamp, false);
    return picture;
}
} // namespace Painting
