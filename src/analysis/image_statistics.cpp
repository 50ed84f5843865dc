#include "analysis/image_statistics.h"

#include <algorithm>
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

// Running sums of the included pixels in double precision: 32-bit sums stop growing once they
// reach 2^24 times a pixel value, which a large frame passes.
struct PixelSums {
    double sum = 0.0;           // DC
    double sumOfSquares = 0.0;  // DC squared
};

constexpr std::size_t kSumsWorthAThread = std::size_t{1} << 20;  // pixels

// The two running sums carried on over more pixels, in image order, in pieces of any length:
// the same sums whatever the pieces.
void addSums(std::span<const float> pixels, PixelSums& s) {
    // Local copies stay in registers: the pixels could alias the record.
    double sum = s.sum;
    double sumOfSquares = s.sumOfSquares;
    for (const float v : pixels) {
        if (!isIncluded(v)) continue;
        sum += v;
        sumOfSquares += static_cast<double>(v) * v;
    }
    s = {sum, sumOfSquares};
}

// The sums run beside the order statistics: they are one long chain of dependent
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
        addSums(pixels, m.sums);
        order(SecondCore::free);
    } else {
        std::jthread sums([&] { addSums(pixels, m.sums); });
        order(SecondCore::busy);
    }
    return m;
}

// The running sums taken on a second thread as the decoder hands over pieces, in order.
class SumsFollower {
  public:
    explicit SumsFollower(const PixelImage& image) : image_(image) {}
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
            addSums({image_.pixels.data() + done, static_cast<std::size_t>(ready - done)}, sums_);
            done = ready;
        }
    }

    const PixelImage& image_;
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
    const double mean = sums.sum / n;
    st.mean = f32(mean);
    // The mean squared in double: the 32-bit mean's rounding would enter the difference.
    st.variance = f32(sums.sumOfSquares / n - mean * mean);
    // A variance made negative by rounding is reported as it is, without a root.
    st.standardDeviation = f32(safeSqrt(st.variance));

    st.median = order.median;
    st.p1 = order.low;
    st.p999 = order.high;
    return st;
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
    SumsFollower follower(image);
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
