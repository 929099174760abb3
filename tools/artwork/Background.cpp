#include "Painting.h"

#include "editor/CanvasLayout.h"

namespace Painting
{
namespace
{
using juce::Colour;
using juce::Point;
using juce::Rectangle;

class Engraver
{
  public:
    Engraver(juce::Graphics& context, juce::Typeface::Ptr typeface) : g(context), face(std::move(typeface)) {}

    juce::Font font(float height, float spacing = 0.12f) const
    {
        juce::Font f(face);
        f.setHeight(height);
        f.setExtraKerningFactor(spacing);
        return f;
    }

    /** Paints text as silk-screen ink with a faint shadow, so it sits on the metal. */
    void text(const juce::String& s, Rectangle<float> area, float height,
              juce::Justification j = juce::Justification::centred, Colour colour = Palette::ink,
              float spacing = 0.12f)
    {
        g.setFont(font(height, spacing));
        g.setColour(juce::Colours::black.withAlpha(0.6f));
        g.drawText(s, area.translated(0.0f, 1.6f), j, false);
        g.setColour(colour);
        g.drawText(s, area, j, false);
    }

    void textAt(const juce::String& s, Point<float> centre, float height, Colour colour = Palette::ink,
                float spacing = 0.12f)
    {
        text(s, Rectangle<float>(600.0f, height * 1.4f).withCentre(centre), height,
             juce::Justification::centred, colour, spacing);
    }

    /** An engraved groove: dark line with a lit lower edge. */
    void groove(juce::Line<float> line, float thickness = 2.0f)
    {
        g.setColour(juce::Colours::white.withAlpha(0.09f));
        g.drawLine(line.getStart().x, line.getStart().y + thickness, line.getEnd().x,
                   line.getEnd().y + thickness, thickness);
        g.setColour(juce::Colours::black.withAlpha(0.55f));
        g.drawLine(line, thickness);
    }

    juce::Graphics& g;

