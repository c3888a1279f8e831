// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Counts heap allocations: replaces the global operator new of the program
// that includes this, which only one source file of a program may do.
// A thread that sets tExcluded (the in-process simulator's) is not counted.

// The counting operator new below hands out malloc memory that operator
// delete frees; GCC pairs the inlined calls and warns about a mismatch there
// is not.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace zr8::bench {
inline std::atomic<uint64_t> gAllocations{0};
inline thread_local bool tExcluded = false;
}  // namespace zr8::bench

void* operator new(std::size_t size) {
    if (!zr8::bench::tExcluded) zr8::bench::gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
