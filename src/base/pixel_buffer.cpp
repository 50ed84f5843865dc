#include "base/pixel_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace orvel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;  // bytes of one x86-64 huge page

std::size_t roundUpToHugePages(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocateBuffer(std::size_t bytes) {
    if (bytes < kHugePageAllocationBytes) return ::operator new(bytes);
    const std::size_t length = roundUpToHugePages(bytes);
    // One huge page more than needed, so that an aligned start lies inside the mapping.
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = (base + kHugePage - 1) / kHugePage * kHugePage;
    // The unaligned head and the tail beyond the rounded length are given back at once.
    if (start > base) ::munmap(mapped, start - base);
    if (const std::size_t tail = base + kHugePage - start; tail > 0)
        ::munmap(reinterpret_cast<void*>(start + length), tail);
    // Without huge pages (a kernel that has them switched off) the mapping is still usable.
    ::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

void freeBuffer(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
    if (bytes < kHugePageAllocationBytes) {
        ::operator delete(p);
        return;
    }
    ::munmap(p, roundUpToHugePages(bytes));
}

}  // namespace orvel
