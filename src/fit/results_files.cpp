#include "fit/results_files.h"

#include <cmath>
#include <cstdio>

#include "fit/band_regression.h"
#include "fit/results_report.h"
#include "platform/file_io.h"

namespace orvel {

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
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

const char* bandName(int band) {
    switch (band) {
        case 1:
            return "R";
        case 2:
            return "G";
        case 3:
            return "B";
        default:
            return "";
    }
}

std::string isoDate(const ImageHeader& h) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", h.year, h.month, h.day, h.hour,
                  h.minute, h.second);
    return buf;
}

}  // namespace

std::string frameResultsCsv(const NightMeasurements& night) {
    std::string out =
        "file,band,date_obs,airmass,elevation_deg,ring_column,ring_row,inner_radius,sky_level,"
        "integrated_dc,magnitude_value,included,note\r\n";
    for (std::size_t i = 0; i < night.details.size(); ++i) {
        const FileMeasurement& m = night.details[i];
        const FileObservation& o = night.observations[i];
        out += csvField(m.name) + ',' + bandName(m.band) + ',';
        if (m.measured) {
            out += isoDate(m.header) + ',' + csvNumber(m.airmass) + ',' + csvNumber(m.elevation) +
                   ',' + std::to_string(m.ringColumn) + ',' + std::to_string(m.ringRow) + ',' +
                   csvNumber(m.innerRadius) + ',' + csvNumber(m.skyLevel) + ',' +
                   csvNumber(m.integratedDc) + ',' + csvNumber(m.magnitude, 17) + ',';
        } else {
            out += ",,,,,,,,,";
        }
        out += inFit(o) ? "1" : "0";
        out += ',' + csvField(m.measured ? (inFit(o) ? "" : "removed") : m.problem);
        out += "\r\n";
    }
    return out;
}

double slopeStandardError(std::span<const FileObservation> block, const BandFit& fit) {
    double sx = 0.0;
    int n = 0;
    for (const FileObservation& o : block)
        if (inFit(o)) sx += o.airmass, ++n;
    if (n < 3) return std::nan("");
    const double meanX = sx / n;
    double residuals = 0.0;
    double spread = 0.0;
    for (const FileObservation& o : block) {
        if (!inFit(o)) continue;
        const double r = o.magnitude - (static_cast<double>(fit.intercept) + fit.slope * o.airmass);
        residuals += r * r;
        spread += (o.airmass - meanX) * (o.airmass - meanX);
    }
    return std::sqrt(residuals / (n - 2) / spread);
}

std::string bandResultsCsv(const NightMeasurements& night, const std::array<int, 3>& counts) {
    const BandSignals signals = deriveSignals(night.fits);
    std::string out =
        "band,k,k_standard_error,intercept,r2,files,analysed,signal_at_x1_adu,signal_at_x0_adu,"
        "ratio_at_x1,ratio_at_x0\r\n";
    for (std::size_t b = 0; b < 3; ++b) {
        const BandFit& f = night.fits[b];
        out += std::string(bandName(static_cast<int>(b) + 1)) + ',';
        // A band without files has no fit: its numbers are left empty rather than the zeros
        // the fit starts from.
        if (counts[b] <= 0) {
            out += ",,,,0,0,,,,\r\n";
            continue;
        }
        const std::span<const FileObservation> block = bandBlock(night.observations, counts, b);
        out += csvNumber(-static_cast<double>(f.slope)) + ',' +
               csvNumber(slopeStandardError(block, f)) + ',' + csvNumber(f.intercept) + ',' +
               csvNumber(f.r2) + ',' + std::to_string(counts[b]) + ',' +
               std::to_string(f.analysed) + ',' + csvNumber(signals.oneAirmass[b]) + ',' +
               csvNumber(signals.exoatmospheric[b]) + ',' + csvNumber(signals.oneAirmassRatio[b]) +
               ',' + csvNumber(signals.exoatmosphericRatio[b]) + "\r\n";
    }
    return out;
}

bool writeResultsFiles(const NightMeasurements& night, const std::array<int, 3>& bandCounts,
                       const std::filesystem::path& folder) {
    const bool frames = writeWholeFile(folder / "ORVEL_results.csv", frameResultsCsv(night));
    const bool bands = writeWholeFile(folder / "ORVEL_fit.csv", bandResultsCsv(night, bandCounts));
    return frames && bands;
}

}  // namespace orvel
