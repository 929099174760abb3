// Runs a fuzz target without libFuzzer, over the files and folders named on the command line,
// so that its seeds and the inputs it once failed on run in every build, by any compiler.
// Options (arguments starting with '-') are libFuzzer's and are ignored.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const fs::path path(argv[i]);
        if (argv[i][0] == '-')
            continue;
        if (!fs::is_directory(path))
            inputs.push_back(path);
        else
            for (const auto& entry : fs::recursive_directory_iterator(path))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());

    for (const auto& input : inputs)
    {
        std::ifstream stream(input, std::ios::binary);
        if (!stream)
        {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(stream),
                                      std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs run\n", inputs.size());
    // A folder that holds nothing would pass without testing anything.
    return inputs.empty() ? 1 : 0;
}
