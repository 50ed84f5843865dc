#include "base/pixel_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace orvel {

namespace {

constexpr std::size_t kPage = std::size_t{4} << 10;      // bytes of one small page
constexpr std::size_t kHugePage = std::size_t{2} << 20;  // bytes of one x86-64 huge page

std::size_t roundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

// Writes every small page of a range once, in the kernel: one call instead of a fault for each
// page. Kernels without it leave the pages to be faulted in on use.
void populate(std::uintptr_t start, std::size_t length) {
#ifdef MADV_POPULATE_WRITE
    if (length > 0) ::madvise(reinterpret_cast<void*>(start), length, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)length;
#endif
}

}  // namespace

void* allocateBuffer(std::size_t bytes) {
    if (bytes < kHugePageAllocationBytes) return ::operator new(bytes);
    // Only the small pages the values need are mapped, so memory in use stays the bytes asked
    // for: a huge page that would be mostly empty is not taken.
    const std::size_t length = roundUp(bytes, kPage);
    const std::size_t whole = length / kHugePage * kHugePage;
    // One huge page more than needed, so that an aligned start lies inside the mapping.
    const std::size_t slack = whole > 0 ? kHugePage : 0;
    void* mapped =
        ::mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = roundUp(base, whole > 0 ? kHugePage : kPage);
    // The unaligned head and the rest of the slack are given back at once.
    if (start > base) ::munmap(mapped, start - base);
    if (const std::size_t tail = base + slack - start; tail > 0)
        ::munmap(reinterpret_cast<void*>(start + length), tail);
    // The whole huge pages come on first touch, a few faults for megabytes; without huge pages
    // (a kernel that has them switched off) the mapping is still usable.
    if (whole > 0) ::madvise(reinterpret_cast<void*>(start), whole, MADV_HUGEPAGE);
    // The part short of a huge page is filled now rather than by a fault for each small page.
    populate(start + whole, length - whole);
    return reinterpret_cast<void*>(start);
}

void freeBuffer(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
    if (bytes < kHugePageAllocationBytes) {
        ::operator delete(p);
        return;
    }
    ::munmap(p, roundUp(bytes, kPage));
}

}  // namespace orvel
