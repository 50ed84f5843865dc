#include "picture/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvel {

AxisScale roundedAxis(double low, double high, int ticks) {
    // A single value still needs an axis with some length about it.
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    const double margin = (high - low) / 20.0;
    low -= margin;
    high += margin;
    // The step: the raw spacing rounded up to 1, 2 or 5 times its power of ten.
    const double raw = (high - low) / std::max(ticks, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * power;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    }
    AxisScale axis;
    axis.from = std::floor(low / step) * step;
    axis.to = std::ceil(high / step) * step;
    axis.step = step;
    return axis;
}

std::vector<double> tickValues(const AxisScale& axis) {
    std::vector<double> values;
    // Counted in whole steps so that rounding does not drop the last tick.
    const long count = std::lround((axis.to - axis.from) / axis.step);
    for (long i = 0; i <= count; ++i)
        values.push_back(axis.from + static_cast<double>(i) * axis.step);
    return values;
}

std::string tickText(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    // A tick at zero must not read "-0".
    if (std::fabs(value) < step / 1000.0) value = 0.0;
    return fixedText(value, decimals);
}

std::string fixedText(double value, int decimals) {
    if (!std::isfinite(value)) return "\u2013";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

}  // namespace orvel
