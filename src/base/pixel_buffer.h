// Memory for large arrays of values that are written before they are read: no value is set on
// allocation, and arrays of megabytes come in huge pages, so a fresh frame costs a few page
// faults instead of one per 4 KiB and no pass of zeros before the decoder's own pass. On a
// virtual machine a first touch of a small page costs microseconds: from a fraction of a
// megabyte on, the small pages short of a huge page are filled in one call instead.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvel {

// Smallest allocation mapped on its own (huge pages, the rest filled at once), bytes.
constexpr std::size_t kHugePageAllocationBytes = std::size_t{128} << 10;

// Allocates bytes (aligned for any value type): from operator new below
// kHugePageAllocationBytes, otherwise a private mapping of the small pages needed, aligned to
// 2 MiB with its whole 2 MiB marked for huge pages and the rest filled at once. Throws
// std::bad_alloc when no memory is left.
void* allocateBuffer(std::size_t bytes);

// Frees what allocateBuffer(bytes) returned, with the same byte count.
void freeBuffer(void* p, std::size_t bytes) noexcept;

// An allocator whose construct() without arguments leaves the value unset (default
// initialisation): resize() of a vector of floats then writes nothing.
template <typename T>
struct DefaultInitAllocator {
    static_assert(std::is_trivially_default_constructible_v<T>);
    using value_type = T;

    DefaultInitAllocator() = default;
    template <typename U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateBuffer(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { freeBuffer(p, n * sizeof(T)); }

    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;  // default initialisation: no value written
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const DefaultInitAllocator&, const DefaultInitAllocator&) noexcept {
        return true;
    }
};

// A vector of working values whose resize() leaves new values unset.
template <typename T>
using WorkVector = std::vector<T, DefaultInitAllocator<T>>;

// The pixel values of an image: a vector whose resize() leaves new values unset.
using PixelValues = WorkVector<float>;

}  // namespace orvel
