// Order statistics of the included pixels of an image (neither exactly 0 nor NaN): their
// number, extremes, median and two percentiles, exactly as a full sort of them would give,
// found without sorting or copying the image.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "base/pixel_buffer.h"

namespace orvel {

// Exact zeros (no data) and NaN (undefined) pixels take no part in the statistics.
inline bool isIncluded(float v) {
    return v != 0.0f && !std::isnan(v);
}

struct IncludedOrder {
    std::int64_t count = 0;   // included pixels
    float smallest = 0.0f;    // first value in ascending order (0 when count = 0)
    float largest = 0.0f;     // last value in ascending order (0 when count = 0)
    float median = 0.0f;      // middle value, or the mean of the two middle ones (0 when count = 0)
    float low = 0.0f;         // percentile at lowFraction, as PercentileOfSorted gives it
    float high = 0.0f;        // percentile at highFraction, as PercentileOfSorted gives it
    bool fromSample = false;  // found by the sample and its windows (false: by counting)
};

// Which code runs the pass over a large image: the widest vector instructions the processor
// has, or the portable code every processor runs (same results).
enum class VectorCode { widest, portable };

// Large images are measured by a sample first, then one pass that counts the pixels below a
// narrow window around each wanted rank and keeps only those inside it; the counting method
// below serves small images and any image whose sample misled.
// Whether the pass over a large image may take a second core (free) or the caller keeps it
// busy with other work (the pass then runs in turn; same results).
enum class SecondCore { free, busy };

IncludedOrder includedOrder(std::span<const float> pixels, float lowFraction, float highFraction,
                            VectorCode vectorCode = VectorCode::widest,
                            SecondCore secondCore = SecondCore::free);

// The included values of evenly spaced runs of neighbouring pixels of a large image: a picture
// of the whole value distribution for the cost of a few cache lines per run. It can be taken
// while the image is decoded, each run copied while its piece is still in cache.
class OrderSample {
  public:
    static constexpr std::size_t kRuns = 16384;    // runs over the image
    static constexpr std::size_t kRunLength = 16;  // pixels per run: one cache line

    explicit OrderSample(std::size_t pixelCount);  // of the whole image
    // Pixels 0 .. decoded - 1 of the image are final: takes the runs that lie among them.
    void take(std::span<const float> pixels, std::size_t decoded);
    const WorkVector<float>& values() const { return values_; }

  private:
    std::size_t pixelCount_;
    std::size_t nextRun_ = 0;  // first run not yet taken
    WorkVector<float> values_;
};

// The same, from a sample taken over all of the image's pixels.
IncludedOrder includedOrder(std::span<const float> pixels, OrderSample sample, float lowFraction,
                            float highFraction, VectorCode vectorCode = VectorCode::widest,
                            SecondCore secondCore = SecondCore::free);

// Order statistics of an image whose pixels are all whole numbers of one 16-bit range (16-bit
// and 8-bit samples with BSCALE 1 and a whole BZERO, as nearly every camera writes them),
// counted value by value as the pieces of the image are decoded: one increment a pixel while
// the piece is in cache, and the wanted values read off the counts at the end. Exact; an image
// with any other value is counted again from its pixels when finished.
class WholeNumberCounts {
  public:
    static constexpr std::size_t kValues = std::size_t{1} << 16;  // whole numbers counted

    // lowest: the smallest value counted, a whole number; the range is lowest .. lowest +
    // kValues - 1.
    explicit WholeNumberCounts(float lowest);
    // Pixels 0 .. decoded - 1 of the image are final: counts those not yet counted.
    void take(std::span<const float> pixels, std::size_t decoded);
    // Every pixel is final: the order statistics of the image.
    IncludedOrder finish(std::span<const float> pixels, float lowFraction, float highFraction);

  private:
    static constexpr std::size_t kSets = 2;  // counter sets used in turn
    float lowest_;
    std::size_t done_ = 0;              // pixels counted
    bool outside_ = false;              // a pixel was not a whole number of the range
    WorkVector<std::uint32_t> counts_;  // kSets sets of kValues counters
};

// The same results by counting alone: two passes that count the pixels by the upper, then by
// the lower half of their order key. Exact for any image.
IncludedOrder includedOrderByCounting(std::span<const float> pixels, float lowFraction,
                                      float highFraction);

}  // namespace orvel
