#include "analysis/image_statistics.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <utility>

#include "analysis/included_order.h"
#include "base/numeric.h"
#include "base/vector_code.h"
#include "fits/pixel_decoder.h"

namespace orvel {

namespace {

// Low and high display cuts: the 1 and 99.9 percentiles, fractions held as 32-bit floats.
constexpr float kLowCutFraction = 0.01f;
constexpr float kHighCutFraction = 0.999f;

// Running sums of the included pixels, each rounded to 32 bits after every addition.
struct PixelSums {
    float sum = 0.0f;
    float sumOfSquares = 0.0f;
};

constexpr std::size_t kSumsWorthAThread = std::size_t{1} << 20;  // pixels

// The next sum of squares exactly as stored: the square in double, the sum rounded to 32 bits.
float nextSumOfSquares(float sumOfSquares, float v) {
    return f32(sumOfSquares + static_cast<double>(v) * v);
}

// Pixel values known to be whole numbers below 2^24 (from the image's sample coding), or of
// any kind.
enum class PixelKind { wholeNumbers, any };

#if ORVEL_X86_VECTORS
// x86 AVX2 code, vectorised: gcc needs to be asked for the vectoriser at -O2, clang vectorises on
// its own and knows no such attribute.
#if defined(__clang__)
#define ORVEL_VECTOR_AVX2 __attribute__((target("avx2")))
#else
#define ORVEL_VECTOR_AVX2 __attribute__((target("avx2"), optimize("tree-vectorize")))
#endif

constexpr std::size_t kSumsBlock = 4096;  // values summed between checks

// Both running sums over a block of values, the sum of squares by one fused multiply-add per
// value: four cycles a step instead of an addition and two conversions. after[k] receives the
// sum of squares after value k.
__attribute__((target("fma"))) void fusedSums(const float* v, std::size_t n, float& sum,
                                              float& sumOfSquares, float* after) {
    float s = sum;
    float q = sumOfSquares;
    for (std::size_t k = 0; k < n; ++k) {
        s += v[k];
        q = __builtin_fmaf(v[k], v[k], q);
        after[k] = q;
    }
    sum = s;
    sumOfSquares = q;
}

// First step k whose fused result differs from the stored rule applied to the step before;
// n when none does. Every step is checked on its own, so the check runs in vector registers.
ORVEL_VECTOR_AVX2 std::size_t firstDifference(const float* v, std::size_t n, float start,
                                              const float* after, float* want) {
    if (n == 0) return 0;
    want[0] = f32(start + static_cast<double>(v[0]) * v[0]);
    for (std::size_t k = 1; k < n; ++k)
        want[k] = f32(after[k - 1] + static_cast<double>(v[k]) * v[k]);
    std::uint32_t differ = 0;
    for (std::size_t k = 0; k < n; ++k)
        differ |= std::bit_cast<std::uint32_t>(want[k]) ^ std::bit_cast<std::uint32_t>(after[k]);
    if (differ == 0) return n;
    std::size_t k = 0;
    while (std::bit_cast<std::uint32_t>(want[k]) == std::bit_cast<std::uint32_t>(after[k])) ++k;
    return k;
}

ORVEL_VECTOR_AVX2 bool allIncluded(const float* v, std::size_t n) {
    int all = 1;
    for (std::size_t k = 0; k < n; ++k) all &= static_cast<int>(v[k] != 0.0f) & (v[k] == v[k]);
    return all != 0;
}

// Sums of squares below this are exact in double whatever whole numbers they add up: then the
// double sum of a step is exact and rounds to 32 bits as the fused multiply-add does.
constexpr float kExactSquareSums = 0x1p52f;

// Sums of one block of included values on a processor with FMA and AVX2. The fused
// multiply-add rounds once where the stored sum rounds twice (to double, then to 32 bits); the
// two differ only when the double lands exactly half-way between two floats, a few times in a
// billion. Where a step differs it takes the stored rule's value and the chain goes on from it.
void fusedBlockSums(const float* v, std::size_t n, float& sum, float& sumOfSquares,
                    PixelKind kind) {
    std::array<float, kSumsBlock> after;
    std::array<float, kSumsBlock> want;
    // A float addition rounds exactly as the double sum of two floats rounded to 32 bits does,
    // so the plain sum needs no check.
    float start = sumOfSquares;
    fusedSums(v, n, sum, sumOfSquares, after.data());
    // Whole numbers whose sums stay exact in double round once either way: nothing to check.
    if (kind == PixelKind::wholeNumbers && sumOfSquares < kExactSquareSums) return;
    std::size_t from = 0;
    for (;;) {
        const std::size_t k =
            from + firstDifference(v + from, n - from, start, after.data() + from, want.data());
        if (k >= n) break;
        after[k] = want[k - from];
        start = after[k];
        from = k + 1;
        float unused = 0.0f;
        float q = start;
        fusedSums(v + from, n - from, unused, q, after.data() + from);
    }
    if (n > 0) sumOfSquares = after[n - 1];
}

// The two rounded sums carried on over more included pixels with FMA and AVX2, a block at a
// time; zero and NaN pixels are left out of a copy of the block, and most blocks have none.
void fusedRoundedSums(std::span<const float> pixels, PixelSums& s, PixelKind kind) {
    float sum = s.sum;
    float sumOfSquares = s.sumOfSquares;
    std::array<float, kSumsBlock> kept;
    for (std::size_t i = 0; i < pixels.size(); i += kSumsBlock) {
        const std::size_t m = std::min(kSumsBlock, pixels.size() - i);
        const float* block = pixels.data() + i;
        std::size_t n = m;
        if (!allIncluded(block, m)) {
            n = 0;
            for (std::size_t k = 0; k < m; ++k)
                if (isIncluded(block[k])) kept[n++] = block[k];
            block = kept.data();
        }
        fusedBlockSums(block, n, sum, sumOfSquares, kind);
    }
    s = {sum, sumOfSquares};
}
#endif

// The same sums by the stored rule itself, one pixel at a time: the code every processor runs.
void plainRoundedSums(std::span<const float> pixels, PixelSums& s) {
    // Local copies stay in registers: the pixels could alias the record.
    float sum = s.sum;
    float sumOfSquares = s.sumOfSquares;
    for (const float v : pixels) {
        if (!isIncluded(v)) continue;
        sum += v;
        sumOfSquares = nextSumOfSquares(sumOfSquares, v);
    }
    s = {sum, sumOfSquares};
}

// The two rounded running sums carried on over more pixels (in image order, in pieces of any
// length), the same to the bit by either code. Each addition depends on the one before, so the
// pass is bound by the latency of one step.
void addRoundedSums(std::span<const float> pixels, PixelSums& s,
                    [[maybe_unused]] PixelKind kind = PixelKind::any) {
#if ORVEL_X86_VECTORS
    if (__builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2")) {
        fusedRoundedSums(pixels, s, kind);
        return;
    }
#endif
    plainRoundedSums(pixels, s);
}

// The rounded sums run beside the order statistics: they are one long chain of dependent
// additions, the rest is independent work.
struct Measured {
    PixelSums sums;
    IncludedOrder order;
};

Measured measureImage(std::span<const float> pixels) {
    Measured m;
    const auto order = [&](SecondCore secondCore) {
        m.order = includedOrder(pixels, kLowCutFraction, kHighCutFraction, VectorCode::widest,
                                secondCore);
    };
    if (pixels.size() < kSumsWorthAThread) {
        addRoundedSums(pixels, m.sums);
        order(SecondCore::free);
    } else {
        std::jthread sums([&] { addRoundedSums(pixels, m.sums); });
        order(SecondCore::busy);
    }
    return m;
}

// The running sums taken on a second thread as the decoder hands over pieces, in order.
class SumsFollower {
  public:
    SumsFollower(const PixelImage& image, PixelKind kind) : image_(image), kind_(kind) {}
    ~SumsFollower() { finish(); }

