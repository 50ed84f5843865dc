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

std::string consoleRow(const NightFit& fit, double altitude, FittedAirmass formula) {
    const double x = airmassAt(altitude, formula);
    const std::array<double, 3> w = colourWeights(fit.lines(), x);
    char buf[160];
    std::snprintf(buf, sizeof buf, "  %5.1f deg  X = %6.4f   R %.4f  G %.4f  B %.4f", altitude, x,
                  w[0], w[1], w[2]);
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

std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass formula) {
    std::string out = "altitude_deg,airmass,weight_r,weight_g,weight_b\r\n";
    for (const double altitude : weightAltitudes(extra)) {
        const double x = airmassAt(altitude, formula);
        const std::array<double, 3> w = colourWeights(fit.lines(), x);
        out += csvNumber(altitude) + ',' + csvNumber(x) + ',' + csvNumber(w[0], 9) + ',' +
               csvNumber(w[1], 9) + ',' + csvNumber(w[2], 9) + "\r\n";
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
}

}  // namespace orvel
