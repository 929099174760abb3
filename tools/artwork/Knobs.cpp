#include "Painting.h"

namespace Painting
{
namespace
{
using juce::Colour;
using juce::Point;

Point<float> onCircle(Point<float> centre, float radius, float angle)
{
    return centre.getPointOnCircumference(radius, angle);
}

// Spun aluminium: rings of slightly varying brightness under a fixed light from the top left.
void paintSpunCap(juce::Graphics& g, Point<float> centre, float radius, int seed)
{
    const auto area = juce::Rectangle<float>(radius * 2.0f, radius * 2.0f).withCentre(centre);
    g.setGradientFill(juce::ColourGradient(Colour(0xffe9e6df), area.getTopLeft(), Colour(0xff6d6b66),
                                           area.getBottomRight(), false));
    g.fillEllipse(area);

    // Two beating ripples rather than noise: the look of a lathe's rings, and frames that compress.
    const float phase = (float)(seed % 7);
    for (float r = radius; r > 1.0f; r -= 2.0f)
    {
        const float ripple = std::sin(r * 0.9f + phase) + 0.6f * std::sin(r * 0.23f);
        g.setColour((ripple > 0.0f ? juce::Colours::white : juce::Colours::black)
                        .withAlpha(0.05f * std::abs(ripple)));
        g.drawEllipse(juce::Rectangle<float>(r * 2.0f, r * 2.0f).withCentre(centre), 1.2f);
    }

    // The sheen of spun metal: two opposite bright wedges.
    for (const float a : {-0.75f, 2.39f})
    {
        juce::Path wedge;
        wedge.addPieSegment(area, a - 0.35f, a + 0.35f, 0.0f);
        g.setColour(juce::Colours::white.withAlpha(0.16f));
        g.fillPath(wedge);
    }

    g.setColour(juce::Colours::black.withAlpha(0.55f));
    g.drawEllipse(area, 1.2f);
}

// The parts of a capped knob that do not turn: shadow, knurled skirt and cap.
juce::Image paintCappedBody(int w, int h, float radius)
{
    juce::Image body(juce::Image::ARGB, w, h, true);
    juce::Graphics g(body);
    const Point<float> centre(w * 0.5f, h * 0.5f);

    juce::Path disc;
    disc.addEllipse(juce::Rectangle<float>(radius * 2.0f, radius * 2.0f).withCentre(centre));
    juce::DropShadow(juce::Colours::black.withAlpha(0.75f), juce::roundToInt(radius * 0.16f),
                     {0, juce::roundToInt(radius * 0.09f)})
        .drawForPath(g, disc);

    const auto skirt = disc.getBounds();
    g.setGradientFill(juce::ColourGradient(Colour(0xff3a3834), skirt.getTopLeft(), Palette::bakelite,
                                           skirt.getBottomRight(), false));
    g.fillPath(disc);

    // Knurled grip between the skirt and the cap.
    const int ridges = 60;
    for (int i = 0; i < ridges; ++i)
    {
        const float a = juce::MathConstants<float>::twoPi * (float)i / (float)ridges;
        const float light = 0.5f + 0.5f * std::cos(a + 0.8f);
        g.setColour(Colour(0xff000000).interpolatedWith(Colour(0xff77746c), light * 0.7f));
        g.drawLine({onCircle(centre, radius * 0.70f, a), onCircle(centre, radius * 0.84f, a)},
                   radius * 0.035f);
    }

    g.setColour(juce::Colours::white.withAlpha(0.10f));
    g.drawEllipse(skirt.reduced(1.0f), 1.5f);

    const float capRadius = radius * 0.62f;
    juce::Path capShadow;
    capShadow.addEllipse(juce::Rectangle<float>(capRadius * 2.0f, capRadius * 2.0f).withCentre(centre));
    juce::DropShadow(juce::Colours::black.withAlpha(0.7f), juce::roundToInt(radius * 0.06f),
                     {0, juce::roundToInt(radius * 0.03f)})
        .drawForPath(g, capShadow);
    paintSpunCap(g, centre, capRadius, w * 31 + h);
    return body;
}

void paintCappedFrame(juce::Graphics& g, const juce::Image& body, Point<float> centre, float radius,
                      float angle)
{
    g.drawImageAt(body, 0, 0);

    // Painted line on the skirt, engraved line on the cap: the position reads from both.
    g.setColour(Palette::ink);
    g.drawLine({onCircle(centre, radius * 0.7f, angle), onCircle(centre, radius * 0.99f, angle)},
               radius * 0.06f);
    juce::Path line;
    line.startNewSubPath(onCircle(centre, radius * 0.14f, angle));
    line.lineTo(onCircle(centre, radius * 0.56f, angle));
    g.setColour(juce::Colours::black.withAlpha(0.75f));
    g.strokePath(line, juce::PathStrokeType(radius * 0.05f, juce::PathStrokeType::curved,
                                            juce::PathStrokeType::rounded));
    g.setColour(juce::Colours::white.withAlpha(0.35f));
    g.strokePath(
        line,
        juce::PathStrokeType(radius * 0.018f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded),
        juce::AffineTransform::translation(radius * 0.012f, radius * 0.02f));
}

juce::Path chickenHeadOutline(Point<float> centre, float radius, float angle)
{
    juce::Path p;
    p.startNewSubPath(0.0f, -radius * 0.98f);
    p.cubicTo(radius * 0.16f, -radius * 0.9f, radius * 0.34f, -radius * 0.55f, radius * 0.42f,
              -radius * 0.2f);
    p.cubicTo(radius * 0.55f, radius * 0.25f, radius * 0.42f, radius * 0.68f, 0.0f, radius * 0.72f);
    p.cubicTo(-radius * 0.42f, radius * 0.68f, -radius * 0.55f, radius * 0.25f, -radius * 0.42f,
              -radius * 0.2f);
    p.cubicTo(-radius * 0.34f, -radius * 0.55f, -radius * 0.16f, -radius * 0.9f, 0.0f, -radius * 0.98f);
    p.closeSubPath();
    p.applyTransform(juce::AffineTransform::rotation(angle).translated(centre));
    return p;
}

void paintChickenHeadFrame(juce::Graphics& g, Point<float> centre, float radius, float angle)
{
    // Skirted base under the pointer, lit from the top left like the other knobs.
    const auto baseArea = juce::Rectangle<float>(radius * 1.3f, radius * 1.3f).withCentre(centre);
    juce::Path base;
    base.addEllipse(baseArea);
    juce::DropShadow(juce::Colours::black.withAlpha(0.7f), juce::roundToInt(radius * 0.12f),
                     {0, juce::roundToInt(radius * 0.07f)})
        .drawForPath(g, base);
    g.setGradientFill(juce::ColourGradient(Colour(0xff3a3834), baseArea.getTopLeft(), Palette::bakelite,
                                           baseArea.getBottomRight(), false));
    g.fillPath(base);
    g.setColour(juce::Colours::white.withAlpha(0.14f));
    g.drawEllipse(baseArea.reduced(1.5f), 2.0f);

    const auto head = chickenHeadOutline(centre, radius, angle);
    juce::DropShadow(juce::Colours::black.withAlpha(0.8f), juce::roundToInt(radius * 0.1f),
                     {juce::roundToInt(radius * 0.02f), juce::roundToInt(radius * 0.08f)})
        .drawForPath(g, head);

    const auto bounds = head.getBounds();
    g.setGradientFill(juce::ColourGradient(Colour(0xff4a4640), {centre.x - radius, centre.y - radius},
                                           Colour(0xff0d0c0b), {centre.x + radius * 0.6f, centre.y + radius},
                                           false));
    g.fillPath(head);

    // A soft highlight from the fixed light, clipped to the turning shape.
    {
        juce::Graphics::ScopedSaveState state(g);
        g.reduceClipRegion(head);
        g.setGradientFill(juce::ColourGradient(
            juce::Colours::white.withAlpha(0.22f), centre.translated(-radius * 0.3f, -radius * 0.5f),
            juce::Colours::transparentWhite, centre.translated(radius * 0.2f, radius * 0.2f), true));
        g.fillRect(bounds);
    }
    g.setColour(juce::Colours::white.withAlpha(0.12f));
    g.strokePath(head, juce::PathStrokeType(1.5f));

    g.setColour(Palette::ink);
    g.drawLine({onCircle(centre, radius * 0.18f, angle), onCircle(centre, radius * 0.9f, angle)},
               radius * 0.045f);

    paintSpunCap(g, centre, radius * 0.16f, 7);
}
} // namespace

float knobAngle(int frame, int frames)
{
    const float t = frames > 1 ? (float)frame / (float)(frames - 1) : 0.0f;
    return -knobHalfSweep + 2.0f * knobHalfSweep * t;
}

juce::Image paintKnobStrip(KnobKind kind, int frameWidth, int frameHeight, int frames)
{
    juce::Image strip(juce::Image::ARGB, frameWidth, frameHeight * frames, true);
    const float radius = 0.4f * (float)juce::jmin(frameWidth, frameHeight);
    const Point<float> centre(frameWidth * 0.5f, frameHeight * 0.5f);
    const auto body =
        kind == KnobKind::capped ? paintCappedBody(frameWidth, frameHeight, radius) : juce::Image();

    juce::Graphics g(strip);
    for (int k = 0; k < frames; ++k)
    {
        juce::Graphics::ScopedSaveState state(g);
        g.setOrigin(0, k * frameHeight);
        g.reduceClipRegion(0, 0, frameWidth, frameHeight);
        if (kind == KnobKind::capped)
            paintCappedFrame(g, body, centre, radius, knobAngle(k, frames));
        else
            paintChickenHeadFrame(g, centre, radius, knobAngle(k, frames));
    }
    return strip;
}
} // namespace Painting
