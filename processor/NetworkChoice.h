#pragma once

#include <optional>

/** The two rate tables that pick a network, one for preparation and one for blocks. They differ on purpose
    and are used as they stand; rates are compared exactly with the listed values. */
struct NetworkChoice
{
    /** What preparation sets at a listed rate. */
    struct AtPreparation
    {
        int oversamplingOrder = 1;
        int networkIndex = 0;
    };

    /** Preparation table: order and network for a listed rate, nothing otherwise. */
    static std::optional<AtPreparation> atPreparation(double sampleRate, bool ultraMode,
                                                      float boost) noexcept;

    /** Block table: the next network, or nothing where the rate allows no choice. */
    static std::optional<int> atBlock(double sampleRate, bool ultraMode, float boost) noexcept;

    /** Group offset plus Boost (held to its range), added in single precision and truncated toward zero. */
    static int networkIndex(int groupOffset, float boost) noexcept;
};
