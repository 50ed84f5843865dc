// The aperture of a night: the described ring growth, or one radius and sky annulus for every
// frame, fixed by the user or chosen from the stars' widths.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/nearby_stars.h"
#include "analysis/ring_photometry.h"

namespace orvel {

enum class ApertureRule {
    grow,       // rings grow about each frame's star until their medians settle (described)
    automatic,  // one radius for the night from the median of the frames' FWHM
    fixed,      // the radius given
};

// What was asked for (--aperture, --annulus). The defaults keep the described ring growth.
struct ApertureSettings {
    ApertureRule rule = ApertureRule::grow;
    double radius = 0.0;                               // the fixed radius, pixels (fixed only)
    std::optional<std::pair<double, double>> annulus;  // inner and outer sky radius, pixels;
                                                       // empty: chosen from the FWHM
};

// A sky annulus of fewer pixels than this, or than this share of its area inside the image's
// bounds as drawn, gives no sky level to trust: the frame's edge or a fixed annulus beyond it
// cut it away.
inline constexpr int kFewestSkyPixels = 20;
inline constexpr double kSkyAreaShare = 1.0 / 3.0;

// The automatic radius in units of the night's median FWHM: a Gaussian star has given all but
// a few millionths of its light by then, even on frames whose seeing is half as wide again.
inline constexpr double kAutoRadiusPerFwhm = 3.0;
// The sky annulus starts no nearer than this many FWHM from the star: clear of its light.
inline constexpr double kAnnulusInnerPerFwhm = 3.0;
// The automatic aperture's signal is corrected, on every frame, to the light within this many of
// the frame's own FWHM (its curve of growth read out that far): the same fraction of the star's
// light on every frame whatever its seeing (all but about 1.3 % of it for a Moffat star of beta
// 2.5), at little more sky noise than the aperture's own.
inline constexpr double kAllLightPerFwhm = 4.0;
// The automatic aperture's sky annulus starts no nearer than this many FWHM of the widest star
// of the night, where a Moffat star's wings (beta 2.5) have faded below 1e-4 of its peak.
inline constexpr double kWingsFadedPerFwhm = 6.0;
// The widest star counted is no wider than this many times the median FWHM: a frame whose fit
// went astray must not carry the annulus off the frame.
inline constexpr double kWidestPerMedianFwhm = 2.0;
// The default annulus holds this many times the aperture's area, so the sky level's own error
// adds less than a fifth to the sky noise of the aperture.
inline constexpr double kAnnulusAreaPerAperture = 4.0;

// Whether the night's FWHM must be known before its frames are measured: always but for the
// ring growth and a fixed radius with its annulus given.
bool needsNightWidth(const ApertureSettings& settings);

// The median of the widths that are numbers (NaN when none is), pixels.
double medianWidth(std::vector<double> widths);

// The widest of the widths that are numbers, no wider than kWidestPerMedianFwhm times their
// median (NaN when none is), pixels.
double widestWidth(const std::vector<double>& widths);

// One frame's curve of growth, as the night's aperture correction is fitted to it.
struct GrowthSample {
    double fwhm = std::nan("");  // the star's FWHM, pixels
    double apertureDC = 0.0;     // signal within the aperture's radius, DC
    double lightDC = 0.0;        // light out to the frame's corrected radius, DC
    long long extraPixels = 0;   // pixels between the two radii
};

// The correction changes with the seeing only when the frames show that change by more than
// this many of its standard errors; otherwise it is one factor for the night, which leaves k as
// it is. A faint star's curve of growth is too noisy to tell: its correction would add more
// noise to k than the light it finds.
inline constexpr double kGrowthSlopeSigmas = 3.0;

// ln(lightDC / apertureDC) fitted as a polynomial in FWHM about the frames' weighted mean,
// each frame weighted by the inverse of its variance when sky noise rules (apertureDC^2 /
// extraPixels). When a straight line over at least 3 frames shows a slope kGrowthSlopeSigmas
// standard errors (from its weighted residuals) or more from 0, a quadratic (from 4 frames on)
// follows the curve of growth as it bends with the seeing; otherwise the correction is one
// factor, the weighted mean. Frames without a width or with a signal that is not positive are
// left out; empty when none remains.
std::optional<GrowthCorrection> fitGrowthCorrection(const std::vector<GrowthSample>& samples);

// How far from the star other stars are looked for, pixels: as far as their light could reach
// the annulus of an aperture grown to take them in.
double nearbyStarReach(const ApertureGeometry& aperture, double medianFwhm);

// Allows for the other stars found about the star (nearest first): with the automatic rule, a
// star whose light (out to kAutoRadiusPerFwhm median FWHM from it) reaches into the aperture,
// and lies no farther than twice the radius, is taken in whole: the radius grows to hold its
// light too (and a default annulus moves out with it), so that every frame holds all of it
// whatever its seeing. Every other star whose light reaches the annulus is masked out of it.
// A star whose light reaches within the corrected light's widest radius turns the correction off
// (its light would enter the correction with the seeing).
// Returns how many stars the aperture holds: those taken in, or for a fixed radius those whose
// light reaches into it.
int allowForNearbyStars(const ApertureSettings& settings, const std::vector<NearbyStar>& stars,
                        double medianFwhm, ApertureGeometry& aperture);

// The aperture of every frame: the fixed or automatic radius, and the annulus given or, by
// default, from the larger of the radius and three median FWHM outwards until it holds four
// times the aperture's area. The automatic radius is corrected on every frame to the light within
// kAllLightPerFwhm of its FWHM when the widest FWHM is known, its annulus then starting no nearer
// than kWingsFadedPerFwhm widest FWHM. Empty for the ring growth, and for an automatic radius
// or a default annulus when no width is known (NaN).
std::optional<ApertureGeometry> chooseAperture(const ApertureSettings& settings, double medianFwhm,
                                               double widestFwhm = std::nan(""));

// Why the radius or sky annulus given cannot be measured about a star at (column, row) of a
// frame of columns x rows pixels: the fixed aperture reaches beyond the frame, or the given
// annulus holds fewer of the frame's pixels than kFewestSkyPixels or kSkyAreaShare of its area.
// Each reason names its option. Empty when both fit, and for sizes chosen from the FWHM.
std::optional<std::string> apertureMisfit(const ApertureSettings& settings, double column,
                                          double row, int columns, int rows);

}  // namespace orvel
