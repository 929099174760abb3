#include "editor/FilmStripComponent.h"

FilmStripComponent::FilmStripComponent(std::atomic<float>& levelToShow, float opacityToDrawWith)
    : level(&levelToShow), opacity(opacityToDrawWith)
{
}

FilmStripComponent::~FilmStripComponent() = default;

void FilmStripComponent::setFilmstrip(juce::Image strip, unsigned long frames)
{
    filmstrip = std::move(strip);
    numFrames = frames;
    startTimer(33);
}

int FilmStripComponent::frameIndexFor(float value, unsigned long frames)
{
    // A level that is not a number, or a huge one, would make the truncation undefined.
    const float v = std::isnan(value) ? 0.0f : juce::jlimit(0.0f, (float)frames, value);
    const auto idx = (int)(v * (float)frames);
    return juce::jmin(idx + 1, (int)frames - 1);
}

void FilmStripComponent::paint(juce::Graphics& g)
{
    if (!filmstrip.isValid() || numFrames == 0)
        return;

    const int frame = frameIndexFor(level->load(), numFrames);
    const int frameHeight = filmstrip.getHeight() / (int)numFrames;
    g.setOpacity(opacity);
    g.drawImage(filmstrip, 0, 0, getWidth(), getHeight(), 0, frame * frameHeight, filmstrip.getWidth(),
                frameHeight);
}

void FilmStripComponent::timerCallback()
{
    repaint();
}
