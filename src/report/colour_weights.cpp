#include "report/colour_weights.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// A weight with four decimals, an en dash for a band without a line, a star for a doubtful one.
std::string weightText(const NightFit& fit, std::size_t band, double w) {
    if (std::isnan(w)) return "\u2013";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", w);
    return std::string(buf) + (fit.bands[band].verdict == Verdict::doubtful ? "*" : "");
}

std::string consoleRow(const NightFit& fit, double altitude, FittedAirmass formula) {
    const double x = airmassAt(altitude, formula);
    const std::array<double, 3> w = bandWeights(fit, x);
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %5.1f deg  X = %6.4f   ", altitude, x);
    return std::string(buf) + "R " + weightText(fit, 0, w[0]) + "  G " + weightText(fit, 1, w[1]) +
           "  B " + weightText(fit, 2, w[2]);
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

std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass formula) {
    std::string out = "altitude_deg,airmass,weight_r,weight_g,weight_b,doubtful_bands\r\n";
    const std::string doubtful = doubtfulLetters(fit);
    for (const double altitude : weightAltitudes(extra)) {
        const double x = airmassAt(altitude, formula);
        const std::array<double, 3> w = bandWeights(fit, x);
        out += csvNumber(altitude) + ',' + csvNumber(x) + ',' + csvNumber(w[0], 9) + ',' +
               csvNumber(w[1], 9) + ',' + csvNumber(w[2], 9) + ',' + doubtful + "\r\n";
    }
    return out;
}

void showWeights(const NightFit& fit, std::span<const double> extra, FittedAirmass formula,
                 ConsoleText& console) {
    console.endLine();
    console.printLine(
        "Colour weights R:G:B for a star like this one imaged at an altitude (largest band = 1):");
    std::vector<double> shown = {90, 60, 45, 30, 20};
    shown.insert(shown.end(), extra.begin(), extra.end());
    for (const double altitude : weightAltitudes(shown))
        if (std::find(shown.begin(), shown.end(), altitude) != shown.end())
            console.printLine(consoleRow(fit, altitude, formula));
    console.printLine("(every 5 degrees from 90 to 20 in ORVEL_weights.csv)");
    if (!doubtfulLetters(fit).empty())
        console.printLine("(* a doubtful band's weight: see its verdict)");
}

}  // namespace orvel
