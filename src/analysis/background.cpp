#include "analysis/background.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/order_statistics.h"
#include "base/numeric.h"

namespace orvel {

BackgroundStats measureBackground(const PixelImage& image, const StarSelection& selection) {
    BackgroundStats st;
    // The planned count truncates only the width: round((y2 - y1) x trunc(x2 - x1)).
    const double width = std::trunc(static_cast<double>(selection.x2) - selection.x1);
    st.planned = std::max(0, toInt((static_cast<double>(selection.y2) - selection.y1) * width));
    // Pixels outside the image are left out and do not count toward n, so the visit is
    // limited to the part of the rectangle that lies inside the image.
    const int firstRow = std::max(truncToInt(selection.y1), 0);
    const int lastRow = std::min(truncToInt(selection.y2), image.rows - 1);
    const int firstColumn = std::max(truncToInt(selection.x1), 0);
    const int lastColumn = std::min(truncToInt(selection.x2), image.columns - 1);
    // The visit may cover more pixels than planned; it stops once n have been taken.
    std::vector<float> values;
    if (firstRow <= lastRow && firstColumn <= lastColumn) {
        const long long inside = (static_cast<long long>(lastRow) - firstRow + 1) *
                                 (static_cast<long long>(lastColumn) - firstColumn + 1);
        values.reserve(static_cast<std::size_t>(std::min<long long>(inside, st.planned)));
    }
    // Sums in double precision: 32-bit sums lose the pixels of a large rectangle.
    double sum = 0.0;
    double sumOfSquares = 0.0;
    for (int row = firstRow; row <= lastRow && st.taken < st.planned; ++row) {
        for (int column = firstColumn; column <= lastColumn && st.taken < st.planned; ++column) {
            const float v = image.at(column, row);
            values.push_back(v);
            ++st.taken;
            if (v > st.largest) st.largest = v;
            if (v < st.smallest) st.smallest = v;
            sum += v;
            sumOfSquares += static_cast<double>(v) * v;
        }
    }
    // Population moments over the pixels taken (none gives NaN), the mean squared in double.
    const double n = static_cast<double>(st.taken);
    const double mean = sum / n;
    st.mean = f32(mean);
    const float variance = f32(sumOfSquares / n - mean * mean);
    // A variance made negative by rounding is reported as it is, without a root.
    st.standardDeviation = f32(safeSqrt(variance));
    // The median is robust against stars inside the rectangle: it is the background level.
    // Without NaN a selection finds the same median as the sort, in linear time; with NaN the
    // heap sort is used, because the place of NaN in the list depends on its exact comparisons.
    if (std::none_of(values.begin(), values.end(), [](float v) { return std::isnan(v); })) {
        st.median = selectMedian(values);
    } else {
        SortAscending(values);
        st.median = MedianOfSorted(values);
    }
    return st;
}

}  // namespace orvel
