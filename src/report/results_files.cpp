#include "report/results_files.h"

#include <cmath>
#include <cstdio>

#include "analysis/photometric_error.h"
#include "base/file_io.h"
#include "fit/band_regression.h"
#include "fit/extinction_drift.h"
#include "fit/extinction_units.h"
#include "night/band_verdict.h"
#include "night/night_warnings.h"

namespace orvel {

std::string csvField(std::string_view text) {
    // A spreadsheet runs a cell starting with one of these as a formula (a frame named
    // "=cmd|...fit"); the apostrophe makes it text.
    const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != text.npos;
    std::string cell(formula ? 1 : 0, '\'');
    cell += text;
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string csvNumber(double value, int digits) {
    if (std::isnan(value)) return {};
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    return buf;
}

namespace {

std::string isoDate(const ImageHeader& h) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", h.year, h.month, h.day, h.hour,
                  h.minute, h.second);
    return buf;
}

// A ring centre's column or row in full-frame pixels (see fullFramePlace).
std::string ringCentre(const FrameRecord& f, int superPixelOrPixel) {
    if (!f.source.mosaic) return std::to_string(superPixelOrPixel);
    return csvNumber(fullFramePlace(f, superPixelOrPixel));
}

// The measured columns of a frame's row, from date_obs to magnitude_value.
std::string measuredFields(const FrameRecord& f) {
    if (!f.measured()) return ",,,,,,,,,";
    const FrameMeasurement& m = *f.measurement;
    return isoDate(f.header) + ',' + csvNumber(m.sky.airmass) + ',' + csvNumber(m.sky.elevation) +
           ',' + ringCentre(f, m.star.brightestColumn) + ',' + ringCentre(f, m.star.brightestRow) +
           ',' + csvNumber(m.rings.innerRadius) + ',' + csvNumber(m.rings.skyLevel) + ',' +
           csvNumber(m.rings.integratedDC) + ',' + csvNumber(m.rings.magnitude, 17) + ',';
}

// The numbers of a band's row, from k to the ratio at airmass 0.
std::string bandFields(const NightFit& fit, Band b) {
    const std::size_t i = bandIndex(b);
    const BandResult& r = fit.band(b);
    const BandSignals& signals = fit.signals;
    const int files = r.files;
    // A band without files has no fit: its numbers are left empty rather than the zeros
    // the fit starts from.
    if (files <= 0) return ",,,,0,0,,,,,,,,,,,,none,";
    const BandFit& f = r.line;
    // Fewer than two points fit no line: none of its numbers exist.
    if (f.analysed < 2)
        return ",,,," + std::to_string(files) + ',' + std::to_string(f.analysed) +
               ",,,,,,,,,,,,none,";
    const double k = r.k();
    const bool weighted = r.weighted;
    const SlopeErrors& errors = r.errors;
    const double error = errors.residual;
    const ExtinctionDrift& drift = r.drift;
    return csvNumber(k) + ',' + csvNumber(error) + ',' + csvNumber(f.intercept) + ',' +
           csvNumber(f.r2) + ',' + std::to_string(files) + ',' + std::to_string(f.analysed) + ',' +
           csvNumber(signals.oneAirmass[i]) + ',' + csvNumber(signals.exoatmospheric[i]) + ',' +
           csvNumber(signals.oneAirmassRatio[i]) + ',' + csvNumber(signals.exoatmosphericRatio[i]) +
           ',' + csvNumber(kMagnitudesPerLn * k) + ',' + csvNumber(kMagnitudesPerLn * error) + ',' +
           csvNumber(errors.propagated) + ',' + csvNumber(errors.reducedChiSquare) + ',' +
           csvNumber(drift.perHour) + ',' + csvNumber(drift.error) + ',' + (weighted ? "1" : "0") +
           ',' + std::string(verdictName(r.verdict)) + ',' + csvField(verdictReasons(r));
}

// The precise airmass and elevation beside the described ones; empty without --airmass precise.
std::string preciseFields(const FrameRecord& f) {
    if (!f.measured() || !f.measurement->precise) return ",,";
    const PreciseSky& p = *f.measurement->precise;
    return ',' + csvNumber(p.airmass, 10) + ',' + csvNumber(p.elevation, 10);
}

// The star's width, brightest aperture pixel, the sky's noise and the signal-to-noise ratio
// (with the frame's gain and read noise); empty for a frame that was not measured.
std::string qualityFields(const NightRecord& night, const FrameRecord& f) {
    if (!f.measured()) return ",,,,";
    const RingPhotometry& r = f.measurement->rings;
    const double ratio = signalToNoise(r, frameDetector(f, night.fitting));
    return ',' + csvNumber(f.measurement->profile.fwhm) + ',' + csvNumber(r.peak) + ',' +
           csvNumber(r.skyNoise) + ',' + csvNumber(ratio);
}

// A measured frame's noise error, its distance from its band's line (left-out frames too) and
// its time from the night's first frame.
std::string noiseFields(const NightRecord& night, const NightFit& fit, const FrameRecord& f,
                        double origin) {
    if (!f.measured()) return ",,,";
    const FitPoint p = framePoint(f, night.fitting, origin);
    const BandFit& line = fit.band(f.band).line;
    const double residual = static_cast<double>(p.magnitude) -
                            (static_cast<double>(line.intercept) +
                             static_cast<double>(line.slope) * static_cast<double>(p.airmass));
    const bool fitted = line.analysed >= 2 && std::isfinite(residual);
    return ',' + csvNumber(p.error) + ',' + (fitted ? csvNumber(residual) : std::string()) + ',' +
           csvNumber(p.hours, 10);
}

}  // namespace

std::string frameResultsCsv(const NightRecord& night, const NightFit& fit) {
    std::string out =
        "file,band,date_obs,airmass,elevation_deg,ring_column,ring_row,inner_radius,sky_level,"
        "integrated_dc,magnitude_value,included,note,precise_airmass,precise_elevation_deg,"
        "fwhm_px,peak_dc,sky_noise_dc,signal_to_noise,ln_signal_error,residual,time_hours\r\n";
    const std::vector<NightWarning>& warnings = fit.warnings;
    const double origin = nightTimeOrigin(night);
    for (std::size_t i = 0; i < night.frames.size(); ++i) {
        const FrameRecord& f = night.frames[i];
        out += csvField(f.name) + ',' + std::string(bandLetterText(f.band)) + ',';
        out += measuredFields(f);
        out += f.included() ? "1" : "0";
        out += ',' + csvField(frameNote(night, i, warnings));
        out += preciseFields(f) + qualityFields(night, f) + noiseFields(night, fit, f, origin) +
               "\r\n";
    }
    return out;
}

std::string bandResultsCsv(const NightFit& fit) {
    std::string out =
        "band,k,k_standard_error,intercept,r2,files,analysed,signal_at_x1_adu,signal_at_x0_adu,"
        "ratio_at_x1,ratio_at_x0,k_mag_per_airmass,k_mag_standard_error,k_propagated_error,"
        "reduced_chi2,drift_per_hour,drift_error,weighted,verdict,verdict_reasons\r\n";
    for (const Band b : kBands)
        out += std::string(bandLetterText(b)) + ',' + bandFields(fit, b) + "\r\n";
    return out;
}

bool writeResultsFiles(const NightRecord& night, const NightFit& fit,
                       const std::filesystem::path& folder) {
    const bool frames = writeWholeFile(folder / "ORVEL_results.csv", frameResultsCsv(night, fit));
    const bool bands = writeWholeFile(folder / "ORVEL_fit.csv", bandResultsCsv(fit));
    return frames && bands;
}

}  // namespace orvel
