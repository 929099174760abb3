#include "StateBytesCheck.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace
{
// The markers of the framework's binary var form.
enum Marker : std::uint8_t
{
    intMarker = 1,
    boolTrueMarker = 2,
    boolFalseMarker = 3,
    doubleMarker = 4,
    stringMarker = 5,
    int64Marker = 6,
    arrayMarker = 7,
    binaryMarker = 8,
};

/** The kind of value a property must hold where the writer only ever writes that kind. */
enum class Kind
{
    any,
    text,
    flag,
};

/** The preset properties on the root, and each parameter child's "id", are read as text and as a
    switch; the framework turns a number into text by way of an int cast, which a NaN makes
    undefined. The writer writes these as text and as a bool, so nothing else is taken. */
Kind kindOf(std::string_view property, int depth) noexcept
{
    if (depth == 1 && property == "Current_Selected_Preset")
        return Kind::text;
    if (depth == 1 && property == "Preset_Has_Been_Modified")
        return Kind::flag;
    if (depth == 2 && property == "id")
        return Kind::text;
    return Kind::any;
}

/** One pass over the bytes; every read is checked against the end first. */
class Walk
{
  public:
    Walk(const std::uint8_t* start, std::size_t size) : position(start), end(start + size) {}

    /** Type name, properties, children; as ValueTree::readFromStream reads them. */
    bool tree(int depth) noexcept
    {
        std::size_t numProperties = 0, numChildren = 0;
        std::string_view text;
        if (depth > StateBytesCheck::maxDepth || !name(text) || !count(numProperties))
            return false;

        for (std::size_t i = 0; i < numProperties; ++i)
            if (!name(text) || !value(depth, kindOf(text, depth)))
                return false;

        if (!count(numChildren))
            return false;

        for (std::size_t i = 0; i < numChildren; ++i)
            if (!tree(depth + 1))
                return false;

        return true;
    }

  private:
    std::size_t remaining() const noexcept { return (std::size_t)(end - position); }

    bool skip(std::size_t numBytes) noexcept
    {
        if (numBytes > remaining())
            return false;
        position += numBytes;
        return true;
    }

    /** InputStream::readCompressedInt: a byte with the length (and the sign in its top bit),
        then up to four little-endian bytes. Only values the reader turns into a non-negative
        int pass. */
    bool compressedInt(std::size_t& result) noexcept
    {
        if (remaining() < 1)
            return false;

        const auto head = *position++;
        const std::size_t numBytes = head & 0x7fu;
        if (numBytes > 4 || numBytes > remaining())
            return false;

        std::uint32_t magnitude = 0;
        for (std::size_t i = 0; i < numBytes; ++i)
            magnitude |= (std::uint32_t)position[i] << (8 * i);
        position += numBytes;

        const bool negative = (head & 0x80u) != 0 && magnitude != 0;
        if (negative || magnitude > (std::uint32_t)std::numeric_limits<int>::max())
            return false;

        result = magnitude;
        return true;
    }

    /** A count of items that each take at least one byte, so never more than the bytes left. */
    bool count(std::size_t& result) noexcept { return compressedInt(result) && result <= remaining(); }

    /** A non-empty, zero-terminated UTF-8 name: a tree's type or a property's name. */
    bool name(std::string_view& result) noexcept
    {
        const auto* terminator = static_cast<const std::uint8_t*>(std::memchr(position, 0, remaining()));
        if (terminator == nullptr || terminator == position)
            return false;

        const auto length = (std::size_t)(terminator - position);
        if (!isUtf8(position, length))
            return false;
        result = {reinterpret_cast<const char*>(position), length};
        position = terminator + 1;
        return true;
    }

    /** UTF-8 in its shortest form. The framework keeps a text's bytes as they came but writes
        it back with the byte count of its shortest form, so a longer form of a character in a
        name would lose the name's terminator, and the state saved next would not read back. */
    static bool isUtf8(const std::uint8_t* text, std::size_t length) noexcept
    {
        if (!juce::CharPointer_UTF8::isValidString(reinterpret_cast<const char*>(text), (int)length))
            return false;

        for (std::size_t i = 0; i < length && text[i] != 0; ++i)
        {
            const auto next = i + 1 < length ? text[i + 1] : 0;
            const bool longerForm = text[i] == 0xc0 || text[i] == 0xc1 || (text[i] == 0xe0 && next < 0xa0) ||
                                    (text[i] == 0xf0 && next < 0x90);
            if (longerForm)
                return false;
        }
        return true;
    }

    /** var::readFromStream: the size of what follows, a marker, the payload. The payload must be
        as long as the size says, as the writer makes it. */
    bool value(int depth, Kind kind = Kind::any) noexcept
    {
        std::size_t size = 0;
        if (!compressedInt(size) || size > remaining())
            return false;
        if (size == 0)
            return kind == Kind::any; // void

        const auto marker = *position++;
        const auto payload = size - 1;
        if ((kind == Kind::text && marker != stringMarker) ||
            (kind == Kind::flag && marker != boolTrueMarker && marker != boolFalseMarker))
            return false;

        switch (marker)
        {
        case intMarker:
            return payload == 4 && skip(payload);
        case int64Marker:
        case doubleMarker:
            return payload == 8 && skip(payload);
        case boolTrueMarker:
        case boolFalseMarker:
            return payload == 0;
        case stringMarker:
            return isUtf8(position, payload) && skip(payload);
        case arrayMarker:
            return array(payload, depth + 1);
        case binaryMarker:
        default: // the reader skips markers it does not know
            return skip(payload);
        }
    }

    bool array(std::size_t payload, int depth) noexcept
    {
        const auto* arrayEnd = position + payload;
        std::size_t numElements = 0;
        if (depth > StateBytesCheck::maxDepth || !count(numElements))
            return false;

        for (std::size_t i = 0; i < numElements; ++i)
            if (!value(depth))
                return false;

        return position == arrayEnd;
    }

    const std::uint8_t* position;
    const std::uint8_t* const end;
};
} // namespace

bool StateBytesCheck::isReadable(const void* data, std::size_t size) noexcept
{
    if (data == nullptr || size == 0 || size > maxBytes)
        return false;

    return Walk(static_cast<const std::uint8_t*>(data), size).tree(1);
}
