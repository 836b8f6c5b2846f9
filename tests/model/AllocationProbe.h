#pragma once

// Replaces the global allocation functions of the test executable that
// includes this header (include it in one source file only) so a test can
// see the largest single allocation made while a probe is active.

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocation_probe {
inline bool g_active = false;
inline size_t g_largest = 0;

// Records the largest allocation made during its lifetime.
class Probe {
public:
    Probe() { g_largest = 0; g_active = true; }
    ~Probe() { g_active = false; }
    size_t Largest() const { return g_largest; }
};
} // namespace allocation_probe

// GCC takes these replacements for a mismatch of new and free; they are the
// allocation functions themselves, so malloc and free pair up.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size)
{
    if (allocation_probe::g_active && size > allocation_probe::g_largest)
        allocation_probe::g_largest = size;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
