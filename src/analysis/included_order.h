// Order statistics of the included pixels of an image (neither exactly 0 nor NaN): their
// number, extremes, median and two percentiles, exactly as a full sort of them would give,
// found without sorting or copying the image.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "base/pixel_buffer.h"
#include "fits/pixel_decoder.h"

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

// The same from how often each sample of a 16-bit or 8-bit image occurs, when its values rise
// with its samples (BSCALE above 0): the samples at the wanted ranks give the values there, so
// no pass over the pixels is needed. Nothing when the counts are incomplete or BSCALE is not
// above 0.
std::optional<IncludedOrder> includedOrderOfSamples(const SampleCounts& counts, SampleCoding coding,
                                                    float lowFraction, float highFraction);

// The same results by counting alone: two passes that count the pixels by the upper, then by
// the lower half of their order key. Exact for any image.
IncludedOrder includedOrderByCounting(std::span<const float> pixels, float lowFraction,
                                      float highFraction);

}  // namespace orvel
