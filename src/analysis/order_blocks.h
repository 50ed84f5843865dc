// The blocks of one pass over a large image: each block of pixels counted against three
// windows of values, and the values inside a window kept. The x86 vector code (built only for
// x86-64) and its portable twin give the same counts and values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "analysis/included_order.h"
#include "base/pixel_buffer.h"

namespace orvel {

inline constexpr std::size_t kWindows = 3;  // low cut, middle, high cut
inline constexpr std::size_t kBlock = 256;  // pixels counted between appends

// A range of values expected to hold one wanted rank, and what the pass found about it.
struct Window {
    float lo = 0.0f;           // smallest value inside
    float hi = 0.0f;           // largest value inside
    double share = 0.0;        // fraction of the sample from lo to hi
    std::int64_t below = 0;    // included pixels below lo
    WorkVector<float> inside;  // included pixels from lo to hi, in no order
    std::size_t used = 0;      // values of inside filled; the rest is room to append
};

// Counts of one block.
struct BlockCounts {
    int count = 0;
    std::array<int, kWindows> below{};
    std::array<int, kWindows> inside{};
    float smallest = std::numeric_limits<float>::infinity();
    float largest = -std::numeric_limits<float>::infinity();
};

// One block's share of a window: the block, and its counts below and inside the window.
struct BlockShare {
    const float* block;
    int below;
    int inside;
};

// Whether the pass runs the x86 vector code: asked for, built in, and the processor has it.
bool wideCodeRuns(VectorCode vectorCode);

// One block's counts (kBlock pixels from v) by the code the pass runs: every comparison is
// false for NaN, and zeros are not counted.
void countBlock(const float* v, const std::array<float, kWindows>& lo,
                const std::array<float, kWindows>& hi, BlockCounts& c, bool wide);

// Adds a block to a window: the count below it, and the values inside it. A window of one value
// needs only its count; the others keep their values. False when the window would keep more
// than the limit.
bool addToWindow(Window& win, const BlockShare& share, std::size_t limit, bool wide);

}  // namespace orvel
