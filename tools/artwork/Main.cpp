// Draws the editor's 16 pictures and writes them as PNG files.
//
//   brimwell_artwork <output folder> <engraving font.ttf>
//
// The build runs it and compiles the pictures into the plug-in; the art lives in this code,
// so nothing large is kept in the repository. Every run gives the same bytes.

#include "Painting.h"

#include <functional>
#include <iostream>
#include <thread>

namespace
{
struct Picture
{
    const char* fileName;
    std::function<juce::Image()> paint;
};

bool writePng(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out(file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream(image, out);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3)
    {
        std::cerr << "usage: brimwell_artwork <output folder> <engraving font.ttf>\n";
        return 2;
    }

    const juce::File folder(
        juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(argv[1])));
    juce::MemoryBlock fontData;
    if (!juce::File::getCurrentWorkingDirectory()
             .getChildFile(juce::String::fromUTF8(argv[2]))
             .loadFileAsData(fontData))
    {
        std::cerr << "error: cannot read font " << argv[2] << "\n";
        return 1;
    }
    auto font = juce::Typeface::createSystemTypefaceFor(fontData.getData(), fontData.getSize());
    if (font == nullptr || !folder.createDirectory())
    {
        std::cerr << "error: no usable font or output folder\n";
        return 1;
    }

    using Painting::KnobKind;
    using Painting::Symbol;
    const std::vector<Picture> pictures{
        {"background.png", [font] { return Painting::paintBackground(font); }},
        {"knob_drive.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 259, 263, 64); }},
        {"knob_boost.png", [] { return Painting::paintKnobStrip(KnobKind::chickenHead, 424, 451, 5); }},
        {"knob_drymix.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 219, 203, 64); }},
        {"knob_intrim.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 218, 214, 64); }},
        {"knob_outtrim.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 216, 217, 64); }},
        {"knob_lowpass.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 176, 174, 64); }},
        {"knob_highpass.png", [] { return Painting::paintKnobStrip(KnobKind::capped, 190, 181, 64); }},
        {"meter.png", [] { return Painting::paintMeterStrip(); }},
        {"button_save.png", [] { return Painting::paintPresetButton(Symbol::save); }},
        {"button_delete.png", [] { return Painting::paintPresetButton(Symbol::remove); }},
        {"button_previous.png", [] { return Painting::paintPresetButton(Symbol::previous); }},
        {"button_next.png", [] { return Painting::paintPresetButton(Symbol::next); }},
        {"toggle_autogain.png", [] { return Painting::paintToggle(128, 248, juce::Colour(0xffffb347)); }},
        {"toggle_ultra.png", [] { return Painting::paintToggle(135, 262, juce::Colour(0xff5fc8ff)); }},
        {"toggle_power.png", [] { return Painting::paintToggle(192, 350, juce::Colour(0xffff4a36)); }},
    };

    // Each picture is independent; drawing them side by side keeps the build step short.
    std::vector<char> written(pictures.size(), 0);
    std::vector<std::thread> workers;
    for (size_t i = 0; i < pictures.size(); ++i)
        workers.emplace_back(
            [&, i]
            { written[i] = writePng(pictures[i].paint(), folder.getChildFile(pictures[i].fileName)); });
    for (auto& w : workers)
        w.join();

    int failures = 0;
    for (size_t i = 0; i < pictures.size(); ++i)
        if (!written[i])
        {
            std::cerr << "error: cannot write " << pictures[i].fileName << "\n";
            ++failures;
        }
    return failures == 0 ? 0 : 1;
}
