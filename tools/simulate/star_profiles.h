// Star profiles drawn into a whole frame of expected values: a Gaussian integrated over each
// pixel, a Moffat profile with wide wings, or the flat ring of a defocused star.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace orvel::simulate {

// The shape of a star's light on the sensor.
struct ProfileShape {
    double fwhm = 3.0;        // full width at half maximum, pixels
    double moffatBeta = 0.0;  // Moffat's beta (0: a Gaussian)
    double donutInner = 0.0;  // a defocused ring: hole radius over outer radius (0: focused)
};

// A point on the frame and the light it adds: a star's centre and flux, or a hot pixel's or a
// cosmic ray's pixel and its ADU.
struct Spot {
    double x = 0.0;     // column, pixels from 0
    double y = 0.0;     // row from the first row in the file, pixels
    double flux = 0.0;  // ADU added, summed over the profile for a star
};

// A whole frame of values, row by row (columns values a row).
struct Canvas {
    int columns = 0;            // values per row
    int rows = 0;               // rows
    std::vector<double> value;  // ADU per pixel, row-major
};

// Moffat's alpha from the FWHM: I = I0 (1 + r^2/alpha^2)^-beta is half of I0 at r = FWHM/2.
inline double moffatAlpha(double fwhm, double beta) {
    return fwhm / (2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0));
}

// The ring's outer radius: a defocused star spreads to twice the focused FWHM, pixels.
inline double donutRadius(double fwhm) {
    return 2.0 * fwhm;
}

// Light per unit area at distance r from the centre of a profile of total flux 1.
inline double profileDensity(const ProfileShape& p, double r2) {
    if (p.donutInner > 0.0) {
        const double outer = donutRadius(p.fwhm), inner = p.donutInner * outer;
        if (r2 > outer * outer || r2 < inner * inner) return 0.0;
        return 1.0 / (3.14159265358979323846 * (outer * outer - inner * inner));
    }
    const double alpha = moffatAlpha(p.fwhm, p.moffatBeta);
    // The total of I0 (1 + r^2/alpha^2)^-beta over the plane is pi alpha^2 I0 / (beta - 1).
    const double i0 = (p.moffatBeta - 1.0) / (3.14159265358979323846 * alpha * alpha);
    return i0 * std::pow(1.0 + r2 / (alpha * alpha), -p.moffatBeta);
}

// How far the profile reaches: the ring's edge, or where less than 1e-4 of a Moffat's light
// lies further out, pixels.
inline double profileReach(const ProfileShape& p) {
    if (p.donutInner > 0.0) return donutRadius(p.fwhm) + 1.0;
    const double alpha = moffatAlpha(p.fwhm, p.moffatBeta);
    return alpha * std::sqrt(std::pow(1.0e-4, 1.0 / (1.0 - p.moffatBeta)) - 1.0) + 1.0;
}

// Adds a Moffat or ring profile of `flux` centred at (x, y), each pixel the mean of samples
// across it (8 x 8 for the ring's sharp edges, 4 x 4 for the smooth Moffat).
inline void addSampledProfile(Canvas& c, const ProfileShape& p, double x, double y, double flux) {
    const int kSamples = p.donutInner > 0.0 ? 8 : 4;
    const double reach = std::min(profileReach(p), 2.0 * (c.columns + c.rows));
    const int c0 = std::max(0, static_cast<int>(std::floor(x - reach)));
    const int c1 = std::min(c.columns - 1, static_cast<int>(std::ceil(x + reach)));
    const int r0 = std::max(0, static_cast<int>(std::floor(y - reach)));
    const int r1 = std::min(c.rows - 1, static_cast<int>(std::ceil(y + reach)));
    for (int r = r0; r <= r1; ++r) {
        for (int col = c0; col <= c1; ++col) {
            double sum = 0.0;
            for (int i = 0; i < kSamples * kSamples; ++i) {
                const double dx = col - 0.5 + (i % kSamples + 0.5) / kSamples - x;
                const double dy = r - 0.5 + (i / kSamples + 0.5) / kSamples - y;
                sum += profileDensity(p, dx * dx + dy * dy);
            }
            c.value[static_cast<std::size_t>(r) * c.columns + col] +=
                flux * sum / (kSamples * kSamples);
        }
    }
}

}  // namespace orvel::simulate
