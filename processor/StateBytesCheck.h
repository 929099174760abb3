#pragma once

#include <cstddef>

/** Decides whether state bytes from outside (a host's session file, a preset on disk) may be handed
    to the framework's value-tree reader. That reader trusts every count and size it reads: it
    reserves room for a claimed number of children, loops over a claimed number of properties or
    array elements, allocates a claimed blob size and recurses once per nesting level, so a few
    crafted bytes exhaust memory, time or the stack. This walks the same binary form first, every
    count and size bounded by the bytes that remain, nesting and total size limited, and also
    refuses forms the writer never makes where the reader would read them otherwise than written:
    a number of the wrong size, an empty name, text that is not UTF-8, a negative count, a preset
    name or parameter id that is not text, a modified flag that is not a bool. */
struct StateBytesCheck
{
    /** Far above a real state, a few hundred bytes; it also bounds the reader's work on the
        worst accepted input (thousands of distinct property names) to some tens of milliseconds. */
    static constexpr std::size_t maxBytes = 64 * 1024;

    /** Nesting levels of trees and arrays together; a real state has two (the root and its
        parameter children). */
    static constexpr int maxDepth = 32;

    /** True when the bytes start with one complete value tree of a non-empty type, within the
        limits, each part as long as its header says. Bytes after the tree are ignored, as the
        reader ignores them. */
    static bool isReadable(const void* data, std::size_t size) noexcept;
};
