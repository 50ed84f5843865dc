#include "base/pixel_buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <vector>

namespace orvel {
namespace {

// Resident bytes of this process, from the kernel's own count.
std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Sizes about the limits: the smallest mapped on its own, under one huge page, one huge page,
// and huge pages with a tail of small pages.
const std::vector<std::size_t> kSizes = {
    kHugePageAllocationBytes - 4, kHugePageAllocationBytes,      (std::size_t{1} << 20) + 12,
    std::size_t{2} << 20,         (std::size_t{2} << 20) + 4100, (std::size_t{5} << 20) + 28,
};

TEST(WorkMemory, BuffersOfEverySizeHoldTheirValuesSideBySide) {
    std::vector<WorkVector<std::uint32_t>> buffers;
    for (std::size_t b = 0; b < kSizes.size(); ++b) {
        buffers.emplace_back(kSizes[b] / sizeof(std::uint32_t));
        for (std::size_t i = 0; i < buffers[b].size(); ++i)
            buffers[b][i] = static_cast<std::uint32_t>(b * 1000003 + i);
    }
    // No buffer overlaps another or was cut short: every value written is still there.
    for (std::size_t b = 0; b < buffers.size(); ++b) {
        ASSERT_EQ(buffers[b].size(), kSizes[b] / sizeof(std::uint32_t));
        for (std::size_t i = 0; i < buffers[b].size(); ++i)
            ASSERT_EQ(buffers[b][i], static_cast<std::uint32_t>(b * 1000003 + i)) << b << " " << i;
    }
    // Freed out of order, then made again: what was given back can be mapped anew.
    buffers.erase(buffers.begin() + 2);
    buffers.erase(buffers.begin() + 3);
    buffers.emplace_back(kSizes[4] / sizeof(std::uint32_t), 7u);
    EXPECT_EQ(buffers.back().back(), 7u);
}

TEST(WorkMemory, ABufferFilledHoldsLittleMoreThanItsBytes) {
    // Under one huge page, and two huge pages with most of a third: a buffer rounded up to whole
    // huge pages would hold over 640 KiB more than these. The margin leaves room for pages the
    // process touches on its own meanwhile.
    for (const std::size_t bytes : {std::size_t{1400} << 10, std::size_t{5500} << 10}) {
        // A buffer of the same size made and freed first, so that the code that maps and
        // fills one has run once.
        { WorkVector<float> warm(bytes / sizeof(float), 1.0f); }
        const std::int64_t before = residentBytes();
        WorkVector<float> values(bytes / sizeof(float));
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
        const std::int64_t grown = residentBytes() - before;
        EXPECT_GE(grown, static_cast<std::int64_t>(bytes) - (64 << 10)) << bytes;
        EXPECT_LE(grown, static_cast<std::int64_t>(bytes) + (384 << 10)) << bytes;
        EXPECT_EQ(values.back(), static_cast<float>(values.size() - 1));
    }
}

}  // namespace
}  // namespace orvel
