// Host state bytes, as a session file hands them to setStateInformation: whatever they hold,
// every parameter stays finite and in its range, the blocks that follow and the next
// preparation run with finite output, and the state saved then restores to the same values.

#include "FuzzedProcessor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzedProcessor fuzzed;
    fuzzed.restoreDefaults();

    fuzzed.processor.setStateInformation(data, (int)size);
    fuzzed.checkParameters();
    fuzzed.checkBlocks();

    const auto restored = fuzzed.parameterValues();
    const auto saved = fuzzed.saveState();
    fuzzed.prepare();
    fuzzed.checkBlocks();

    fuzzed.restoreDefaults();
    fuzzed.processor.setStateInformation(saved.getData(), (int)saved.getSize());
    fuzzed.checkParameters();
    fuzzed.checkSameValues(restored);
    return 0;
}
