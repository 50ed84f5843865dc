// Aperture photometry about the ring centre: ring growth, sky annulus, integrated signal and
// the magnitude value.
#pragma once

#include <optional>

#include "fits/pixel_image.h"
#include "run/run_log.h"

namespace orvel {

// Rings examined at most; without a stop the inner ring radius is one more.
inline constexpr int kMaxRings = 100;

struct RingPhotometry {
    int ringsExamined = 0;      // ring lines written, 3..100
    int innerRadius = 0;        // Rin, ring number at which the medians stopped changing
                                // (101 when they never did), pixels
    float outerRadius = 0.0f;   // Rout = sqrt(2 Rin^2), pixels
    int outerLimit = 0;         // Ro = Rout rounded half to even, pixels
    int annulusCount = 0;       // pixels with Rin < d <= Ro inside the image
    float skyLevel = 0.0f;      // Bs, median of the annulus, DC (0 when the annulus is empty)
    float integratedDC = 0.0f;  // I = sum of (v - Bs) over d <= Rin, DC
    double magnitude = 0.0;     // ln I when I > 0 and finite, else 0; the observation keeps
                                // f32 of it
};

// Measures the star about (centreColumn, centreRow) and writes the ring lines, radii, sky
// level, integrated DC and magnitude value to the log. Pixels outside the image are left out
// of every ring, annulus and aperture; an empty ring or annulus has median 0.
RingPhotometry measureRings(const PixelImage& image, int centreColumn, int centreRow, RunLog& log);

// The same on a window of rows: empty (with a partial log) when the rings, annulus or aperture
// reach rows of the image that the window does not hold.
std::optional<RingPhotometry> measureRingsInWindow(const PixelImage& rows, int centreColumn,
                                                  int centreRow, RunLog& log);

}  // namespace orvel
