#include "night/frame_acceptance.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "analysis/aperture_choice.h"
#include "base/number_format.h"
#include "base/numeric.h"
#include "base/typed_line.h"
#include "fits/pixel_decoder.h"
#include "observing/calendar.h"

namespace orvel {

namespace {

// Below this elevation (degrees) the airmass formula is no longer to be trusted.
constexpr float kLowElevation = 10.0f;
// Below this elevation (degrees) Hardie's polynomial in sec z - 1 turns over and gives no
// airmass at all (-17.7 at 1.37 degrees); an airmass outside these bounds is no sky's.
constexpr double kLowestElevation = 3.0;
constexpr double kSmallestAirmass = 1.0 - 1e-4;  // 1, less a rounding of the 32-bit value
constexpr double kLargestAirmass = 40.0;
// A star pick whose brightest pixel stands less than this many noise levels above the sky.
constexpr double kFaintPick = 5.0;
// A flat top of this many aperture pixels at the peak shows saturation in floating-point data,
// and in any data when the peak stands this many sky noises above the sky: a star's unclipped
// top is not flat to the count there.
constexpr int kFlatTop = 3;
constexpr double kFlatTopAboveSky = 20.0;
// The ceilings of 12-bit converters: 4095 as counted, 65520 when each count is written times 16
// to fill 16-bit samples. A star's pixel at one of them is clipped, whatever the format holds.
constexpr float kTwelveBitCeilings[] = {4095.0f, 65520.0f};

std::string sizeText(int columns, int rows) {
    return formatShort(columns) + "x" + formatShort(rows);
}

// Image types that capture programs write for calibration frames, upper-cased: a name holding
// one of these words is not a light frame.
bool isCalibration(std::string_view imageType) {
    const std::string t = upperCase(imageType);
    for (const char* word : {"DARK", "BIAS", "FLAT", "OFFSET", "ZERO"}) {
        const std::size_t at = t.find(word);
        if (at == std::string::npos) continue;
        // Whole words only: "ZERO" in "ZEROTH" or "FLAT" in "FLATTENED LIGHT" do not count.
        const std::size_t end = at + std::string_view(word).size();
        const bool before = at == 0 || !std::isalpha(static_cast<unsigned char>(t[at - 1]));
        const bool after = end == t.size() || !std::isalpha(static_cast<unsigned char>(t[end]));
        if (before && after) return true;
    }
    return false;
}

int daysInMonth(int year, int month) {
    const bool leap = isLeapYear(year);
    const int start = monthStart(month, leap).value_or(0);
    const int next = month == 12 ? 365 + (leap ? 1 : 0) : monthStart(month + 1, leap).value_or(0);
    return next - start;
}

// The largest sample of an integer format after scaling; empty for floating-point data.
std::optional<float> formatCeiling(const ImageHeader& h) {
    double largest = 0.0;
    switch (h.bitpix) {
        case 8:
            largest = 255.0;
            break;
        case 16:
            largest = 32767.0;
            break;
        case 32:
            largest = 2147483647.0;
            break;
        default:
            return std::nullopt;
    }
    // A negative BSCALE turns the largest sample into the smallest value.
    if (h.bscale < 0.0f) largest = h.bitpix == 8 ? 0.0 : -largest - 1.0;
    return f32(static_cast<double>(h.bscale) * largest + h.bzero);
}

}  // namespace

std::string headerProblem(const ImageHeader& h, const ReferenceSize& reference) {
    if (bytesPerSample(h.bitpix) == 0)
        return "its BITPIX value" + formatShort(h.bitpix) + "is not 8, 16, 32, -32 or -64";
    if (h.columns <= 0 || h.rows <= 0)
        return "its image size" + sizeText(h.columns, h.rows) +
               "is not a positive number of columns and rows";
    if (!canDecode(h)) return "its image is too large to be read";
    if (h.planes > 1)
        return "it holds " + std::to_string(h.planes) + " image planes (NAXIS3), not one image";
    if (isCalibration(h.imageType))
        return "its IMAGETYP '" + h.imageType + "' marks a calibration frame";
    if (reference.known && (h.columns != reference.columns || h.rows != reference.rows))
        return "its image size" + sizeText(h.columns, h.rows) + "differs from the first image's" +
               sizeText(reference.columns, reference.rows);
    return dateProblem(h);
}

std::string dateProblem(const ImageHeader& h) {
    if (!h.hasDate) return "it has no DATE-OBS";
    if (h.month < 1 || h.month > 12)
        return "its DATE-OBS month" + formatShort(h.month) + "is outside 1-12";
    if (h.day < 1 || h.day > daysInMonth(h.year, h.month))
        return "its DATE-OBS day" + formatSpaced(h.day) + "is not a day of its month";
    if (!h.hasTimeOfDay) return "its DATE-OBS holds no time of day and it has no TIME-OBS";
    const bool midnight = h.hour == 24 && h.minute == 0 && h.second == 0;
    if ((h.hour < 0 || h.hour > 23) && !midnight)
        return "its time of day has the hour" + formatSpaced(h.hour);
    if (h.minute < 0 || h.minute > 59)
        return "its time of day has the minute" + formatSpaced(h.minute);
    if (h.second < 0 || h.second > 60)
        return "its time of day has the second" + formatSpaced(h.second);
    return {};
}

std::string dataProblem(const ImageHeader& header, std::int64_t samples) {
    const std::int64_t wanted = headerPixelCount(header);
    if (samples >= wanted) return {};
    return "its pixel data end after " + std::to_string(std::max<std::int64_t>(samples, 0)) +
           " of " + std::to_string(wanted) + " samples";
}

std::optional<float> saturationLevel(const ImageHeader& header) {
    if (header.hasSaturate) return header.saturate;
    return formatCeiling(header);
}

namespace {

// Why the sky annulus cannot give the sky level, or empty when it can.
std::optional<std::string> unmeasuredSky(const RingPhotometry& r) {
    const double inner = r.annulusInner;
    const double outer = r.annulusOuter;
    const double area = std::numbers::pi * (outer * outer - inner * inner);
    if (r.annulusCount >= kFewestSkyPixels && r.annulusCount >= kSkyAreaShare * area)
        return std::nullopt;
    return "its sky annulus holds " + std::to_string(r.annulusCount) + " pixels";
}

// Why the star's top is clipped, or empty when it is not: a pixel at or above the saturation
// level the header gives, a pixel at a 12-bit ceiling, or a flat top.
std::optional<std::string> clippedTop(const ImageHeader& header, const RingPhotometry& r) {
    const std::optional<float> level = saturationLevel(header);
    if (level && r.peak >= *level)
        return "its star is saturated (a pixel of" + formatSpaced(r.peak) +
               "DC, at or above the saturation level" + formatSpaced(*level) + "DC)";
    for (const float ceiling : kTwelveBitCeilings)
        if (r.peak == ceiling)
            return "its star is saturated (a pixel of" + formatSpaced(r.peak) +
                   "DC, the ceiling of a 12-bit camera)";
    const bool farAboveSky =
        static_cast<double>(r.peak) - r.skyLevel > kFlatTopAboveSky * r.skyNoise;
    if (r.peakCount >= kFlatTop && (!level || farAboveSky))
        return "its star is saturated (" + std::to_string(r.peakCount) + " pixels at its peak of" +
               formatSpaced(r.peak) + "DC)";
    return std::nullopt;
}

// Why the frame's airmass is no airmass: the described formula below 3 degrees, or a value
// outside 1 to 40.
std::optional<MeasurementProblem> airmassProblem(const FrameMeasurement& m) {
    if (!m.precise && m.fittedElevation() < kLowestElevation)
        return MeasurementProblem{MeasuredStage::sky,
                                  "the star was" + formatSpaced(m.fittedElevation()) +
                                      "degrees high, below 3 degrees where the airmass formula "
                                      "fails"};
    const double x = m.point().airmass;
    if (!(x >= kSmallestAirmass && x <= kLargestAirmass))
        return MeasurementProblem{MeasuredStage::sky,
                                  "its airmass" + formatSpaced(x) + "lies outside 1 to 40"};
    return std::nullopt;
}

}  // namespace

std::optional<MeasurementProblem> measurementProblem(const ImageHeader& header,
                                                     const FrameMeasurement& m) {
    const RingPhotometry& r = m.rings;
    // Without a sky level the signal is no measurement, whatever its sign.
    if (const std::optional<std::string> sky = unmeasuredSky(r))
        return MeasurementProblem{MeasuredStage::rings, *sky};
    // The magnitude value is a logarithm: a signal that is not positive has none.
    if (!(r.integratedDC > 0.0f) || !std::isfinite(r.integratedDC))
        return MeasurementProblem{
            MeasuredStage::rings,
            "its star signal" + formatSpaced(r.integratedDC) + "DC is not a positive number"};
    if (const std::optional<std::string> clipped = clippedTop(header, r))
        return MeasurementProblem{MeasuredStage::rings, *clipped};
    if (!(m.fittedElevation() > 0.0))
        return MeasurementProblem{MeasuredStage::sky,
                                  "the star is at or below the horizon at its time (elevation" +
                                      formatSpaced(m.fittedElevation()) + "degrees)"};
    return airmassProblem(m);
}

std::vector<std::string> measurementWarnings(const FrameMeasurement& m) {
    std::vector<std::string> warnings;
    const double above = static_cast<double>(m.star.brightestValue) - m.background.median;
    const double noise = m.background.standardDeviation;
    if (!(above > kFaintPick * noise))
        warnings.push_back("the brightest pixel near the star pick is only" + formatSpaced(above) +
                           "DC above the sky," + formatSpaced(noise > 0 ? above / noise : 0.0) +
                           "times its noise: is the star there?");
    const std::vector<ReplacedPixel>& spikes = m.rings.replaced;
    const auto place = [&](const ReplacedPixel& p) {
        return std::to_string(p.column) + ", " + std::to_string(p.row);
    };
    if (spikes.size() == 1)
        warnings.push_back("a cosmic ray or hot pixel at " + place(spikes[0]) +
                           " was replaced by its neighbours' median");
    if (spikes.size() > 1)
        warnings.push_back(std::to_string(spikes.size()) +
                           " cosmic rays or hot pixels (the first at " + place(spikes[0]) +
                           ") were replaced by their neighbours' median");
    for (const SensorPixel& p : m.hotPixels)
        warnings.push_back("the hot pixel at " + std::to_string(p.column) + ", " +
                           std::to_string(p.row) +
                           " (found in several frames) was measured as its neighbours' median");
    if (m.rings.apertureNaN > 0 || m.rings.annulusNaN > 0)
        warnings.push_back(
            "NaN pixels were left out of the sums: " + std::to_string(m.rings.apertureNaN) +
            " in its aperture, " + std::to_string(m.rings.annulusNaN) + " in its sky annulus");
    if (m.fittedElevation() < kLowElevation)
        warnings.push_back("the star was" + formatSpaced(m.fittedElevation()) +
                           "degrees high; below 10 degrees the airmass formula is unreliable");
    return warnings;
}

}  // namespace orvel
