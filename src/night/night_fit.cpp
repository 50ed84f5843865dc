#include "night/night_fit.h"

#include "night/band_verdict.h"

namespace orvel {

std::array<BandFit, 3> NightFit::lines() const {
    return {bands[0].line, bands[1].line, bands[2].line};
}

NightFit fitNight(NightRecord& night) {
    fitBands(night);
    return describeFit(night);
}

NightFit describeFit(const NightRecord& night) {
    NightFit fit;
    for (const Band b : kBands) {
        BandResult& r = fit.bands[bandIndex(b)];
        r.files = night.bandCounts[bandIndex(b)];
        r.line = night.fits[bandIndex(b)];
        if (r.files <= 0) continue;
        const std::vector<FitPoint> points = bandPoints(night, b);
        r.weighted = fittedWeighted(night, points);
        r.errors = slopeErrors(points, r.line, r.weighted);
        r.drift = fitExtinctionDrift(points, r.weighted);
    }
    fit.signals = deriveSignals(night.fits);
    fit.warnings = fitWarnings(night);
    judgeBands(night, fit);
    return fit;
}

}  // namespace orvel
