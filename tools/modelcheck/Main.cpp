// Loads every model file given on the command line as the plug-in will, and fails the
// build with the file's name and the loader's message when one does not load.

#include "model/RT_LSTM.h"

#include <iostream>

int main(int argc, char* argv[])
{
    int failures = 0;
    for (int i = 1; i < argc; ++i)
    {
        const juce::File file(juce::String::fromUTF8(argv[i]));
        juce::MemoryBlock bytes;
        if (!file.loadFileAsData(bytes))
        {
            std::cerr << "error: cannot read model file " << argv[i] << "\n";
            ++failures;
            continue;
        }
        try
        {
            RT_LSTM network;
            network.load_json(bytes);
            if (network.input_size != 1)
                throw std::runtime_error("input_size is " + std::to_string(network.input_size) +
                                         ", the plug-in runs 1");
        }
        catch (const std::exception& e)
        {
            std::cerr << "error: model file " << argv[i] << " does not load: " << e.what() << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
