// Aperture photometry about the ring centre: ring growth (or one aperture for the whole night),
// sky annulus, integrated signal and the magnitude value.
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "fits/pixel_image.h"

namespace orvel {

// Rings examined at most; without a stop the inner ring radius is one more.
inline constexpr int kMaxRings = 100;

// Rows from the ring centre that the largest rings and their annulus can reach:
// sqrt(2) x (kMaxRings + 1), rounded, and one more.
int ringReach();

// One ring of the growth, as examined.
struct RingStep {
    int number = 0;           // k, ring radius in pixels
    long long pixels = 0;     // pixels whose distance lies strictly within half a pixel of k
    float median = 0.0f;      // median of those pixels, DC (0 when none)
    float oldMedian = 0.0f;   // median of ring k - 1, DC (0 before ring 2)
    float oldMedian2 = 0.0f;  // median of ring k - 2, DC (0 before ring 3)
};

// Another star's light, left out of the sky annulus.
struct SkyMask {
    double column = 0.0;  // its centre, image column (pixels)
    double row = 0.0;     // its centre, image row (pixels)
    double radius = 0.0;  // annulus pixels within this distance of it are left out, pixels
};

// The night's aperture correction: ln(light out to the corrected radius / the aperture's
// signal) as a polynomial in a frame's FWHM, fitted to every frame's curve of growth, so that
// each frame takes the correction its seeing gives without the noise of its own wide sum.
struct GrowthCorrection {
    double c0 = 0.0;         // ln of the correction at the mean FWHM
    double c1 = 0.0;         // its change per pixel of FWHM from the mean (0 when the frames
                             // show none beyond their noise)
    double c2 = 0.0;         // per pixel squared
    double meanFwhm = 0.0;   // the frames' weighted mean FWHM, taken for a frame without one,
                             // pixels
    double narrowest = 0.0;  // FWHM range of the frames fitted, pixels: a width outside it is
    double widest = 0.0;     // taken at its end
    int frames = 0;          // frames fitted
};

// The factor the correction gives for a star of that FWHM (pixels; NaN: the mean's).
double growthFactor(const GrowthCorrection& correction, double fwhm);

// One aperture and sky annulus for the whole night instead of the ring growth, pixels.
struct ApertureGeometry {
    double radius = 0.0;        // pixels summed: distance d <= radius
    double annulusInner = 0.0;  // sky pixels: annulusInner < d <= annulusOuter
    double annulusOuter = 0.0;
    std::vector<SkyMask> masks;  // other stars left out of the annulus
    double lightPerFwhm = 0.0;   // the signal is corrected to the light within this many of the
                                 // frame's FWHM (0: not corrected)
    double widestFwhm = 0.0;     // the night's widest FWHM, pixels: the corrected light reaches
                                 // no further than lightPerFwhm of it
    std::optional<GrowthCorrection> growth;  // the night's correction; empty: each frame's own
                                             // light out to its corrected radius is its signal
};

// The radius the signal is corrected to on a frame whose star's FWHM is `fwhm` pixels:
// lightPerFwhm of it, of the widest FWHM when it is wider or unknown (NaN), and no less than
// the aperture's radius; 0 when the aperture's signal is not corrected.
double correctedLightRadius(const ApertureGeometry& aperture, double fwhm);

// A single-pixel spike (cosmic ray or hot pixel) of the aperture or annulus, replaced in the
// measuring copy before the sums.
struct ReplacedPixel {
    long long column = 0;      // image column
    long long row = 0;         // image row
    float value = 0.0f;        // as read, DC
    float replacement = 0.0f;  // the median of its neighbours, DC, measured in its place
};

struct RingPhotometry {
    std::vector<RingStep> rings;     // rings examined in order, 3..100 of them; with a fixed
                                     // aperture the profile's rings 1..floor(radius) (at least
                                     // ring 1), none of them a stop
    float innerRadius = 0.0f;        // Rin, pixels: the ring number at which the medians stopped
                                     // changing (101 when they never did), or the fixed radius
    float outerRadius = 0.0f;        // Rout = sqrt(2 Rin^2), or the fixed annulus's outer
                                     // radius, pixels
    int outerLimit = 0;              // Ro = Rout rounded half to even, pixels
    bool fixedAperture = false;      // the night's aperture, not a ring growth
    float annulusInner = 0.0f;       // the annulus holds annulusInner < d <= annulusOuter:
    float annulusOuter = 0.0f;       // Rin and Ro after ring growth, pixels
    int annulusCount = 0;            // pixels of the annulus inside the image, NaN left out
    int annulusNaN = 0;              // NaN pixels of the annulus, left out of the sky
    int apertureNaN = 0;             // NaN pixels of the aperture, left out of I and its pixels
    float skyLevel = 0.0f;           // Bs, median of the annulus, DC (0 when the annulus is empty)
    double skyNoise = std::nan("");  // robust spread of one annulus pixel, 1.4826 x the median
                                     // absolute deviation from Bs, DC (NaN when empty); NaN
                                     // pixels are left out
    long long aperturePixels = 0;    // pixels summed into I (d <= Rin inside the image)
    float integratedDC = 0.0f;       // I = sum of (v - Bs) over d <= Rin, DC
    float peak = -std::numeric_limits<float>::infinity();  // largest aperture pixel, DC (NaN
                                                           // pixels left out)
    int peakCount = 0;                                     // aperture pixels at exactly that value
    float apertureDC = 0.0f;     // sum of (v - Bs) over the aperture's radius when the signal
                                 // is corrected, DC
    float lightRadius = 0.0f;    // radius the signal is corrected to, pixels (0: none)
    float lightDC = 0.0f;        // sum of (v - Bs) out to lightRadius, DC
    long long lightPixels = 0;   // pixels of that sum
    double fwhm = std::nan("");  // the frame's FWHM the correction was taken for, pixels
    double correction = 1.0;     // the night's factor for that FWHM (I = apertureDC x it), or
                                 // lightDC / apertureDC without the night's fit
    double magnitude = 0.0;      // ln I when I > 0 and finite, else 0; the observation keeps
                                 // f32 of it
    std::vector<ReplacedPixel> replaced;  // spikes of the aperture and annulus (see isSpike,
                                          // against the annulus's Bs and noise), rows then
                                          // columns ascending; empty on a clean frame
};

// Measures the star about (centreColumn, centreRow). Single-pixel spikes within the aperture or
// annulus are measured as their neighbours' median (the rings' medians take them as read).
// Pixels outside the image are left out of
// every ring, annulus and aperture; an empty ring or annulus has median 0. Empty when the
// rings, annulus or aperture reach rows of the image that the image does not hold (a window
// of rows); never for a whole image.
// How far the rings may grow: a brighter star beside the star stops them before its light
// and is left out of the sky annulus.
struct RingLimit {
    int lastRing = kMaxRings + 1;  // the growth stops at this ring at the latest
    std::vector<SkyMask> masks;    // other stars left out of the annulus
};

std::optional<RingPhotometry> measureRings(const PixelImage& image, int centreColumn, int centreRow,
                                           const RingLimit& limit = {});

// Measures the star about (centreColumn, centreRow) in the given aperture and annulus, the
// same way after the radii: the sky level is the annulus's median, the signal the sum over the
// aperture of each pixel minus it. The profile's rings are recorded for the log. Pixels outside
// the image are left out (an empty annulus has sky 0). Empty when the annulus reaches rows the
// image does not hold.
// With a corrected aperture the light out to the frame's corrected radius (see
// correctedLightRadius, for a star of `fwhm` pixels) is summed too; I is the aperture's signal
// times the night's correction for that FWHM (its pixels the aperture's), or without one that
// light itself.
std::optional<RingPhotometry> measureFixedAperture(const PixelImage& image, int centreColumn,
                                                   int centreRow, const ApertureGeometry& aperture,
                                                   double fwhm = std::nan(""));

// Rows from the ring centre that the aperture and its annulus reach.
int apertureReach(const ApertureGeometry& aperture);

}  // namespace orvel
