#pragma once

// Bytes in the framework's binary value-tree form, written piece by piece so that tests can
// make them wrong in exactly one place.

#include <juce_data_structures/juce_data_structures.h>

#include <string_view>

class StateBytes
{
  public:
    /** A zero-terminated string: a tree's type or a property's name. */
    StateBytes& name(const char* text)
    {
        stream().writeString(text);
        return *this;
    }

    /** A compressed int: a count or a value's size. */
    StateBytes& count(int value)
    {
        stream().writeCompressedInt(value);
        return *this;
    }

    StateBytes& byte(int value)
    {
        stream().writeByte((char)value);
        return *this;
    }

    StateBytes& raw(std::string_view bytes)
    {
        stream().write(bytes.data(), bytes.size());
        return *this;
    }

    StateBytes& padding(size_t numBytes)
    {
        for (size_t i = 0; i < numBytes; ++i)
            byte('x');
        return *this;
    }

    /** A binary value of the given size. */
    StateBytes& blob(size_t numBytes) { return count((int)numBytes + 1).byte(8).padding(numBytes); }

    juce::MemoryBlock bytes() const { return block; }

  private:
    juce::MemoryOutputStream stream() { return juce::MemoryOutputStream(block, true); }

    juce::MemoryBlock block;
};

inline juce::MemoryBlock bytesOf(const juce::ValueTree& tree)
{
    juce::MemoryOutputStream out;
    tree.writeToStream(out);
    return out.getMemoryBlock();
}
