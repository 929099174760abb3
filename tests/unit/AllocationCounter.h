#pragma once

#include <cstddef>

/** Counts heap allocations made on the calling thread while an instance is alive.
    The test binary replaces the global allocation functions to feed it. */
class AllocationCounter
{
  public:
    AllocationCounter();
    ~AllocationCounter();

    /** Allocations made on this thread since construction. */
    std::size_t count() const noexcept;

    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

  private:
    std::size_t startCount;
    bool wasCounting;
};
