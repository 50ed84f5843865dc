// What the user of the simulator can set, with the defaults of a clear night at a mid-northern
// site, and the command line that sets it.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simulate/simulate_sky.h"

namespace orvel::simulate {

constexpr char kBands[3] = {'R', 'G', 'B'};

// What a written file is: a good frame of the night, a frame spoilt on request, or one of the
// extra files. The name is the option that asks for it and the file's note in truth.csv.
enum class FileKind { frame, saturate, hideStar, cut, belowHorizon, cube, dark };

const char* kindName(FileKind kind);

// A sensor pixel named on the command line, in a given frame or in all of them.
struct PixelPlace {
    int frame = 0;   // frame number, 1-based in the written order (0: every frame)
    int column = 0;  // column from 0, pixels
    int row = 0;     // row from the first row in the file, pixels
};

struct NightOptions {
    std::string out = "night";                // folder the frames go to
    std::string lat = "35,0,0";               // site latitude, D,M,S as typed, south negative
    std::string lon = "-106,30,0";            // site longitude, D,M,S, west negative
    std::string ra = "9,5,0";                 // star right ascension, H,M,S
    std::string dec = "34,30,0";              // star declination, D,M,S
    std::string date = "2026-03-15";          // local date of the evening the night starts
    double k[3] = {0.12, 0.18, 0.25};         // extinction per airmass, natural-log units, R G B:
                                              // blue above red, as in a real sky
    double kEnd[3] = {NAN, NAN, NAN};         // extinction at the last frame, changing
                                              // linearly in time from k; NaN: steady
    double flux[3] = {2.0e5, 2.5e5, 1.5e5};   // star flux above the atmosphere, ADU, R G B
    double fwhm = 3.0;                        // profile width, pixels
    double sky = 800.0;                       // sky level, ADU per pixel
    double readNoise = 8.0;                   // ADU rms
    bool noise = true;                        // photon and read noise
    int columns = 640;                        // frame width, pixels
    int rows = 480;                           // frame height, pixels
    int bitpix = 16;                          // 16 or -32
    int frames = 10;                          // frames per band
    double exptime = 30.0;                    // EXPTIME, seconds
    double minElevation = 20.0;               // elevation of the last frame, degrees
    std::optional<double> starX;              // star column; default a little off the centre
    std::optional<double> starY;              // star row
    std::uint64_t seed = 1;                   // noise seed
    std::map<int, FileKind> faults;           // frame number (1-based, written order) -> how it
                                              // is spoilt
    bool cube = false;                        // also write the colour cube NIGHT_RGB.fit
    bool dark = false;                        // also write the master dark master_dark_sub.fit
    std::string names = "classic";            // file names: classic, light, dash or suffix
    std::string filterCard = "FILTER";        // the card that names a frame's filter
    std::string colour;                       // "" one band per file; cube or bayer: all three
    std::string compress;                     // "" plain files; gz or fz
    std::string headerStyle;                  // "" DATE-OBS and EXPTIME alone; or the capture
                                              // program whose time, site, star and altitude
                                              // cards are written (--header-style)
    bool preciseTruth = false;                // truth from J2000 coordinates by ERFA with
                                              // refraction, mid-exposure, Pickering's airmass
    bool stampMiddle = false;                 // DATE-OBS names the exposure's middle, not start
    double seeingPower = 0.0;                 // the profile's width grows as airmass^P (0: fixed)
    std::optional<double> skyEnd;             // sky level at the last moment, ADU per pixel; the
                                              // sky changes linearly in time from --sky (none:
                                              // the same all night)
    double neighbourDistance = 0.0;           // a second star this many pixels towards higher
                                              // columns, pixels
    double neighbourFlux = 0.0;               // its flux above the atmosphere in every band, ADU
                                              // (0: no second star)
    int hotPixels = 0;                        // hot pixels placed by the seed, the same in
                                              // every frame
    std::vector<PixelPlace> hotPixelPlaces;   // hot pixels placed by hand
    int cosmicRays = 0;                       // cosmic-ray hits per frame placed by the seed
    std::vector<PixelPlace> cosmicRayPlaces;  // hits placed by hand, each in its frame
    std::map<int, double> clouds;             // frame number (1-based; exposure number of a
                                              // colour camera) -> share of the starlight a
                                              // passing cloud takes (0..0.99)
    double moffatBeta = 0.0;                  // Moffat profiles of this beta (0: Gaussian)
    double donutInner = 0.0;                  // defocused rings: hole radius over outer radius
                                              // (0: focused stars)
    double driftX = 0.0;                      // the field's drift, columns per hour
    double driftY = 0.0;                      // rows per hour
    std::optional<double> flipHours;          // hours after the first frame at which the mount
                                              // flips and the frame turns 180 degrees
    double rotationRate = 0.0;                // field rotation about the frame centre, degrees
                                              // per hour (positive from +column towards +row)
    int fieldStars = 0;                       // further stars across the frame
    int adcBits = 0;                          // the camera's ADC bits (0: none, plain values)
    int adcScale = 1;                         // each ADC value written times this
    bool frameTraits = false;                 // one of the options above given: truth.csv gains
                                              // the star's place, and defects.csv is written
    bool changingNight = false;  // --seeing-power, --sky-end or --neighbour given: truth.csv
                                 // gains each frame's width, sky and second star's flux
};

// The local date of the evening, "YYYY-MM-DD"; false when it is no date.
bool parseDate(const std::string& text, CivilTime& date);

// The options of the command line; empty when the program stops here, after printing the help,
// the version or the error, with the exit status in `exitCode`.
std::optional<NightOptions> readCommandLine(int argc, char** argv, int& exitCode);

}  // namespace orvel::simulate
