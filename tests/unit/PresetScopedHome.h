#pragma once

#include "../TestEnvironment.h"

#include <juce_core/juce_core.h>

#include <cstdlib>

/** Points HOME at a fresh temporary folder while it lives, so that the preset folder, which
    the framework derives from HOME on Linux, is created inside it. */
class ScopedTemporaryHome
{
  public:
    ScopedTemporaryHome()
        : previous(std::getenv("HOME") != nullptr ? juce::String(std::getenv("HOME")) : juce::String()),
          folder(juce::String(useTemporaryHome()))
    {
    }

    ~ScopedTemporaryHome()
    {
        if (previous.isEmpty())
            unsetenv("HOME");
        else
            setenv("HOME", previous.toRawUTF8(), 1);
        folder.deleteRecursively();
    }

    const juce::File& path() const noexcept { return folder; }

  private:
    const juce::String previous;
    const juce::File folder;

    JUCE_DECLARE_NON_COPYABLE(ScopedTemporaryHome)
};
