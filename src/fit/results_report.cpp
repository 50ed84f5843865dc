#include "fit/results_report.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "fit/band_regression.h"

namespace orvel {

namespace {

constexpr std::array<std::string_view, 3> kCoefficientLabels = {
    "    RED = ", "  GREEN = ", "   BLUE = "};
constexpr std::array<std::string_view, 3> kSlopeLabels = {
    "   RED Slope = ", " GREEN Slope = ", "  BLUE Slope = "};
constexpr std::array<std::string_view, 3> kOneAirmassLabels = {
    "   RED    Y at X=1 (ADUs) = ", " GREEN    Y at X=1 (ADUs) = ", "  BLUE    Y at X=1 (ADUs) = "};
constexpr std::array<std::string_view, 3> kExoatmosphericLabels = {
    "   RED    Y at X=0 (ADUs) = ", " GREEN    Y at X=0 (ADUs) = ", "  BLUE    Y at X=0 (ADUs) = "};
constexpr std::array<std::string_view, 3> kRatioLabels = {"   RED = ", " GREEN = ", "  BLUE = "};

// The coefficient line of one band, k = -slope, with its counts.
void logCoefficient(RunLog& log, std::size_t band, const BandFit& fit) {
    log.text(kCoefficientLabels[band]).num(-static_cast<double>(fit.slope));
    log.text("  # Files = ").num(fit.files).text("  # Analyzed = ").num(fit.analysed).end();
}

// The console form of the coefficient line also shows R2.
void showCoefficient(Console& console, std::size_t band, const BandFit& fit) {
    console.print(kCoefficientLabels[band]);
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
    for (std::size_t b = 0; b < 3; ++b) {
        log.text(kSlopeLabels[b]).num(fits[b].slope).text("   Y-Intercept (Mag) = ");
        log.num(fits[b].intercept).text("   R2 = ").num(fits[b].r2).end();
    }
    log.end().line("One-atmosphere Results (optical thickness X=1)-");
    for (std::size_t b = 0; b < 3; ++b) {
        log.text(kOneAirmassLabels[b]).num(s.oneAirmass[b]);
        log.text("   Ratio = ").num(s.oneAirmassRatio[b]).end();
    }
    log.end().line("Exoatmospheric Results (optical thickness X=0)-");
    for (std::size_t b = 0; b < 3; ++b) {
        log.text(kExoatmosphericLabels[b]).num(s.exoatmospheric[b]);
        log.text("   Ratio = ").num(s.exoatmosphericRatio[b]).end();
    }
}

// The band ratios at one airmass, the weights a colour balance would use.
void showRatios(Console& console, const BandSignals& s) {
    console.endLine();
    console.printLine("Band Ratios (equivalent to Weight Factors for G2V stars)-");
    for (std::size_t b = 0; b < 3; ++b) {
        console.print(kRatioLabels[b]);
        console.printNumber(s.oneAirmassRatio[b]);
        console.endLine();
    }
}

}  // namespace

std::span<const FileObservation> bandBlock(std::span<const FileObservation> observations,
                                           const std::array<int, 3>& counts, std::size_t band) {
    std::size_t first = 0;
    for (std::size_t b = 0; b < band; ++b)
        first += static_cast<std::size_t>(std::max(counts[b], 0));
    first = std::min(first, observations.size());
    const std::size_t size =
        std::min(static_cast<std::size_t>(std::max(counts[band], 0)), observations.size() - first);
    return observations.subspan(first, size);
}

void fitAndReport(std::span<const FileObservation> observations,
                  const std::array<int, 3>& bandCounts, std::array<BandFit, 3>& fits, RunLog& log,
                  Console& console) {
    log.end().line("----------  FINAL RESULTS  --------------------");
    log.end().line("Extinction Coefficients:");
    console.endLine();
    console.printLine("Extinction Coefficients:");
    for (std::size_t b = 0; b < 3; ++b) {
        // A band without files is never fitted and keeps its zero line.
        if (bandCounts[b] <= 0) continue;
        fits[b] = fitBand(bandBlock(observations, bandCounts, b), bandCounts[b]);
        logCoefficient(log, b, fits[b]);
        showCoefficient(console, b, fits[b]);
    }
    const BandSignals signals = deriveSignals(fits);
    logParametersAndSignals(log, fits, signals);
    showRatios(console, signals);
}

}  // namespace orvel
