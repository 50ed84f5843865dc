// The night planned: when each frame is taken, in which band and under what sky, and what the
// star gives it, from the meridian passage down to the last elevation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "simulate/night_options.h"
#include "simulate/simulate_sky.h"

namespace orvel::simulate {

// One frame of the night: when it was taken, in which band, and what the star gave.
struct Frame {
    std::string name;          // file name, NIGHT_0001_R.fit; FILE[R] for a band of a colour file
    std::string file;          // the file written (the name, for a frame of one band)
    int band = 0;              // 0 R, 1 G, 2 B
    CivilTime time;            // DATE-OBS, whole seconds UT
    double hours = 0;          // time from the first exposure's start to this one's, hours
    double elevation = 0;      // true elevation at DATE-OBS, degrees
    double airmass = 0;        // true optical airmass at DATE-OBS (NaN below the horizon)
    double flux = 0;           // star flux after extinction, ADU (NaN when there is no one value)
    double fwhm = 0;           // the profile's full width at half maximum, pixels
    double sky = 0;            // sky level, ADU per pixel
    double neighbourFlux = 0;  // the second star's flux after extinction, ADU (0 without one)
    FileKind kind = FileKind::frame;  // a good frame, or why it is not one
    double cloud = 0;                 // share of the starlight a passing cloud took (0: clear)
};

// The site and the star, in degrees (right ascension in hours).
struct Sky {
    double lat = 0;
    double lon = 0;
    double ra = 0;
    double dec = 0;
};

Sky skyOf(const NightOptions& o);

// The star's true elevation at a moment, degrees.
double elevationAt(const Sky& sky, const CivilTime& t);

// Times from the meridian passage to the last elevation, bands taken in turn; empty (after
// saying why) when the star never rises that high.
std::optional<std::vector<Frame>> planNight(const NightOptions& o);

// The frames moved below the horizon: their DATE-OBS becomes the star's lower culmination
// twelve sidereal hours after the night's meridian passage (the first frame's moment), while
// their pixels keep the star as it was. False when the star is still up then.
bool moveBelowHorizon(const NightOptions& o, std::vector<Frame>& frames);

}  // namespace orvel::simulate
