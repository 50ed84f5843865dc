#include "analysis/order_blocks.h"

#include "base/vector_code.h"

#if ORVEL_X86_VECTORS
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace orvel {

namespace {

// Eight pixels at a time in vector registers: a comparison gives -1 in the lanes where it
// holds, so subtracting masks counts.
using Floats = float __attribute__((vector_size(32)));
using Ints = int __attribute__((vector_size(32)));
constexpr std::size_t kLanes = 8;

// One block's counts: every comparison is false for NaN, and zeros are masked out. The three
// windows are written out so that all their counters stay in registers.
[[gnu::always_inline]] inline void countBlockBody(const float* v,
                                                  const std::array<float, kWindows>& lo,
                                                  const std::array<float, kWindows>& hi,
                                                  BlockCounts& c) {
    static_assert(kWindows == 3);
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const Floats zero{};
    const Floats lo0 = zero + lo[0], lo1 = zero + lo[1], lo2 = zero + lo[2];
    const Floats hi0 = zero + hi[0], hi1 = zero + hi[1], hi2 = zero + hi[2];
    Ints count{}, below0{}, below1{}, below2{}, inside0{}, inside1{}, inside2{};
    Floats smallest = zero + kInf;
    Floats largest = zero - kInf;
    for (std::size_t k = 0; k < kBlock; k += kLanes) {
        Floats x;
        std::memcpy(&x, v + k, sizeof x);
        const Ints in = (x != zero) & (x == x);
        count -= in;
        smallest = in ? (x < smallest ? x : smallest) : smallest;
        largest = in ? (x > largest ? x : largest) : largest;
        below0 -= (x < lo0) & in;
        below1 -= (x < lo1) & in;
        below2 -= (x < lo2) & in;
        inside0 -= (x >= lo0) & (x <= hi0) & in;
        inside1 -= (x >= lo1) & (x <= hi1) & in;
        inside2 -= (x >= lo2) & (x <= hi2) & in;
    }
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        c.count += count[lane];
        c.smallest = std::min(c.smallest, smallest[lane]);
        c.largest = std::max(c.largest, largest[lane]);
        c.below[0] += below0[lane];
        c.below[1] += below1[lane];
        c.below[2] += below2[lane];
        c.inside[0] += inside0[lane];
        c.inside[1] += inside1[lane];
        c.inside[2] += inside2[lane];
    }
}

#if ORVEL_X86_VECTORS
__attribute__((target("avx2"))) void countBlockWide(const float* v,
                                                    const std::array<float, kWindows>& lo,
                                                    const std::array<float, kWindows>& hi,
                                                    BlockCounts& c) {
    countBlockBody(v, lo, hi, c);
}
#endif

void countBlockPlain(const float* v, const std::array<float, kWindows>& lo,
                     const std::array<float, kWindows>& hi, BlockCounts& c) {
    countBlockBody(v, lo, hi, c);
}

// Appends the block's values inside the window without a branch on the data: every value is
// written, and the end moves on only past those inside.
void appendInsidePlain(const float* v, Window& w) {
    float* out = w.inside.data() + w.used;
    std::size_t j = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
        const float x = v[k];
        out[j] = x;
        j += static_cast<std::size_t>((x >= w.lo) & (x <= w.hi) & (x != 0.0f));
    }
    w.used += j;
}

#if ORVEL_X86_VECTORS
// The same, eight values at a time: the lanes inside are packed to the front of a register
// (their lane numbers gathered from the mask by pext) and the whole register is stored.
__attribute__((target("avx2,bmi,bmi2,popcnt"))) void appendInsideWide(const float* v, Window& w) {
    const __m256 lo = _mm256_set1_ps(w.lo);
    const __m256 hi = _mm256_set1_ps(w.hi);
    const __m256 zero = _mm256_setzero_ps();
    float* out = w.inside.data() + w.used;
    std::size_t j = 0;
    for (std::size_t k = 0; k < kBlock; k += kLanes) {
        const __m256 x = _mm256_loadu_ps(v + k);
        const __m256 in = _mm256_and_ps(
            _mm256_and_ps(_mm256_cmp_ps(x, lo, _CMP_GE_OQ), _mm256_cmp_ps(x, hi, _CMP_LE_OQ)),
            _mm256_cmp_ps(x, zero, _CMP_NEQ_OQ));
        const auto mask = static_cast<std::uint64_t>(_mm256_movemask_ps(in));
        // One byte of ones per lane inside, then the byte lane numbers of those lanes.
        const std::uint64_t bytes = _pdep_u64(mask, 0x0101010101010101u) * 0xffu;
        const std::uint64_t lanes = _pext_u64(0x0706050403020100u, bytes);
        const __m256i order =
            _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(lanes)));
        _mm256_storeu_ps(out + j, _mm256_permutevar8x32_ps(x, order));
        j += static_cast<std::size_t>(_mm_popcnt_u64(mask));
    }
    w.used += j;
}
#endif

}  // namespace

// Whether the pass runs the x86 vector code: asked for, built in, and the processor has it.
bool wideCodeRuns([[maybe_unused]] VectorCode vectorCode) {
#if ORVEL_X86_VECTORS
    return vectorCode == VectorCode::widest && __builtin_cpu_supports("avx2") &&
           __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

// One block's counts by the code the pass runs.
void countBlock(const float* v, const std::array<float, kWindows>& lo,
                const std::array<float, kWindows>& hi, BlockCounts& c, [[maybe_unused]] bool wide) {
#if ORVEL_X86_VECTORS
    if (wide) {
        countBlockWide(v, lo, hi, c);
        return;
    }
#endif
    countBlockPlain(v, lo, hi, c);
}

// Adds a block to a window: the count below it, and the values inside it. A window of one value
// needs only its count; the others keep their values. False when the window would keep more
// than the limit.
bool addToWindow(Window& win, const BlockShare& share, std::size_t limit,
                 [[maybe_unused]] bool wide) {
    win.below += share.below;
    if (share.inside == 0) return true;
    if (win.lo == win.hi) {
        win.used += static_cast<std::size_t>(share.inside);
        return true;
    }
    if (win.used + kBlock > win.inside.size()) {
        if (win.used + kBlock > limit) return false;
        win.inside.resize(std::min(limit, std::max(2 * win.inside.size(), win.used + kBlock)));
    }
#if ORVEL_X86_VECTORS
    if (wide) {
        appendInsideWide(share.block, win);
        return true;
    }
#endif
    appendInsidePlain(share.block, win);
    return true;
}

}  // namespace orvel
