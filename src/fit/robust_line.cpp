#include "fit/robust_line.h"

#include <algorithm>
#include <vector>

#include "base/numeric.h"

namespace orvel {

namespace {

// The median of the values (the mean of the two middle ones for an even count); 0 for none.
double medianOf(std::vector<double> v) {
    if (v.empty()) return 0.0;
    const std::size_t n = v.size();
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2), v.end());
    const double upper = v[n / 2];
    if (n % 2 == 1) return upper;
    const double lower =
        *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2));
    return 0.5 * (lower + upper);
}

}  // namespace

BandFit repeatedMedianLine(std::span<const FitPoint> points) {
    BandFit line;
    line.analysed = static_cast<int>(points.size());
    std::vector<double> slopes;
    for (const FitPoint& p : points) {
        // Each point's own median slope to the others: one bad point moves few of them.
        std::vector<double> own;
        for (const FitPoint& q : points)
            if (q.airmass != p.airmass)
                own.push_back((static_cast<double>(q.magnitude) - p.magnitude) /
                              (static_cast<double>(q.airmass) - p.airmass));
        if (!own.empty()) slopes.push_back(medianOf(std::move(own)));
    }
    if (slopes.empty()) return line;
    const double slope = medianOf(std::move(slopes));
    std::vector<double> intercepts;
    for (const FitPoint& p : points) intercepts.push_back(p.magnitude - slope * p.airmass);
    line.slope = f32(slope);
    line.intercept = f32(medianOf(std::move(intercepts)));
    return line;
}

}  // namespace orvel
