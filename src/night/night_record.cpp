#include "night/night_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/numeric.h"
#include "fit/band_regression.h"
#include "fit/fit_errors.h"
#include "fit/robust_line.h"

namespace orvel {

FitPoint FrameMeasurement::point() const {
    return {precise ? f32(precise->airmass) : sky.airmass, f32(rings.magnitude)};
}

double FrameMeasurement::fittedElevation() const {
    return precise ? precise->elevation : static_cast<double>(sky.elevation);
}

bool NightRecord::anyMeasured() const {
    return std::any_of(frames.begin(), frames.end(),
                       [](const FrameRecord& f) { return f.measured(); });
}

double framePixelScale(const FrameRecord& frame) {
    return frame.source.mosaic ? 2.0 : 1.0;
}

double fullFramePlace(const FrameRecord& frame, int superPixelOrPixel) {
    if (!frame.source.mosaic) return superPixelOrPixel;
    return 2.0 * superPixelOrPixel + 0.5;
}

DetectorNoise frameDetector(const FrameRecord& frame, const FitChoices& fitting) {
    DetectorNoise d = fitting.detector;
    if (std::isfinite(frame.header.gain)) d.gain = frame.header.gain;
    if (std::isfinite(frame.header.readNoise)) d.readNoise = frame.header.readNoise;
    return d;
}

std::optional<double> frameJulianDate(const FrameRecord& frame) {
    if (!frame.measured()) return std::nullopt;
    if (frame.measurement->precise) {
        const double jd = frame.measurement->precise->julianDate;
        return std::isfinite(jd) && jd != 0.0 ? std::optional<double>(jd) : std::nullopt;
    }
    if (!frame.header.hasDate) return std::nullopt;
    return utcJulianDate(frame.header, TimeReference::start);
}

double nightTimeOrigin(const NightRecord& night) {
    double origin = std::nan("");
    for (const FrameRecord& f : night.frames)
        if (const std::optional<double> jd = frameJulianDate(f); jd && !(*jd >= origin))
            origin = *jd;
    return origin;
}

FitPoint framePoint(const FrameRecord& frame, const FitChoices& fitting, double origin) {
    FitPoint p = frame.measurement->point();
    p.error = lnSignalError(frame.measurement->rings, frameDetector(frame, fitting));
    if (const std::optional<double> jd = frameJulianDate(frame)) p.hours = (*jd - origin) * 24.0;
    return p;
}

std::vector<FitPoint> bandPoints(const NightRecord& night, Band band) {
    std::vector<FitPoint> points;
    const double origin = nightTimeOrigin(night);
    for (const FrameRecord& f : night.frames)
        if (f.band == band && f.included()) points.push_back(framePoint(f, night.fitting, origin));
    return points;
}

bool fittedWeighted(const NightRecord& night, std::span<const FitPoint> points) {
    return night.fitting.weighted && hasUsableErrors(points);
}

void fitBands(NightRecord& night) {
    for (const Band b : kBands) {
        const int files = night.bandCounts[bandIndex(b)];
        // A band without files is never fitted and keeps its zero line.
        if (files <= 0) continue;
        const std::vector<FitPoint> points = bandPoints(night, b);
        night.fits[bandIndex(b)] =
            fittedWeighted(night, points) ? fitBandWeighted(points, files) : fitBand(points, files);
    }
}

std::optional<std::size_t> findIncludedFrame(const NightRecord& night, std::string_view name) {
    for (std::size_t i = 0; i < night.frames.size(); ++i)
        if (night.frames[i].included() && night.frames[i].name == name) return i;
    return std::nullopt;
}

std::optional<std::size_t> findRemovedFrame(const NightRecord& night, std::string_view name) {
    for (std::size_t i = 0; i < night.frames.size(); ++i)
        if (night.frames[i].state == FrameState::removed && night.frames[i].name == name) return i;
    return std::nullopt;
}

void removeFrame(NightRecord& night, std::size_t index) {
    FrameRecord& f = night.frames.at(index);
    f.state = FrameState::removed;
    f.whyLeftOut = "removed";
}

void restoreFrame(NightRecord& night, std::size_t index) {
    FrameRecord& f = night.frames.at(index);
    if (f.state != FrameState::removed) return;
    f.state = FrameState::measured;
    f.whyLeftOut.clear();
}

namespace {

// The night's index of the band's n-th included frame.
std::size_t includedFrame(const NightRecord& night, Band band, std::size_t n) {
    for (std::size_t i = 0; i < night.frames.size(); ++i) {
        const FrameRecord& f = night.frames[i];
        if (f.band == band && f.included() && n-- == 0) return i;
    }
    return night.frames.size();
}

}  // namespace

std::vector<Rejection> rejectOutliers(NightRecord& night, double limit) {
    std::vector<Rejection> rejected;
    fitBands(night);
    for (const Band b : kBands) {
        // One frame at a time, judged from the repeated-median line that the bad frames cannot
        // tilt; each one left out changes the line the next is judged by.
        while (true) {
            const std::vector<FitPoint> points = bandPoints(night, b);
            const std::optional<Outlier> worst = worstOutlier(points, robustLine(points), limit);
            if (!worst) break;
            const std::size_t frame = includedFrame(night, b, worst->index);
            char why[80];
            std::snprintf(why, sizeof why, "rejected: %.1f robust deviations from the line",
                          worst->deviations);
            night.frames[frame].state = FrameState::rejected;
            night.frames[frame].whyLeftOut = why;
            rejected.push_back({frame, worst->deviations});
            fitBands(night);
        }
    }
    return rejected;
}

}  // namespace orvel
