#include "NetworkChoice.h"

#include "processor/ChainFormulas.h"

int NetworkChoice::networkIndex(int groupOffset, float boost) noexcept
{
    return (int)((float)groupOffset + ChainFormulas::heldBoost(boost));
}

std::optional<NetworkChoice::AtPreparation> NetworkChoice::atPreparation(double sampleRate, bool ultraMode,
                                                                         float boost) noexcept
{
    struct Row
    {
        double rate;
        int order, offsetUltraOff, offsetUltraOn;
    };
    static constexpr Row table[] = {
        {44100.0, 1, 15, 0},  {48000.0, 1, 15, 5},   {88200.0, 0, 15, 10},
        {96000.0, 0, 15, 15}, {176400.0, 0, 20, 20}, {192000.0, 0, 20, 20},
    };

    for (const auto& row : table)
        if (sampleRate == row.rate)
            return AtPreparation{row.order,
                                 networkIndex(ultraMode ? row.offsetUltraOn : row.offsetUltraOff, boost)};

    return std::nullopt;
}

std::optional<int> NetworkChoice::atBlock(double sampleRate, bool ultraMode, float boost) noexcept
{
    if (!ultraMode)
        return networkIndex(sampleRate == 192000.0 ? 20 : 15, boost);

    struct Row
    {
        double rate;
        int offset;
    };
    // 176.4 kHz is missing here, unlike in the preparation table.
    static constexpr Row table[] = {{44100.0, 0}, {48000.0, 5}, {88200.0, 10}, {96000.0, 15}, {192000.0, 20}};

    for (const auto& row : table)
        if (sampleRate == row.rate)
            return networkIndex(row.offset, boost);

    return std::nullopt;
}
