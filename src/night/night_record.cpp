#include "night/night_record.h"

#include <algorithm>

#include "base/numeric.h"
#include "fit/band_regression.h"

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

std::vector<FitPoint> bandPoints(const NightRecord& night, Band band) {
    std::vector<FitPoint> points;
    for (const FrameRecord& f : night.frames)
        if (f.band == band && f.included) points.push_back(f.measurement->point());
    return points;
}

void fitBands(NightRecord& night) {
    for (const Band b : kBands) {
        const int files = night.bandCounts[bandIndex(b)];
        // A band without files is never fitted and keeps its zero line.
        if (files <= 0) continue;
        night.fits[bandIndex(b)] = fitBand(bandPoints(night, b), files);
    }
}

std::optional<std::size_t> findIncludedFrame(const NightRecord& night, std::string_view name) {
    for (std::size_t i = 0; i < night.frames.size(); ++i)
        if (night.frames[i].included && night.frames[i].name == name) return i;
    return std::nullopt;
}

void removeFrame(NightRecord& night, std::size_t index) {
    FrameRecord& f = night.frames.at(index);
    f.included = false;
    f.whyLeftOut = "removed";
}

}  // namespace orvel