    // The first `count` pixels are decoded.
    void decoded(std::int64_t count) {
        {
            std::lock_guard lock(mutex_);
            decoded_ = count;
        }
        changed_.notify_one();
    }

    // No more pieces come: the sums of all those handed over.
    PixelSums finish() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_one();
        if (thread_.joinable()) thread_.join();
        return sums_;
    }

  private:
    void follow() {
        std::int64_t done = 0;
        for (;;) {
            std::int64_t ready = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return decoded_ > done || finished_; });
                ready = decoded_;
            }
            // Finished, and every piece handed over is summed.
            if (ready == done) return;
            addRoundedSums({image_.pixels.data() + done, static_cast<std::size_t>(ready - done)},
                           sums_, kind_);
            done = ready;
        }
    }

    const PixelImage& image_;
    PixelKind kind_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t decoded_ = 0;
    bool finished_ = false;
    PixelSums sums_;
    std::thread thread_{[this] { follow(); }};  // started last, once the rest is set up
};

// The statistics from the sums and the order statistics of the included pixels.
FirstImageStats describe(std::int64_t pixelCount, const PixelSums& sums,
                         const IncludedOrder& order) {
    FirstImageStats st;
    st.pixelCount = pixelCount;
    st.includedCount = order.count;
    // The extremes start at +-64000 and are only replaced by values beyond them.
    if (order.count > 0) {
        st.largest = std::max(order.largest, -64000.0f);
        st.smallest = std::min(order.smallest, 64000.0f);
    }

    // Population moments: division by n; with n = 0 the divisions give NaN, which is logged.
    const double n = static_cast<double>(st.includedCount);
    st.mean = f32(sums.sum / n);
    st.variance = f32(sums.sumOfSquares / n - static_cast<double>(st.mean) * st.mean);
    // A variance made negative by rounding is reported as it is, without a root.
    st.standardDeviation = f32(safeSqrt(st.variance));

    st.median = order.median;
    st.p1 = order.low;
    st.p999 = order.high;
    return st;
}

