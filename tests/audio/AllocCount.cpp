// Replaces the global operator new of this test program with one that also counts per thread;
// it still allocates through malloc, so nothing else changes.
#include "AllocCount.h"

#include <cstdlib>
#include <new>

namespace {
thread_local int64_t GAllocations = 0;

void* Allocate(std::size_t Size) {
    ++GAllocations;
    if (void* p = std::malloc(Size == 0 ? 1 : Size)) return p;
    throw std::bad_alloc();
}
}  // namespace

namespace kelvar::testkit {
int64_t ThreadAllocations() { return GAllocations; }
}  // namespace kelvar::testkit

void* operator new(std::size_t Size) { return Allocate(Size); }
void* operator new[](std::size_t Size) { return Allocate(Size); }
void operator delete(void* Pointer) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, std::size_t) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, std::size_t) noexcept { std::free(Pointer); }
