// Replaces the global operator new of this test program (every form, so that each allocation
// and its release meet) with one that also counts per thread; it still allocates through
// malloc, so nothing else changes.
#include "common/AllocCount.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
thread_local int64_t GAllocations = 0;

void* Allocate(std::size_t Size, std::size_t Alignment = 0) noexcept {
    ++GAllocations;
    if (Size == 0) Size = 1;
    if (Alignment <= alignof(std::max_align_t)) return std::malloc(Size);
    void* p = nullptr;
    return posix_memalign(&p, Alignment, Size) == 0 ? p : nullptr;
}

void* AllocateOrThrow(std::size_t Size, std::size_t Alignment = 0) {
    if (void* p = Allocate(Size, Alignment)) return p;
    throw std::bad_alloc();
}
}  // namespace

namespace kelvar::testkit {
int64_t ThreadAllocations() { return GAllocations; }
}  // namespace kelvar::testkit

void* operator new(std::size_t Size) { return AllocateOrThrow(Size); }
void* operator new[](std::size_t Size) { return AllocateOrThrow(Size); }
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept { return Allocate(Size); }
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept { return Allocate(Size); }
void* operator new(std::size_t Size, std::align_val_t Align) {
    return AllocateOrThrow(Size, static_cast<std::size_t>(Align));
}
void* operator new[](std::size_t Size, std::align_val_t Align) {
    return AllocateOrThrow(Size, static_cast<std::size_t>(Align));
}
void* operator new(std::size_t Size, std::align_val_t Align, const std::nothrow_t&) noexcept {
    return Allocate(Size, static_cast<std::size_t>(Align));
}
void* operator new[](std::size_t Size, std::align_val_t Align, const std::nothrow_t&) noexcept {
    return Allocate(Size, static_cast<std::size_t>(Align));
}

void operator delete(void* Pointer) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, std::size_t) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, std::size_t) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, const std::nothrow_t&) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, const std::nothrow_t&) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, std::align_val_t) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, std::align_val_t) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, std::size_t, std::align_val_t) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, std::size_t, std::align_val_t) noexcept { std::free(Pointer); }
void operator delete(void* Pointer, std::align_val_t, const std::nothrow_t&) noexcept { std::free(Pointer); }
void operator delete[](void* Pointer, std::align_val_t, const std::nothrow_t&) noexcept { std::free(Pointer); }
