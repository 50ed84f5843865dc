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

std::string factorText(double factor) {
    if (std::isnan(factor)) return "  -   ";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", factor);
    return buf;
}

std::string consoleRow(const ColourWeightRow& row) {
    const std::array<double, 3>& w = row.signal;
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "  %5.1f deg  X = %6.4f   R %.4f  G %.4f  B %.4f   x R %s  G %s  B %s",
                  row.altitude, row.airmass, w[0], w[1], w[2], factorText(row.multiply[0]).c_str(),
                  factorText(row.multiply[1]).c_str(), factorText(row.multiply[2]).c_str());
    return buf;
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
        row.signal = colourWeights(fit.lines(), row.airmass);
        // A band without a fitted line has no signal to balance, only its line's defaults.
        std::array<double, 3> balanced = row.signal;
        for (std::size_t i = 0; i < balanced.size(); ++i)
            if (!fit.bands[i].hasLine()) balanced[i] = 0.0;
        row.multiply = whiteBalanceFactors(balanced);
        rows.push_back(row);
    }
    return rows;
}

std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass formula) {
    std::string out =
        "altitude_deg,airmass,weight_r,weight_g,weight_b,multiply_r,multiply_g,"
        "multiply_b\r\n";
    for (const ColourWeightRow& row : weightRows(fit, weightAltitudes(extra), formula)) {
        out += csvNumber(row.altitude) + ',' + csvNumber(row.airmass);
        for (const double w : row.signal) out += ',' + csvNumber(w, 9);
        for (const double m : row.multiply) out += ',' + csvNumber(m, 9);
        out += "\r\n";
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
        console.printLine(consoleRow(row));
    console.printLine(kWhiteBalanceNote);
    console.printLine("(every 5 degrees from 90 to 20 in ORVEL_weights.csv)");
}

}  // namespace orvel
