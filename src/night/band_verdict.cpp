#include "night/band_verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/display_text.h"
#include "night/altitude_check.h"

namespace orvel {

namespace {

std::string decimals(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}

// Suspected outliers of the band among the fit's warnings that also stand beyond their own
// noise: frames the line still holds. On a clean night the robust spread can be far below the
// noise, and a residual of a few times it is no cloud.
int outliersLeft(const NightRecord& night, const NightFit& fit, Band b) {
    const BandFit& line = fit.band(b).line;
    int n = 0;
    for (const NightWarning& w : fit.warnings) {
        if (!w.frame || night.frames[*w.frame].band != b ||
            !w.text.starts_with("it is a suspected outlier"))
            continue;
        const FitPoint p = framePoint(night.frames[*w.frame], night.fitting, 0.0);
        const double residual =
            p.magnitude - (static_cast<double>(line.intercept) +
                           static_cast<double>(line.slope) * static_cast<double>(p.airmass));
        // Without a noise estimate the robust judgement stands alone.
        if (!(std::fabs(residual) <= kOutlierNoises * p.error)) ++n;
    }
    return n;
}

// Frames of the band in the fit whose brightest pixel near the pick hardly stands above the sky:
// the star may not be there at all.
int faintPicks(const NightRecord& night, Band b) {
    int n = 0;
    for (const FrameRecord& f : night.frames)
        if (f.included() && f.band == b &&
            std::any_of(f.warnings.begin(), f.warnings.end(), [](const std::string& w) {
                return w.starts_with("the brightest pixel near the star pick is only");
            }))
            ++n;
    return n;
}

// The span of airmass of the band's frames in the fit.
double airmassSpan(const NightRecord& night, Band b) {
    const std::vector<FitPoint> points = bandPoints(night, b);
    if (points.empty()) return 0.0;
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(),
        [](const FitPoint& p, const FitPoint& q) { return p.airmass < q.airmass; });
    return static_cast<double>(high->airmass) - low->airmass;
}

// Frames of the band in the fit whose computed elevation is more than a degree from the
// telescope's own altitude in its header: the place, the time or the star is wrong for them.
int offTelescope(const NightRecord& night, Band b, std::string& card) {
    int n = 0;
    for (const FrameRecord& f : night.frames)
        if (f.included() && f.band == b && !frameAltitudeNote(f).empty()) {
            card = f.header.altitudeCard;
            ++n;
        }
    return n;
}

// Why a band's line cannot be taken as it stands; empty when nothing speaks against it.
std::vector<std::string> doubts(const NightRecord& night, const NightFit& fit, Band b) {
    const BandResult& r = fit.band(b);
    std::vector<std::string> why;
    const double k = r.k();
    // No sky brightens a star as it sinks: a negative k is a wrong place, time or star.
    if (!(k >= 0.0)) why.push_back("k " + decimals(k, 4) + " is negative");
    if (k > kMostExtinction)
        why.push_back("k " + decimals(k, 4) + " is beyond " + decimals(kMostExtinction, 1) +
                      " ln/airmass");
    const double chi = r.errors.reducedChiSquare;
    if (chi > kMostReducedChiSquare)
        why.push_back("the scatter is " + decimals(std::sqrt(chi), 1) +
                      " times what the noise explains (reduced chi-square " + decimals(chi, 1) +
                      ")");
    if (r.line.analysed < kFewestJudgedFrames)
        why.push_back("it rests on " + std::to_string(r.line.analysed) + " frames");
    const double span = airmassSpan(night, b);
    if (span < kShortestJudgedSpan) why.push_back("its airmass spans only " + decimals(span, 3));
    if (const int n = faintPicks(night, b); n > 0)
        why.push_back(std::to_string(n) + " of its frames show no clear star at the pick");
    if (const int n = outliersLeft(night, fit, b); n > 0)
        why.push_back(std::to_string(n) + " suspected outlier" + (n > 1 ? "s remain" : " remains"));
    std::string card;
    if (const int n = offTelescope(night, b, card); n > 0)
        why.push_back("the computed elevations of " + std::to_string(n) + " of its frames differ " +
                      "from the telescope's " + displaySafe(card) + " by more than a degree");
    return why;
}

}  // namespace

void judgeBands(const NightRecord& night, NightFit& fit) {
    for (const Band b : kBands) {
        BandResult& r = fit.bands[bandIndex(b)];
        r.reasons.clear();
        if (!r.hasLine()) {
            r.verdict = Verdict::none;
            continue;
        }
        r.reasons = doubts(night, fit, b);
        // A scatter far beyond the noise is said as a warning too: its likeliest cause.
        const double chi = r.errors.reducedChiSquare;
        if (chi > kMostReducedChiSquare)
            fit.warnings.push_back({std::nullopt, "the " + std::string(bandLabel(b)) +
                                                      " scatter is " + decimals(std::sqrt(chi), 0) +
                                                      " times what the noise explains: clouds or "
                                                      "a changing sky?"});
        r.verdict = r.reasons.empty() ? Verdict::good : Verdict::doubtful;
    }
}

std::string_view verdictName(Verdict v) {
    switch (v) {
        case Verdict::good:
            return "good";
        case Verdict::doubtful:
            return "doubtful";
        case Verdict::none:
            break;
    }
    return "none";
}

std::string verdictReasons(const BandResult& r) {
    std::string out;
    for (const std::string& reason : r.reasons) out += (out.empty() ? "" : "; ") + reason;
    return out;
}

}  // namespace orvel
