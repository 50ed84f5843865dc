#include "analysis/image_statistics.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "analysis/order_statistics.h"
#include "run/numeric.h"

namespace orvel {

namespace {

// Low and high display cuts: the 1 and 99.9 percentiles, fractions held as 32-bit floats.
constexpr float kLowCutFraction = 0.01f;
constexpr float kHighCutFraction = 0.999f;

// Running extremes and sums of the included pixels, gathered in one pass.
struct PixelSums {
    std::int64_t count = 0;
    float largest = -64000.0f;
    float smallest = 64000.0f;
    float sum = 0.0f;
    float sumOfSquares = 0.0f;
};

// Copies the included pixels into the list (visiting order) and gathers extremes and sums.
PixelSums collectIncluded(const std::vector<float>& pixels, std::vector<float>& included) {
    PixelSums s;
    for (const float v : pixels) {
        // Exact zeros (no data) and NaN (undefined) pixels take no part in the statistics.
        if (v == 0.0f || std::isnan(v)) continue;
        included.push_back(v);
        if (v > s.largest) s.largest = v;
        if (v < s.smallest) s.smallest = v;
        // Sums are rounded to 32 bits after every addition, as the stored values are.
        s.sum = f32(static_cast<double>(s.sum) + v);
        s.sumOfSquares = f32(s.sumOfSquares + static_cast<double>(v) * v);
    }
    s.count = static_cast<std::int64_t>(included.size());
    return s;
}

}  // namespace

FirstImageStats analyseFirstImage(const PixelImage& image, RunLog& log) {
    FirstImageStats st;
    st.pixelCount = static_cast<std::int64_t>(image.columns) * image.rows;
    // One list with room for every pixel: the only full-size working copy.
    std::vector<float> included;
    included.reserve(image.pixels.size());
    const PixelSums sums = collectIncluded(image.pixels, included);
    st.includedCount = sums.count;
    st.largest = sums.largest;
    st.smallest = sums.smallest;
    log.end().line("Scale first image for display- ");
    log.text("# pixels in image = ").numLong(static_cast<double>(st.pixelCount)).end();
    log.text("# pixels included in analysis = ")
        .numLong(static_cast<double>(st.includedCount))
        .end();
    log.text("Largest pixel value in image  = ").num(st.largest).end();
    log.text("Smallest pixel value (>0) in image = ").num(st.smallest).end();

    // Population moments: division by n; with n = 0 the divisions give NaN, which is logged.
    const double n = static_cast<double>(st.includedCount);
    st.mean = f32(sums.sum / n);
    st.variance = f32(sums.sumOfSquares / n - static_cast<double>(st.mean) * st.mean);
    // A variance made negative by rounding is reported as it is, without a root.
    st.standardDeviation = f32(safeSqrt(st.variance));
    log.text("Average DC = ").num(st.mean).end();
    log.text("STD DEV DC = ").num(st.standardDeviation).end();

    // Selection gives the same median and cuts as sorting the whole list would.
    const OrderStats order = selectOrderStatistics(included, kLowCutFraction, kHighCutFraction);
    st.median = order.median;
    st.p1 = order.low;
    st.p999 = order.high;
    log.text("Median pixel value = ").num(st.median).end();
    log.text("1 Percentile DC value =    ").num(st.p1).end();
    log.text("99.9 Percentile DC value = ").num(st.p999).end();
    return st;
}

std::vector<float> greyLevels(const PixelImage& image, float p1, float p999) {
    std::vector<float> grey(image.pixels.size(), 0.0f);
    const double cutRange = static_cast<double>(p999) - p1;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const float v = image.pixels[i];
        // NaN fails every comparison below; it is shown white, like a value above the high cut.
        if (std::isnan(v)) {
            grey[i] = 255.0f;
            continue;
        }
        // The rules apply in order; the stretch only strictly between the cuts, so equal cuts
        // never divide by zero.
        if (v <= p1) grey[i] = 0.0f;
        if (v >= p999) grey[i] = 255.0f;
        if (p1 < v && v < p999) grey[i] = f32((static_cast<double>(v) - p1) * 255.0 / cutRange);
    }
    return grey;
}

int screenFactor(int columns, int rows, int desktopWidth, int desktopHeight, RunLog& log) {
    int larger = 0;
    // Without a usable desktop size the image is shown unreduced.
    if (desktopWidth > 0 && desktopHeight > 0) {
        // How many whole desktops the image spans in each direction.
        const int fx = truncToInt(static_cast<double>(columns) / desktopWidth);
        const int fy = truncToInt(static_cast<double>(rows) / desktopHeight);
        larger = std::max({fx, fy, 0});
    }
    log.end().text("Screen Factor = ").num(larger).end();
    // One more than the whole desktops spanned, so the reduced image fits.
    return larger + 1;
}

}  // namespace orvel
