// The fit of the night as every report, file and picture reads it: per band the line, its
// errors, the change of k through the night and the signals the lines give, with the warnings
// the fit raises. Made once after every change of the night; nothing that shows it fits again.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "fit/band_fit.h"
#include "fit/band_regression.h"
#include "fit/extinction_drift.h"
#include "fit/fit_errors.h"
#include "night/night_record.h"
#include "night/night_warnings.h"

namespace orvel {

// What a band's fit can be relied on for.
enum class Verdict {
    none,      // no line: no files, or fewer than two frames
    good,      // nothing speaks against it
    doubtful,  // a line, with reasons to doubt it
};

struct BandResult {
    int files = 0;                    // the band's listed files
    BandFit line;                     // the fitted line: slope and intercept (ln units), R2, counts
    bool weighted = false;            // fitted with weights 1 / error^2
    SlopeErrors errors;               // the slope's standard errors, ln per airmass
    ExtinctionDrift drift;            // the change of k through the night
    Verdict verdict = Verdict::none;  // judged from what the fit gives
    std::vector<std::string> reasons;  // why a doubtful band is doubtful

    // A line was fitted: the band has files and at least two frames in the fit.
    bool hasLine() const { return files > 0 && line.analysed >= 2; }
    // The extinction coefficient, ln per airmass.
    double k() const { return -static_cast<double>(line.slope); }
};

struct NightFit {
    std::array<BandResult, 3> bands{};   // red, green, blue
    BandSignals signals;                 // signals and ratios at airmass 1 and 0
    std::vector<NightWarning> warnings;  // what the fit tells of frames and bands

    const BandResult& band(Band b) const { return bands[bandIndex(b)]; }
    // The three lines, red, green, blue (a band without files keeps its zero line).
    std::array<BandFit, 3> lines() const;
};

// Fits every band with files over its included frames (night.fits) and gathers what the
// reports read.
NightFit fitNight(NightRecord& night);

// What the night's lines as they stand give, without fitting them again.
NightFit describeFit(const NightRecord& night);

}  // namespace orvel
