#include "night/night_warnings.h"

#include <algorithm>
#include <cmath>

#include "base/number_format.h"
#include "base/numeric.h"
#include "fit/robust_line.h"
#include "night/altitude_check.h"

namespace orvel {

namespace {

// A residual beyond this many robust standard deviations marks a suspected outlier.
constexpr double kOutlierSpread = 4.0;
// Robust spreads below this (ln units, 0.1 % of the signal) are taken as this: on a night
// without noise every tiny residual would otherwise stand out.
constexpr double kSmallestSpread = 1e-3;
// Fewer points than this give no robust spread to judge by.
constexpr std::size_t kOutlierPoints = 4;
// A k from fewer frames, or from a shorter span of airmass, is weak.
constexpr int kFewestFrames = 3;
constexpr double kShortestSpan = 0.3;

// Suspected outliers of one band: residuals beyond four robust standard deviations (1.4826
// times the median absolute deviation) from its robust line, which the suspects
// themselves cannot tilt towards them.
void bandOutliers(const NightRecord& night, Band band, std::vector<NightWarning>& out) {
    const BandFit fit = robustLine(bandPoints(night, band));
    std::vector<std::size_t> frames;
    std::vector<double> residuals;
    for (std::size_t i = 0; i < night.frames.size(); ++i) {
        const FrameRecord& f = night.frames[i];
        if (!f.included() || f.band != band) continue;
        const FitPoint p = f.measurement->point();
        frames.push_back(i);
        residuals.push_back(p.magnitude - (static_cast<double>(fit.intercept) +
                                           static_cast<double>(fit.slope) * p.airmass));
    }
    if (residuals.size() < kOutlierPoints) return;
    const double centre = medianOf(residuals);
    std::vector<double> deviations;
    for (const double r : residuals) deviations.push_back(std::fabs(r - centre));
    const double spread = std::max(1.4826 * medianOf(deviations), kSmallestSpread);
    for (std::size_t j = 0; j < residuals.size(); ++j) {
        if (!(std::fabs(residuals[j] - centre) > kOutlierSpread * spread)) continue;
        out.push_back({frames[j], "it is a suspected outlier: its residual from the " +
                                      std::string(bandLabel(band)) + " robust line is" +
                                      formatSpaced(residuals[j]) + "that is" +
                                      formatSpaced(std::fabs(residuals[j] - centre) / spread) +
                                      "robust standard deviations"});
    }
}

// A band whose k rests on few frames or a short span of airmass.
void weakBand(const NightRecord& night, Band band, std::vector<NightWarning>& out) {
    if (night.bandCounts[bandIndex(band)] <= 0) return;
    const std::vector<FitPoint> points = bandPoints(night, band);
    const std::string name(bandLabel(band));
    if (static_cast<int>(points.size()) < kFewestFrames) {
        out.push_back({std::nullopt,
                       "the " + name + " k rests on " + std::to_string(points.size()) + " frames"});
        return;
    }
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(),
        [](const FitPoint& a, const FitPoint& b) { return a.airmass < b.airmass; });
    const double span = static_cast<double>(high->airmass) - low->airmass;
    if (span < kShortestSpan)
        out.push_back({std::nullopt, "the " + name + " frames span only" + formatSpaced(span) +
                                         "in airmass; k needs a longer span"});
}

}  // namespace

std::vector<NightWarning> fitWarnings(const NightRecord& night) {
    std::vector<NightWarning> out;
    for (const Band b : kBands) bandOutliers(night, b, out);
    for (const Band b : kBands) weakBand(night, b, out);
    return out;
}

std::vector<NightWarning> frameWarnings(const NightRecord& night) {
    std::vector<NightWarning> out;
    for (std::size_t i = 0; i < night.frames.size(); ++i)
        if (night.frames[i].included())
            for (const std::string& w : night.frames[i].warnings) out.push_back({i, w});
    return out;
}

std::string frameNote(const NightRecord& night, std::size_t frame,
                      const std::vector<NightWarning>& fitWarnings) {
    const FrameRecord& f = night.frames[frame];
    std::vector<std::string> parts;
    if (!f.whyLeftOut.empty()) parts.push_back(f.whyLeftOut);
    if (f.included()) parts.insert(parts.end(), f.warnings.begin(), f.warnings.end());
    for (const NightWarning& w : fitWarnings)
        if (w.frame == frame) parts.push_back(w.text);
    // The telescope's own altitude, where the header gives one, checks the computed elevation.
    if (const std::string off = frameAltitudeNote(f); !off.empty()) parts.push_back(off);
    std::string note;
    for (const std::string& p : parts) note += (note.empty() ? "" : "; ") + p;
    return note;
}

}  // namespace orvel
