#include "report/colour_weights.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "fit/extinction_units.h"
#include "observing/airmass.h"
#include "observing/precise_airmass.h"
#include "report/results_files.h"

namespace orvel {

namespace {

// The airmass at the altitude by the formula the frames' fitted airmass took.
double airmassAt(double altitude, FittedAirmass formula) {
    if (formula == FittedAirmass::pickering) return pickeringAirmass(altitude);
    return airmassFromElevation(static_cast<float>(altitude));
}

// The weights of the bands with a line at airmass x; a band without one has none (NaN) and
// takes no part in finding the largest.
std::array<double, 3> bandWeights(const NightFit& fit, double x) {
    std::array<BandFit, 3> lines = fit.lines();
    for (std::size_t i = 0; i < 3; ++i)
        if (!fit.bands[i].hasLine()) lines[i].intercept = std::nanf("");
    std::array<double, 3> w = colourWeights(lines, x);
    for (std::size_t i = 0; i < 3; ++i)
        if (!fit.bands[i].hasLine()) w[i] = std::nan("");
    return w;
}

// A number with four decimals, an en dash for a band without a line, a star for a doubtful one.
std::string weightText(const NightFit& fit, std::size_t band, double w) {
    if (std::isnan(w)) return "\u2013";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", w);
    return std::string(buf) + (fit.bands[band].verdict == Verdict::doubtful ? "*" : "");
}

// "R w  G w  B w" of three numbers.
std::string bandTexts(const NightFit& fit, const std::array<double, 3>& values) {
    return "R " + weightText(fit, 0, values[0]) + "  G " + weightText(fit, 1, values[1]) + "  B " +
           weightText(fit, 2, values[2]);
}

std::string consoleRow(const NightFit& fit, const ColourWeightRow& row) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %5.1f deg  X = %6.4f   ", row.altitude, row.airmass);
    return buf + bandTexts(fit, row.signal) + "   x " + bandTexts(fit, row.multiply);
}

// The letters of the doubtful bands, whose weights are not to be relied on.
std::string doubtfulLetters(const NightFit& fit) {
    std::string letters;
    for (const Band b : kBands)
        if (fit.band(b).verdict == Verdict::doubtful) letters += bandLetterText(b);
    return letters;
}

}  // namespace

std::vector<double> weightAltitudes(std::span<const double> extra) {
    std::vector<double> all(extra.begin(), extra.end());
    for (int a = 90; a >= 20; a -= 5) all.push_back(a);
    std::sort(all.begin(), all.end(), [](double a, double b) { return a > b; });
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

std::vector<ColourWeightRow> weightRows(const NightFit& fit, std::span<const double> altitudes,
                                        FittedAirmass formula) {
    std::vector<ColourWeightRow> rows;
    for (const double altitude : altitudes) {
        ColourWeightRow row{.altitude = altitude, .airmass = airmassAt(altitude, formula)};
        // A band without a fitted line has no signal and no factor.
        row.signal = bandWeights(fit, row.airmass);
        row.multiply = whiteBalanceFactors(row.signal);
        rows.push_back(row);
    }
    return rows;
}

std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass formula) {
    std::string out =
        "altitude_deg,airmass,weight_r,weight_g,weight_b,multiply_r,multiply_g,multiply_b,"
        "doubtful_bands\r\n";
    const std::string doubtful = doubtfulLetters(fit);
    for (const ColourWeightRow& row : weightRows(fit, weightAltitudes(extra), formula)) {
        out += csvNumber(row.altitude) + ',' + csvNumber(row.airmass);
        for (const double w : row.signal) out += ',' + csvNumber(w, 9);
        for (const double m : row.multiply) out += ',' + csvNumber(m, 9);
        out += ',' + doubtful + "\r\n";
    }
    return out;
}

void showWeights(const NightFit& fit, std::span<const double> extra, FittedAirmass formula,
                 ConsoleText& console) {
    console.endLine();
    console.printLine("Colour weights for a star like this one imaged at an altitude:");
    console.printLine(
        "R G B: its relative signal (largest band = 1); x R G B: the factor to multiply each "
        "channel by so that it comes out white (largest factor = 1)");
    std::vector<double> shown = {90, 60, 45, 30, 20};
    shown.insert(shown.end(), extra.begin(), extra.end());
    std::vector<double> altitudes = weightAltitudes(shown);
    // The merged list is every 5 degrees as well: only the asked altitudes are shown.
    std::erase_if(altitudes, [&shown](double a) {
        return std::find(shown.begin(), shown.end(), a) == shown.end();
    });
    for (const ColourWeightRow& row : weightRows(fit, altitudes, formula))
        console.printLine(consoleRow(fit, row));
    console.printLine(kWhiteBalanceNote);
    console.printLine("(every 5 degrees from 90 to 20 in ORVEL_weights.csv)");
    if (!doubtfulLetters(fit).empty())
        console.printLine("(* a doubtful band's weight: see its verdict)");
}

}  // namespace orvel
