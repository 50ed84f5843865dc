// Axis ranges, ticks and the text of numbers on the pictures.
#pragma once

#include <string>
#include <vector>

namespace orvel {

// A span of values mapped onto a span of picture points.
struct AxisScale {
    double from = 0.0;   // value at the start of the axis
    double to = 1.0;     // value at its end
    double start = 0.0;  // picture position of `from`, points
    double end = 1.0;    // picture position of `to`, points
    double step = 0.1;   // tick spacing, a round number of units

    double place(double value) const {
        return start + (value - from) / (to - from) * (end - start);
    }
};

// A range that holds every value with a margin of a twentieth of their spread on each side
// (so no point is cut by the frame), widened to whole ticks of a round step (1, 2 or 5 times a
// power of ten) giving about `ticks` ticks. A spread of 0 is opened to +-0.5.
AxisScale roundedAxis(double low, double high, int ticks);

// The tick values of the axis, from its start to its end.
std::vector<double> tickValues(const AxisScale& axis);

// A tick label with as many decimals as the step needs ("1.5", "10", "-0.02").
std::string tickText(double value, double step);

// A number with fixed decimals; an en dash for a number that does not exist.
std::string fixedText(double value, int decimals);

}  // namespace orvel