  private:
    juce::Typeface::Ptr face;
};

struct Scale
{
    int ticks;                // ticks evenly over the sweep, both ends included
    int majorEvery;           // every n-th tick is long
    juce::StringArray labels; // texts at the major ticks, from the minimum up; empty ones are skipped
};

// Ticks and numbers around a knob, on the same angles that its strip's pointer takes.
void engraveScale(Engraver& e, Rectangle<int> knob, const Scale& scale, float labelHeight)
{
    const auto centre = knob.toFloat().getCentre();
    const float radius = 0.4f * (float)juce::jmin(knob.getWidth(), knob.getHeight());
    int major = 0;
    for (int i = 0; i < scale.ticks; ++i)
    {
        const float a = knobAngle(i, scale.ticks);
        const bool isMajor = i % scale.majorEvery == 0;
        const float outer = radius * (isMajor ? 1.3f : 1.22f);
        e.g.setColour(isMajor ? Palette::ink : Palette::inkDim);
        e.g.drawLine(
            {centre.getPointOnCircumference(radius * 1.12f, a), centre.getPointOnCircumference(outer, a)},
            isMajor ? 3.0f : 2.0f);
        if (isMajor)
        {
            if (major < scale.labels.size() && scale.labels[major].isNotEmpty())
                e.textAt(scale.labels[major],
                         centre.getPointOnCircumference(radius * 1.3f + labelHeight * 0.95f, a), labelHeight,
                         Palette::ink, 0.02f);
            ++major;
        }
    }
}

void screw(juce::Graphics& g, Point<float> c, float r, float slotAngle)
{
    g.setColour(juce::Colours::black.withAlpha(0.5f));
    g.fillEllipse(Rectangle<float>(r * 2.3f, r * 2.3f).withCentre(c.translated(0.0f, 1.5f)));
    g.setGradientFill(juce::ColourGradient(Colour(0xffd8d4ca), c.translated(-r, -r), Colour(0xff55524b),
                                           c.translated(r, r), false));
    g.fillEllipse(Rectangle<float>(r * 2.0f, r * 2.0f).withCentre(c));
    g.setColour(Colour(0xff2a2824));
    const auto d = Point<float>(std::cos(slotAngle), std::sin(slotAngle)) * (r * 0.8f);
    g.drawLine({c - d, c + d}, r * 0.28f);
}

void recess(juce::Graphics& g, Rectangle<float> area, float corner, Colour fill)
{
    g.setColour(juce::Colours::white.withAlpha(0.08f));
    g.fillRoundedRectangle(area.translated(0.0f, 2.0f), corner);
    g.setColour(fill);
    g.fillRoundedRectangle(area, corner);
    g.setGradientFill(juce::ColourGradient(juce::Colours::black.withAlpha(0.5f), area.getX(), area.getY(),
                                           juce::Colours::transparentBlack, area.getX(), area.getY() + 14.0f,
                                           false));
    g.fillRoundedRectangle(area, corner);
}

// Brushed steel: every row carries its own streaks, a few shades lighter or darker for a
// random stretch; they run along the rows, which also keeps the picture small.
void brushMetal(juce::Image& image, int seed, int strength)
{
    juce::Random random(seed);
    juce::Image::BitmapData pixels(image, juce::Image::BitmapData::readWrite);
    for (int y = 0; y < pixels.height; ++y)
    {
        int shade = random.nextInt(2 * strength + 1) - strength;
        for (int x = 0; x < pixels.width; ++x)
        {
            if (random.nextInt(48) == 0)
                shade = juce::jlimit(-strength, strength, shade + random.nextInt(5) - 2);
            auto* p = reinterpret_cast<juce::PixelARGB*>(pixels.getPixelPointer(x, y));
            const auto shift = [shade](juce::uint8 v)
            { return (juce::uint8)juce::jlimit(0, 255, (int)v + shade); };
            p->setARGB(p->getAlpha(), shift(p->getRed()), shift(p->getGreen()), shift(p->getBlue()));
        }
    }
}

void paintPanel(juce::Graphics& g, Engraver& e)
{
    const auto canvas = Rectangle<float>((float)CanvasLayout::width, (float)CanvasLayout::height);

    // Edge of the case: a lit top edge, a dark bottom edge, and an inner engraved border.
    g.setColour(juce::Colours::white.withAlpha(0.10f));
    g.fillRect(canvas.withHeight(4.0f));
    g.setColour(juce::Colours::black.withAlpha(0.45f));
    g.fillRect(canvas.withTop(canvas.getBottom() - 6.0f));
    g.setColour(juce::Colours::black.withAlpha(0.35f));
    g.drawRoundedRectangle(canvas.reduced(18.0f), 14.0f, 2.0f);
    g.setColour(juce::Colours::white.withAlpha(0.06f));
    g.drawRoundedRectangle(canvas.reduced(20.0f), 14.0f, 1.0f);

    int n = 0;
    for (const auto c :
         {Point<float>(46, 46), Point<float>(2514, 46), Point<float>(46, 1454), Point<float>(2514, 1454)})
        screw(g, c, 13.0f, 0.4f + 0.9f * (float)n++);

    // Section grooves: brand | output and filters | drive | trims.
    e.groove({40.0f, 176.0f, 2520.0f, 176.0f});
    e.groove({690.0f, 200.0f, 690.0f, 1430.0f});
    e.groove({1000.0f, 200.0f, 1000.0f, 1430.0f});
    e.groove({1960.0f, 200.0f, 1960.0f, 1430.0f});
}

void paintHeader(juce::Graphics& g, Engraver& e)
{
    recess(g, {930.0f, 12.0f, 878.0f, 134.0f}, 10.0f, Palette::panelDark);
    recess(g, CanvasLayout::presetBox.toFloat().reduced(4.0f, 10.0f), 6.0f, Palette::recess);
    e.text("PRESET", {760.0f, 50.0f, 160.0f, 40.0f}, 26.0f, juce::Justification::centredRight);
}

void paintBrand(juce::Graphics& g, Engraver& e)
{
    e.text("CALVORRA", {100.0f, 232.0f, 520.0f, 40.0f}, 28.0f, juce::Justification::centred, Palette::inkDim,
           0.5f);
    e.text("BRIMWELL", {60.0f, 280.0f, 600.0f, 120.0f}, 100.0f, juce::Justification::centred, Palette::ink,
           0.03f);
    e.groove({140.0f, 412.0f, 580.0f, 412.0f});
    e.text("NEURAL DRIVE", {100.0f, 424.0f, 520.0f, 40.0f}, 30.0f, juce::Justification::centred, Palette::ink,
           0.45f);

    // A perforated vent, as over the valves of a small amplifier.
    const auto vent = Rectangle<float>(120.0f, 540.0f, 480.0f, 500.0f);
    recess(g, vent.expanded(14.0f), 16.0f, Palette::panelDark);
    const float pitch = 24.0f;
    for (int row = 0; row * pitch * 0.866f <= vent.getHeight() - 10.0f; ++row)
    {
        const float y = vent.getY() + 8.0f + (float)row * pitch * 0.866f;
        for (float x = vent.getX() + 10.0f + (row % 2 ? pitch * 0.5f : 0.0f); x <= vent.getRight() - 10.0f;
             x += pitch)
        {
            g.setColour(juce::Colours::white.withAlpha(0.10f));
            g.fillEllipse(x - 7.0f, y - 5.5f, 14.0f, 14.0f);
            g.setColour(Colour(0xff050505));
            g.fillEllipse(x - 7.0f, y - 7.0f, 14.0f, 14.0f);
        }
    }
}

void paintNameplate(juce::Graphics& g, Engraver& e)
{
    const auto plate = Rectangle<float>(1600.0f, 560.0f, 300.0f, 150.0f);
    g.setColour(juce::Colours::black.withAlpha(0.5f));
    g.fillRoundedRectangle(plate.translated(0.0f, 3.0f), 8.0f);
    g.setGradientFill(juce::ColourGradient(Colour(0xffcfc6ae), plate.getTopLeft(), Colour(0xff9d9580),
                                           plate.getBottomRight(), false));
    g.fillRoundedRectangle(plate, 8.0f);
    g.setColour(Colour(0xff2a2824));
    g.drawRoundedRectangle(plate.reduced(8.0f), 5.0f, 2.0f);
    for (const auto c :
         {plate.getTopLeft().translated(18, 18), plate.getTopRight().translated(-18, 18),
          plate.getBottomLeft().translated(18, -18), plate.getBottomRight().translated(-18, -18)})
        screw(g, c, 6.0f, c.x * 0.01f);
    e.text("BW-1", plate.withHeight(100.0f).translated(0.0f, 14.0f), 64.0f, juce::Justification::centred,
           Colour(0xff2a2824), 0.1f);
    e.text("NEURAL DRIVE UNIT", plate.withTrimmedTop(92.0f).withHeight(34.0f), 17.0f,
           juce::Justification::centred, Colour(0xff2a2824), 0.2f);
}

void paintMeters(juce::Graphics& g, Engraver& e)
{
    for (const auto& meter : {CanvasLayout::leftMeter, CanvasLayout::rightMeter})
        recess(g, meter.toFloat().expanded(7.0f), 9.0f, Palette::recess);

    e.textAt("OUTPUT", {840.0f, 298.0f}, 30.0f);
    e.textAt("L", {CanvasLayout::leftMeter.toFloat().getCentreX(), 778.0f}, 26.0f);
    e.textAt("R", {CanvasLayout::rightMeter.toFloat().getCentreX(), 778.0f}, 26.0f);

    // A level L shows frame 60 L + 1 (the meter's frame rule), and frame n lights n - 1 of the
    // bar's 58 steps, so the decibel marks sit where 60 L / 58 of the bar ends.
    const auto bar = meterBar.toFloat() + CanvasLayout::leftMeter.getPosition().toFloat();
    for (const int db : {0, -3, -6, -10, -20})
    {
        const float level = std::pow(10.0f, (float)db / 20.0f);
        const float lit = juce::jmin(1.0f, 60.0f * level / 58.0f);
        const float y = bar.getBottom() - lit * bar.getHeight();
        g.setColour(Palette::ink);
        g.drawLine(832.0f, y, 848.0f, y, 2.5f);
        g.drawLine(750.0f, y, 764.0f, y, 2.5f);
        e.text(db == 0 ? "0" : juce::String(db), {690.0f, y - 14.0f, 56.0f, 28.0f}, 24.0f,
               juce::Justification::centredRight, Palette::ink, 0.0f);
    }
    e.text("dB", {690.0f, 760.0f, 54.0f, 24.0f}, 18.0f, juce::Justification::centredRight, Palette::inkDim,
           0.0f);
}

void paintKnobLegends(Engraver& e)
{
    using CL = juce::StringArray;
    const auto centreOf = [](Rectangle<int> r) { return r.toFloat().getCentre(); };

    engraveScale(e, CanvasLayout::driveKnob,
                 {21, 2, CL{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}}, 24.0f);
    e.textAt("DRIVE", centreOf(CanvasLayout::driveKnob).translated(0.0f, 184.0f), 38.0f);

    engraveScale(e, CanvasLayout::boostKnob, {5, 1, CL{"0", "1", "2", "3", "4"}}, 34.0f);
    e.textAt("BOOST", centreOf(CanvasLayout::boostKnob).translated(0.0f, 262.0f), 38.0f);

    const Scale trim{25, 4, CL{"-12", "", "", "0", "", "", "+12"}};
    engraveScale(e, CanvasLayout::intrimKnob, trim, 23.0f);
    e.textAt("INPUT ADJ", centreOf(CanvasLayout::intrimKnob).translated(0.0f, -172.0f), 30.0f);
    engraveScale(e, CanvasLayout::outtrimKnob, trim, 23.0f);
    e.textAt("OUTPUT ADJ", centreOf(CanvasLayout::outtrimKnob).translated(0.0f, -172.0f), 30.0f);
    engraveScale(e, CanvasLayout::drymixKnob, {21, 5, CL{"0", "25", "50", "75", "100"}}, 23.0f);
    e.textAt("DRY MIX", centreOf(CanvasLayout::drymixKnob).translated(0.0f, -168.0f), 30.0f);

    engraveScale(e, CanvasLayout::hpKnob, {11, 10, CL{"20", "500"}}, 21.0f);
    e.textAt("HIGH PASS", centreOf(CanvasLayout::hpKnob).translated(0.0f, -122.0f), 28.0f);
    engraveScale(e, CanvasLayout::lpKnob, {11, 10, CL{"2k", "20k"}}, 21.0f);
    e.textAt("LOW PASS", centreOf(CanvasLayout::lpKnob).translated(0.0f, 134.0f), 28.0f);
}

void paintToggleLegends(Engraver& e)
{
    const auto above = [](Rectangle<int> r, float gap)
    { return Point<float>(r.toFloat().getCentreX(), (float)r.getY() - gap); };
    e.textAt("AUTOGAIN", above(CanvasLayout::linkToggle, 14.0f), 26.0f);
    e.textAt("ULTRA MODE", above(CanvasLayout::ultraXToggle, 12.0f), 26.0f);
    e.textAt("POWER", above(CanvasLayout::powerToggle, 24.0f), 30.0f);
}
} // namespace

juce::Image paintBackground(juce::Typeface::Ptr engravingFont)
{
    juce::Image picture(juce::Image::ARGB, CanvasLayout::width, CanvasLayout::height, true);
    {
        juce::Graphics g(picture);
        g.setGradientFill(juce::ColourGradient(Palette::panel.brighter(0.12f), 0.0f, 0.0f,
                                               Palette::panel.darker(0.25f), 0.0f,
                                               (float)CanvasLayout::height, false));
        g.fillAll();
    }
    brushMetal(picture, 1500, 6);

    juce::Graphics g(picture);
    // Drawn in canvas units: the editor stretches only the picture's top-left 2548 x 1476
    // over the canvas, so this keeps every legend under its control at any window size.
    g.addTransform(
        juce::AffineTransform::scale((float)CanvasLayout::shownPictureWidth / (float)CanvasLayout::width,
                                     (float)CanvasLayout::shownPictureHeight / (float)CanvasLayout::height));
    Engraver e(g, std::move(engravingFont));
    paintPanel(g, e);
    paintHeader(g, e);
    paintBrand(g, e);
    paintMeters(g, e);
    paintNameplate(g, e);
    paintKnobLegends(e);
    paintToggleLegends(e);
    return picture;
}
} // namespace Painting