// Whether every value an image's samples give is a whole number below 2^24: 16-bit and 8-bit
// samples, BSCALE 1 and a whole BZERO small enough.
bool wholeNumbers(const ImageHeader& header) {
    return (header.bitpix == 16 || header.bitpix == 8) && header.bscale == 1.0f &&
           std::trunc(header.bzero) == header.bzero && std::fabs(header.bzero) <= 1.0e6f;
}

}  // namespace

FirstImageStats analyseFirstImage(const PixelImage& image) {
    const Measured measured = measureImage(image.pixels);
    return describe(static_cast<std::int64_t>(image.columns) * image.rows, measured.sums,
                    measured.order);
}

DescribedImage readAndDescribeImage(const FitsFile& file, const ImageHeader& header,
                                    PixelImage& image) {
    DescribedImage out;
    // A small image is read, then described.
    if (headerPixelCount(header) < static_cast<std::int64_t>(kSumsWorthAThread)) {
        out.samples = readPixels(file, header, image);
        if (out.samples >= 0) out.stats = analyseFirstImage(image);
        return out;
    }
    const std::int64_t pixelCount = headerPixelCount(header);
    SumsFollower follower(image, wholeNumbers(header) ? PixelKind::wholeNumbers : PixelKind::any);
    // The samples are counted as they are read, which for 16-bit and 8-bit images gives the
    // order statistics with no pass after the read; the sample for the other way is taken from
    // each piece just decoded, in cache.
    SampleCounts counts;
    OrderSample sample(countsSamples(header) ? 0 : static_cast<std::size_t>(pixelCount));
    out.samples = readPixels(
        file, header, image,
        [&](std::int64_t n) {
            follower.decoded(n);
            sample.take(image.pixels, static_cast<std::size_t>(n));
        },
        &counts);
    if (out.samples < 0) return out;
    std::optional<IncludedOrder> order =
        includedOrderOfSamples(counts, sampleCoding(header), kLowCutFraction, kHighCutFraction);
    // The order statistics need every pixel; the sums have followed the decoder.
    if (!order)
        order = includedOrder(image.pixels, std::move(sample), kLowCutFraction, kHighCutFraction);
    out.stats = describe(pixelCount, follower.finish(), *order);
    return out;
}

float greyLevel(float v, float p1, float p999) {
    // NaN fails every comparison below; it is shown white, like a value above the high cut.
    if (std::isnan(v)) return 255.0f;
    // The rules apply in order; the stretch only strictly between the cuts, so equal cuts
    // never divide by zero.
    float grey = 0.0f;
    if (v <= p1) grey = 0.0f;
    if (v >= p999) grey = 255.0f;
    if (p1 < v && v < p999)
        grey = f32((static_cast<double>(v) - p1) * 255.0 / (static_cast<double>(p999) - p1));
    return grey;
}

ScreenFactor screenFactor(int columns, int rows, int desktopWidth, int desktopHeight) {
    int larger = 0;
    // Without a usable desktop size the image is shown unreduced.
    if (desktopWidth > 0 && desktopHeight > 0) {
        // How many whole desktops the image spans in each direction.
        const int fx = truncToInt(static_cast<double>(columns) / desktopWidth);
        const int fy = truncToInt(static_cast<double>(rows) / desktopHeight);
        larger = std::max({fx, fy, 0});
    }
    // One more than the whole desktops spanned, so the reduced image fits.
    return {larger, larger + 1};
}

}  // namespace orvel
