#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

extern "C" void* __real_malloc(std::size_t);
extern "C" void* __real_calloc(std::size_t, std::size_t);
extern "C" void* __real_realloc(void*, std::size_t);

namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0;

void noteAllocation() noexcept
{
    if (counting)
        ++allocations;
}

void* allocate(std::size_t size, std::size_t alignment = 0)
{
    noteAllocation();
    if (size == 0)
        size = 1;
    void* p = alignment > alignof(std::max_align_t)
                  ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                  : __real_malloc(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
} // namespace

// malloc and friends called from our code and the framework's (linked with --wrap).
extern "C" void* __wrap_malloc(std::size_t size)
{
    noteAllocation();
    return __real_malloc(size);
}

extern "C" void* __wrap_calloc(std::size_t n, std::size_t size)
{
    noteAllocation();
    return __real_calloc(n, size);
}

extern "C" void* __wrap_realloc(void* p, std::size_t size)
{
    noteAllocation();
    return __real_realloc(p, size);
}

AllocationCounter::AllocationCounter() : startCount(allocations), wasCounting(counting)
{
    counting = true;
}
AllocationCounter::~AllocationCounter()
{
    counting = wasCounting;
}
std::size_t AllocationCounter::count() const noexcept
{
    return allocations - startCount;
}

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a)
{
    return allocate(size, (std::size_t)a);
}
void* operator new[](std::size_t size, std::align_val_t a)
{
    return allocate(size, (std::size_t)a);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
