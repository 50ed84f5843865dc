#include "simulate/night_plan.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>

#include "base/typed_line.h"

namespace orvel::simulate {

namespace {

// An angle typed as D,M,S (or H,M,S): the sign of the degrees applies to the whole angle.
double angleFromText(const std::string& text) {
    const double d = numericValue(field(text, 1));
    const double m = numericValue(field(text, 2));
    const double s = numericValue(field(text, 3));
    const double sign = d < 0.0 ? -1.0 : 1.0;
    return sign * (std::fabs(d) + (m + s / 60.0) / 60.0);
}

// A right ascension typed as H,M,S: no sign rule, the fields simply add up.
double hoursFromText(const std::string& text) {
    return numericValue(field(text, 1)) +
           (numericValue(field(text, 2)) + numericValue(field(text, 3)) / 60.0) / 60.0;
}

// The name of file `number` (from 1) in the chosen style, with its compression's extension.
std::string fileName(const NightOptions& o, int number, int band) {
    static const char* kWords[3] = {"Red", "Green", "Blue"};
    const bool colour = !o.colour.empty();
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    const std::string n = digits;
    const std::string letter(1, kBands[band]);
    const std::string word = kWords[band];
    std::string name;
    if (o.names == "light")
        name = "Light_HD1234_" + (colour ? n : letter + "_" + n) + ".fits";
    else if (o.names == "dash")
        name = "HD1234-" + (colour ? n : word + "-" + n) + ".fit";
    else if (o.names == "suffix")
        name = "HD1234_" + n + (colour ? "" : "_" + word) + ".fts";
    else
        name = "NIGHT_" + n + (colour ? "" : "_" + letter) + ".fit";
    return name + (o.compress.empty() ? "" : "." + o.compress);
}

// How frame `number` (1-based) is written.
FileKind kindOfFrame(const NightOptions& o, int number) {
    const auto it = o.faults.find(number);
    return it == o.faults.end() ? FileKind::frame : it->second;
}

// The frame's moment and true airmass, for an exposure starting at `start` (seconds since 1970).
void setTruth(const NightOptions& o, const Sky& sky, std::int64_t start, Frame& f) {
    const double middle = static_cast<double>(start) + o.exptime / 2.0;
    f.time =
        civilFromSeconds(o.stampMiddle ? static_cast<std::int64_t>(std::llround(middle)) : start);
    if (!o.preciseTruth) {
        // The truth is taken at the written DATE-OBS, the moment a reader of the file sees.
        f.elevation = elevationAt(sky, f.time);
        f.airmass = hardieAirmass(f.elevation);
        return;
    }
    // The light arrives through the whole exposure; its middle stands for it.
    const double jd = 2440587.5 + middle / static_cast<double>(kSecondsPerDay);
    f.elevation = apparentElevation(sky.lat, sky.lon, sky.ra, sky.dec, jd);
    f.airmass = pickeringAirmass(f.elevation);
}

// The frame's seeing, sky and second star, `along` (0 to 1) of the way through the night. Without
// the options that change them they are the options' own values.
void setConditions(const NightOptions& o, double along, Frame& f) {
    f.fwhm = o.seeingPower == 0.0 ? o.fwhm : o.fwhm * std::pow(f.airmass, o.seeingPower);
    f.sky = o.skyEnd ? o.sky + (*o.skyEnd - o.sky) * along : o.sky;
    f.neighbourFlux = o.neighbourFlux * std::exp(-o.k[f.band] * f.airmass);
}

// A warning when the exposures are longer than the time between them.
void warnOverlap(const NightOptions& o, double span, int moments) {
    if (moments < 2 || span / (moments - 1) >= o.exptime) return;
    std::fprintf(stderr,
                 "orvel-simulate: warning: exposures of %g s overlap: one starts every %.0f s\n",
                 o.exptime, span / (moments - 1));
}

}  // namespace

Sky skyOf(const NightOptions& o) {
    return {angleFromText(o.lat), angleFromText(o.lon), hoursFromText(o.ra), angleFromText(o.dec)};
}

// The star's true elevation at a moment, degrees.
double elevationAt(const Sky& sky, const CivilTime& t) {
    return altitudeDegrees(sky.lat, sky.dec, hourAngleDegrees(julianDate(t), sky.lon, sky.ra));
}

// Times from the meridian passage to the last elevation, bands taken in turn.
std::optional<std::vector<Frame>> planNight(const NightOptions& o) {
    const Sky sky = skyOf(o);
    const double lon = sky.lon;
    const double lastHourAngle = hourAngleAtAltitude(sky.lat, sky.dec, o.minElevation);
    if (lastHourAngle < 0.0) {
        std::cerr << "orvel-simulate: the star never rises to " << o.minElevation
                  << " degrees at this site\n";
        return std::nullopt;
    }
    CivilTime evening;
    parseDate(o.date, evening);
    // Local mean midnight after the evening: the transit nearest to it starts the series.
    const std::int64_t midnight =
        (daysFromCivil(evening.year, evening.month, evening.day) + 1) * kSecondsPerDay -
        std::llround(lon / 360.0 * kSecondsPerDay);
    const std::int64_t transit = transitNear(midnight, lon, sky.ra);
    const int count = 3 * o.frames;
    const double span = lastHourAngle / kSiderealDegreesPerDay * kSecondsPerDay;
    std::vector<Frame> frames;
    // A colour camera takes the three bands at once: one moment for each three frames.
    const bool colour = !o.colour.empty();
    const int moments = colour ? o.frames : count;
    warnOverlap(o, span, moments);
    for (int j = 0; j < count; ++j) {
        Frame f;
        f.band = j % 3;
        const int moment = colour ? j / 3 : j;
        f.file = fileName(o, moment + 1, f.band);
        f.name = colour ? f.file + "[" + kBands[f.band] + "]" : f.file;
        const double offset = moments == 1 ? 0.0 : span * moment / (moments - 1);
        setTruth(o, sky, transit + std::llround(offset), f);
        f.hours = static_cast<double>(std::llround(offset)) / 3600.0;
        // The extinction moves from --k to --k-end as the night goes on.
        const double fraction = moments == 1 ? 0.0 : static_cast<double>(moment) / (moments - 1);
        const double k = std::isnan(o.kEnd[f.band])
                             ? o.k[f.band]
                             : o.k[f.band] + (o.kEnd[f.band] - o.k[f.band]) * fraction;
        f.flux = o.flux[f.band] * std::exp(-k * f.airmass);
        // A cloud dims the starlight that the air lets through.
        if (const auto cloud = o.clouds.find(moment + 1); cloud != o.clouds.end())
            f.cloud = cloud->second;
        f.flux *= 1.0 - f.cloud;
        setConditions(o, fraction, f);
        f.kind = kindOfFrame(o, j + 1);
        frames.push_back(f);
    }
    return frames;
}

// The frames moved below the horizon: their DATE-OBS becomes the star's lower culmination
// twelve sidereal hours after the night's meridian passage (the first frame's moment), while
// their pixels keep the star as it was. False when the star is still up then.
bool moveBelowHorizon(const NightOptions& o, std::vector<Frame>& frames) {
    const Sky sky = skyOf(o);
    const std::int64_t transit = secondsFromCivil(frames.front().time);
    const CivilTime lower =
        civilFromSeconds(transit + std::llround(180.0 / kSiderealDegreesPerDay * kSecondsPerDay));
    const double elevation = elevationAt(sky, lower);
    for (Frame& f : frames) {
        if (f.kind != FileKind::belowHorizon) continue;
        if (elevation >= 0.0) {
            std::cerr << "orvel-simulate: --below-horizon: the star never sets at this site\n";
            return false;
        }
        f.time = lower;
        f.elevation = elevation;
        f.airmass = std::nan("");
    }
    return true;
}

}  // namespace orvel::simulate
