#include "report/fit_report.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "fit/band_regression.h"
#include "fit/extinction_drift.h"
#include "fit/extinction_units.h"
#include "night/band_verdict.h"
#include "night/night_warnings.h"

namespace orvel {

namespace {

// The band's label right-aligned in a column of the given width, then the rest of the label:
// "    RED = ", " GREEN Slope = ".
std::string label(Band b, std::size_t width, std::string_view rest) {
    const std::string_view name = bandLabel(b);
    return std::string(width > name.size() ? width - name.size() : 0, ' ') + std::string(name) +
           std::string(rest);
}

// The coefficient line of one band, k = -slope, with its counts.
void logCoefficient(RunLog& log, Band b, const BandFit& fit) {
    log.text(label(b, 7, " = ")).num(-static_cast<double>(fit.slope));
    log.text("  # Files = ").num(fit.files).text("  # Analyzed = ").num(fit.analysed).end();
}

// The console form of the coefficient line also shows R2.
void showCoefficient(ConsoleText& console, Band b, const BandFit& fit) {
    console.print(label(b, 7, " = "));
    console.printNumber(-static_cast<double>(fit.slope));
    console.print("  # Files = ");
    console.printNumber(fit.files);
    console.print("  # Analyzed = ");
    console.printNumber(fit.analysed);
    console.print("  R2 = ");
    console.printNumber(fit.r2);
    console.endLine();
}

// Regression parameters and derived signals of all three bands, fitted or not.
void logParametersAndSignals(RunLog& log, const std::array<BandFit, 3>& fits,
                             const BandSignals& s) {
    log.end().line("Regression parameters-");
    for (const Band b : kBands) {
        const BandFit& f = fits[bandIndex(b)];
        log.text(label(b, 6, " Slope = ")).num(f.slope).text("   Y-Intercept (Mag) = ");
        log.num(f.intercept).text("   R2 = ").num(f.r2).end();
    }
    log.end().line("One-atmosphere Results (optical thickness X=1)-");
    for (const Band b : kBands) {
        log.text(label(b, 6, "    Y at X=1 (ADUs) = ")).num(s.oneAirmass[bandIndex(b)]);
        log.text("   Ratio = ").num(s.oneAirmassRatio[bandIndex(b)]).end();
    }
    log.end().line("Exoatmospheric Results (optical thickness X=0)-");
    for (const Band b : kBands) {
        log.text(label(b, 6, "    Y at X=0 (ADUs) = ")).num(s.exoatmospheric[bandIndex(b)]);
        log.text("   Ratio = ").num(s.exoatmosphericRatio[bandIndex(b)]).end();
    }
}

// The band ratios at one airmass, the weights a colour balance would use; a band without a
// line has none.
void showRatios(ConsoleText& console, const NightFit& fit) {
    console.endLine();
    console.printLine("Band Ratios (equivalent to Weight Factors for G2V stars)-");
    for (const Band b : kBands) {
        console.print(label(b, 6, " = "));
        if (fit.band(b).hasLine())
            console.printNumber(fit.signals.oneAirmassRatio[bandIndex(b)]);
        else
            console.print("\u2013");
        console.endLine();
    }
}

// A number with fixed decimals; an en dash for one that does not exist.
std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return "\u2013";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

// Each fitted band's k in magnitudes per airmass, the unit photometry tools take, beside the
// natural-log value the report gives; then which airmass the ratios are for.
void showUnits(ConsoleText& console, const NightFit& fit, const BandSignals& s) {
    console.endLine();
    for (const Band b : kBands) {
        const BandResult& r = fit.band(b);
        const BandFit& f = r.line;
        if (r.files <= 0) continue;
        std::string name(bandLabel(b));
        name.resize(7, ' ');
        const double k = r.k();
        const double error = r.errors.residual;
        console.printLine(name + "k = " + fixed(kMagnitudesPerLn * k, 4) + " \u00b1 " +
                          fixed(kMagnitudesPerLn * error, 4) + " mag/airmass (" + fixed(k, 4) +
                          " ln/airmass), R2 " + fixed(f.r2, 5) + ", " + std::to_string(f.analysed) +
                          " frames");
    }
    std::string zero =
        "The band ratios above are at airmass 1; at airmass 0 (above the atmosphere):";
    for (const Band b : kBands) {
        char value[32] = "\u2013";
        if (fit.band(b).hasLine())
            std::snprintf(value, sizeof value, "%.7g",
                          static_cast<double>(s.exoatmosphericRatio[bandIndex(b)]));
        zero += std::string(b == Band::red ? " " : ", ") + std::string(bandLabel(b)) + " " + value;
    }
    console.printLine(zero);
}

// A band whose extinction changed through the night by more than three standard errors.
void showDrift(ConsoleText& console, const NightFit& fit) {
    for (const Band b : kBands) {
        if (fit.band(b).files <= 0) continue;
        const ExtinctionDrift& d = fit.band(b).drift;
        if (!(d.significance() > kDriftSignificance)) continue;
        char text[96];
        std::snprintf(text, sizeof text, ": extinction drifted by %+.2g per hour (%.1f\u03c3)",
                      d.perHour, d.significance());
        console.printLine(std::string(bandLabel(b)) + text);
    }
}

// Each band's verdict: good, doubtful with its reasons, or none (no line).
void showVerdicts(ConsoleText& console, const NightFit& fit) {
    for (const Band b : kBands) {
        const BandResult& r = fit.band(b);
        if (r.files <= 0) continue;
        std::string name(bandLabel(b));
        name.resize(7, ' ');
        std::string text = name + "verdict: " + std::string(verdictName(r.verdict));
        if (r.verdict == Verdict::doubtful) text += " (" + verdictReasons(r) + ")";
        if (r.verdict == Verdict::none) text += " (no line: fewer than two frames)";
        console.printLine(text);
    }
}

}  // namespace

void reportWarnings(const NightRecord& night, const NightFit& fit, ConsoleText& console,
                    bool withFrameWarnings) {
    std::vector<NightWarning> warnings;
    if (withFrameWarnings) warnings = frameWarnings(night);
    warnings.insert(warnings.end(), fit.warnings.begin(), fit.warnings.end());
    if (warnings.empty()) return;
    console.endLine();
    for (const NightWarning& w : warnings) {
        const std::string about = w.frame ? night.frames[*w.frame].name + ": " : std::string();
        // A question ends its own sentence.
        console.printLine("Warning: " + about + w.text + (w.text.ends_with("?") ? "" : "."));
    }
}

void reportFit(const NightFit& fit, RunLog& log, ConsoleText& console) {
    log.end().line("----------  FINAL RESULTS  --------------------");
    log.end().line("Extinction Coefficients:");
    console.endLine();
    console.printLine("Extinction Coefficients:");
    for (const Band b : kBands) {
        // A band without files is never fitted and has no coefficient line.
        if (fit.band(b).files <= 0) continue;
        logCoefficient(log, b, fit.band(b).line);
        showCoefficient(console, b, fit.band(b).line);
    }
    logParametersAndSignals(log, fit.lines(), fit.signals);
    showRatios(console, fit);
    showUnits(console, fit, fit.signals);
    showDrift(console, fit);
    showVerdicts(console, fit);
}

}  // namespace orvel
