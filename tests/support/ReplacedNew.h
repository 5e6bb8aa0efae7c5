// The global allocation functions of a test program that watches or refuses its heap
// allocations. Include from exactly one file of that program, which defines
// FolioTest::Allocate: nullptr makes operator new throw std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace FolioTest {
void* Allocate(std::size_t size) noexcept;
}

void* operator new(std::size_t size)
{
    if (void* p = FolioTest::Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return FolioTest::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return FolioTest::Allocate(size); }
// Every operator new above allocates with malloc, so free() is its match; GCC, seeing a
// new and a delete inlined into one function, would take them for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
