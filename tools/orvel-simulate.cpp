// orvel-simulate: writes a night of FITS frames of one star in R, G and B, as a camera would
// while the star sinks from the meridian towards the horizon, plus truth.csv with the airmass
// and flux of every frame and the extinction coefficients used. On request some frames are
// spoilt so that they cannot give a true point (a saturated star, a hidden star, a file cut
// short, a DATE-OBS when the star is below the horizon), and a colour cube and a master dark
// are written beside them.
#include <fitsio.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/typed_line.h"
#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"
#include "simulate_frame.h"
#include "simulate_sky.h"

namespace {

using namespace orvel;
using namespace orvel::simulate;

constexpr char kBands[3] = {'R', 'G', 'B'};
constexpr double kCeiling = 65535.0;  // the 16-bit ceiling after BZERO, DC
constexpr double kDarkLevel = 100.0;  // level of the master dark, ADU per pixel
constexpr const char* kCubeName = "NIGHT_RGB.fit";
constexpr const char* kDarkName = "master_dark_sub.fit";

// What a written file is: a good frame of the night, a frame spoilt on request, or one of the
// extra files. The name is the option that asks for it and the file's note in truth.csv.
enum class FileKind { frame, saturate, hideStar, cut, belowHorizon, cube, dark };

constexpr FileKind kFrameFaults[] = {FileKind::saturate, FileKind::hideStar, FileKind::cut,
                                     FileKind::belowHorizon};

const char* kindName(FileKind kind) {
    switch (kind) {
        case FileKind::saturate:
            return "saturate";
        case FileKind::hideStar:
            return "hide-star";
        case FileKind::cut:
            return "cut";
        case FileKind::belowHorizon:
            return "below-horizon";
        case FileKind::cube:
            return "cube";
        case FileKind::dark:
            return "dark";
        case FileKind::frame:
            break;
    }
    return "";
}

// Everything the user can set, with the defaults of a clear night at a mid-northern site.
struct Options {
    std::string out = "night";               // folder the frames go to
    std::string lat = "35,0,0";              // site latitude, D,M,S as typed, south negative
    std::string lon = "-106,30,0";           // site longitude, D,M,S, west negative
    std::string ra = "9,5,0";                // star right ascension, H,M,S
    std::string dec = "34,30,0";             // star declination, D,M,S
    std::string date = "2026-03-15";         // local date of the evening the night starts
    double k[3] = {0.25, 0.18, 0.12};        // extinction per airmass, natural-log units, R G B
    double kEnd[3] = {NAN, NAN, NAN};        // extinction at the last frame, changing
                                             // linearly in time from k; NaN: steady
    double flux[3] = {2.0e5, 2.5e5, 1.5e5};  // star flux above the atmosphere, ADU, R G B
    double fwhm = 3.0;                       // profile width, pixels
    double sky = 800.0;                      // sky level, ADU per pixel
    double readNoise = 8.0;                  // ADU rms
    bool noise = true;                       // photon and read noise
    int columns = 640;                       // frame width, pixels
    int rows = 480;                          // frame height, pixels
    int bitpix = 16;                         // 16 or -32
    int frames = 10;                         // frames per band
    double exptime = 30.0;                   // EXPTIME, seconds
    double minElevation = 20.0;              // elevation of the last frame, degrees
    std::optional<double> starX;             // star column; default a little off the centre
    std::optional<double> starY;             // star row
    std::uint64_t seed = 1;                  // noise seed
    std::map<int, FileKind> faults;          // frame number (1-based, written order) -> how it
                                             // is spoilt
    bool cube = false;                       // also write the colour cube NIGHT_RGB.fit
    bool dark = false;                       // also write the master dark master_dark_sub.fit
    std::string names = "classic";           // file names: classic, light, dash or suffix
    std::string filterCard = "FILTER";       // the card that names a frame's filter
    std::string colour;                      // "" one band per file; cube or bayer: all three
    std::string compress;                    // "" plain files; gz or fz
    bool preciseTruth = false;               // truth from J2000 coordinates by ERFA with
                                             // refraction, mid-exposure, Pickering's airmass
    bool stampMiddle = false;                // DATE-OBS names the exposure's middle, not start
    double seeingPower = 0.0;                // the profile's width grows as airmass^P (0: fixed)
    std::optional<double> skyEnd;            // sky level at the last moment, ADU per pixel; the
                                             // sky changes linearly in time from --sky (none:
                                             // the same all night)
    double neighbourDistance = 0.0;          // a second star this many pixels towards higher
                                             // columns, pixels
    double neighbourFlux = 0.0;              // its flux above the atmosphere in every band, ADU
                                             // (0: no second star)
    bool changingNight = false;  // --seeing-power, --sky-end or --neighbour given: truth.csv
                                 // gains each frame's width, sky and second star's flux
};

void printHelp() {
    std::cout <<
        R"(Usage: orvel-simulate [options]
Writes a night of FITS frames of one star in R, G and B (NIGHT_0001_R.fit, ...) and truth.csv.

  --out DIR             folder for the frames (default night)
  --lat D,M,S           site latitude, south negative (default 35,0,0)
  --lon D,M,S           site longitude, west negative (default -106,30,0)
  --ra H,M,S            star right ascension (default 9,5,0)
  --dec D,M,S           star declination (default 34,30,0)
  --date YYYY-MM-DD     local date of the evening the night begins (default 2026-03-15)
  --k R,G,B             extinction per airmass, natural-log units (default 0.25,0.18,0.12)
  --k-end R,G,B         extinction at the last frame: it changes linearly in time from --k
                        (truth.csv then gives each band's change per hour)
  --flux R,G,B          star flux above the atmosphere, ADU (default 200000,250000,150000)
  --fwhm PIXELS         star profile width (default 3.0)
  --sky ADU             sky level per pixel (default 800)
  --read-noise ADU      read noise rms (default 8)
  --no-noise            write the expected values without noise
  --size WxH            frame size in pixels (default 640x480)
  --bitpix 16|-32       sample format (16 stores 0..65535 with BZERO 32768; default 16)
  --frames N            frames per band (default 10)
  --exptime SECONDS     exposure time written to EXPTIME (default 30)
  --min-elevation DEG   elevation of the last frame (default 20)
  --star X,Y            star position in pixels, column and row from 0 (default near the centre)
  --seed S              noise seed (default 1)
  --truth-airmass described|precise
                        described (default): the truth is Hardie's airmass of the geometric
                        elevation at DATE-OBS, the coordinates taken as of date; precise: the
                        coordinates are J2000 and the truth is the apparent elevation by ERFA
                        (refraction at 1013.25 hPa, 10 C) in the middle of the exposure, with
                        Pickering's (2002) airmass
  --stamp start|middle  the moment of the exposure DATE-OBS names (default start)
  --seeing-power P      the profile's FWHM grows with airmass as FWHM x X^P (0.6 is typical of
                        real seeing; default 0, the same width all night)
  --sky-end ADU         the sky level of the last moment: the sky changes linearly in time from
                        --sky at the first frame to this at the last (default: --sky all night)
  --neighbour DIST,FLUX a second star of the same profile DIST pixels towards higher columns,
                        FLUX ADU above the atmosphere in every band, dimmed by each band's k
  --help                this text
  --version             the program's version

Frames as capture programs write them (read with orvel --frames):
  --names STYLE         classic (NIGHT_0001_R.fit), light (Light_HD1234_R_0001.fits), dash
                        (HD1234-Red-0001.fit) or suffix (HD1234_0001_Red.fts); all but classic
                        name the band only in the filter card ('R' for light, 'Red' otherwise)
  --filter-card NAME    the card that names the filter (default FILTER)
  --colour cube|bayer   a colour camera: each exposure one file holding all three bands, as a
                        3-plane cube or a raw RGGB mosaic (BAYERPAT); N frames are N exposures,
                        truth.csv lists FILE[R], FILE[G], FILE[B]
  --compress gz|fz      write each frame gzip-compressed (.gz) or tile-compressed (.fz, RICE)

Frames that cannot give a true point (N is the frame's number in the written order, 1 for
NIGHT_0001_R.fit; each option may be given for several frames, one option per frame):
  --saturate N          frame N's star so bright that its peak is clipped at 65535 (BITPIX -32
                        frames hold 65535.0 there and a SATURATE card of 65535)
  --hide-star N         frame N's star hidden in a dark patch deeper than the sky, with only a
                        faint trace at its place, so that its integrated signal is negative
  --cut N               frame N's file cut short: its header and half of its data bytes
  --below-horizon N     frame N's DATE-OBS set to the star's lower culmination after the night's
                        meridian passage, when it is below the horizon (the pixels still show it)
  --cube                also write NIGHT_RGB.fit, a 3-plane colour cube (NAXIS3 = 3) of the
                        first frame's moment, one band per plane
  --dark                also write master_dark_sub.fit, a master dark (IMAGETYP 'Dark Frame',
                        a flat level of 100 ADU, no star) dated two minutes before the first frame

The angles are read like ORVEL reads them: the sign of the degrees field is the sign of the
whole angle. The first frame is taken at the star's meridian passage, the last when it has
sunk to the given elevation; R, G and B frames alternate in time. A frame not named by the
options above is the same, byte for byte, as without them. truth.csv names the kind of every
spoilt or extra file in its note column (empty for a good frame). With --seeing-power,
--sky-end or --neighbour, truth.csv gives every frame's FWHM (pixels), sky level (ADU per
pixel) and second star's flux (ADU) in three more columns at the end of its rows.
)";
}

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

// Three comma-separated numbers, one per band.
bool parseTriple(const std::string& text, double (&out)[3]) {
    for (int i = 0; i < 3; ++i) {
        const std::string f = field(text, i + 1);
        if (f.empty()) return false;
        out[i] = numericValue(f);
    }
    return true;
}

bool parseDate(const std::string& text, CivilTime& date) {
    return std::sscanf(text.c_str(), "%d-%d-%d", &date.year, &date.month, &date.day) == 3 &&
           date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

// A frame to spoil; an error text when the frame is already named by another option.
std::string addFault(Options& o, FileKind kind, const std::string& value) {
    const int frame = std::stoi(value);
    if (!o.faults.emplace(frame, kind).second)
        return "frame " + std::to_string(frame) + " is named by two options";
    return {};
}

// --sky-end and --neighbour; empty when the option is neither, else its error text (empty when
// the value is good).
std::optional<std::string> applyChangingNight(Options& o, const std::string& name,
                                              const std::string& value) {
    if (name == "--sky-end") {
        o.skyEnd = numericValue(value);
    } else if (name == "--neighbour") {
        if (field(value, 2).empty()) return "--neighbour needs DIST,FLUX";
        o.neighbourDistance = numericValue(field(value, 1));
        o.neighbourFlux = numericValue(field(value, 2));
    } else {
        return std::nullopt;
    }
    o.changingNight = true;
    return std::string();
}

// Reads one option with its value; an error text when it is unknown or its value is bad.
std::string applyOption(Options& o, const std::string& name, const std::string& value) {
    std::map<std::string, std::string*> texts = {
        {"--out", &o.out},       {"--lat", &o.lat},
        {"--lon", &o.lon},       {"--ra", &o.ra},
        {"--dec", &o.dec},       {"--date", &o.date},
        {"--names", &o.names},   {"--filter-card", &o.filterCard},
        {"--colour", &o.colour}, {"--compress", &o.compress}};
    if (auto it = texts.find(name); it != texts.end()) {
        *it->second = value;
        return {};
    }
    std::map<std::string, double*> reals = {{"--fwhm", &o.fwhm},
                                            {"--sky", &o.sky},
                                            {"--read-noise", &o.readNoise},
                                            {"--exptime", &o.exptime},
                                            {"--min-elevation", &o.minElevation},
                                            {"--seeing-power", &o.seeingPower}};
    if (auto it = reals.find(name); it != reals.end()) {
        *it->second = numericValue(value);
        o.changingNight = o.changingNight || name == "--seeing-power";
        return {};
    }
    if (auto changed = applyChangingNight(o, name, value)) return *changed;
    if (name == "--k") return parseTriple(value, o.k) ? "" : "--k needs R,G,B";
    if (name == "--k-end") return parseTriple(value, o.kEnd) ? "" : "--k-end needs R,G,B";
    if (name == "--flux") return parseTriple(value, o.flux) ? "" : "--flux needs R,G,B";
    if (name == "--size") {
        return std::sscanf(value.c_str(), "%dx%d", &o.columns, &o.rows) == 2 ? ""
                                                                             : "--size needs WxH";
    }
    std::map<std::string, int*> integers = {{"--bitpix", &o.bitpix}, {"--frames", &o.frames}};
    if (auto it = integers.find(name); it != integers.end()) {
        *it->second = std::stoi(value);
        return {};
    }
    for (const FileKind kind : kFrameFaults)
        if (name == std::string("--") + kindName(kind)) return addFault(o, kind, value);
    if (name == "--truth-airmass" && (value == "described" || value == "precise")) {
        o.preciseTruth = value == "precise";
        return {};
    }
    if (name == "--stamp" && (value == "start" || value == "middle")) {
        o.stampMiddle = value == "middle";
        return {};
    }
    if (name == "--seed") {
        o.seed = std::stoull(value);
        return {};
    }
    if (name == "--star") {
        if (field(value, 2).empty()) return "--star needs X,Y";
        o.starX = numericValue(field(value, 1));
        o.starY = numericValue(field(value, 2));
        return {};
    }
    return "unknown option " + name;
}

// Values that would make no sensible night.
std::string checkOptions(const Options& o) {
    CivilTime date;
    if (!parseDate(o.date, date)) return "--date needs YYYY-MM-DD";
    if (o.columns < 1 || o.rows < 1) return "--size must be at least 1x1";
    if (static_cast<std::int64_t>(o.columns) * o.rows > kMaxImagePixels) return "--size too large";
    if (o.bitpix != 16 && o.bitpix != -32) return "--bitpix must be 16 or -32";
    if (o.frames < 1) return "--frames must be at least 1";
    if (!(o.fwhm > 0.0)) return "--fwhm must be positive";
    if (!(o.seeingPower >= 0.0 && o.seeingPower <= 3.0))
        return "--seeing-power must be from 0 to 3";
    if (!(o.neighbourFlux >= 0.0) || !(o.neighbourDistance >= 0.0))
        return "--neighbour needs a distance and a flux of 0 or more";
    if (o.names != "classic" && o.names != "light" && o.names != "dash" && o.names != "suffix")
        return "--names must be classic, light, dash or suffix";
    if (!o.colour.empty() && o.colour != "cube" && o.colour != "bayer")
        return "--colour must be cube or bayer";
    if (!o.compress.empty() && o.compress != "gz" && o.compress != "fz")
        return "--compress must be gz or fz";
    if (o.filterCard.empty() || o.filterCard.size() > 8) return "--filter-card needs a keyword";
    if (!o.colour.empty() && (!o.faults.empty() || o.cube || o.dark))
        return "--colour cannot be combined with spoilt frames, --cube or --dark";
    for (const auto& [frame, kind] : o.faults) {
        if (frame < 1 || frame > 3 * o.frames)
            return std::string("--") + kindName(kind) + " needs a frame number from 1 to " +
                   std::to_string(3 * o.frames);
    }
    return {};
}

// The options that take a value, as --name value or --name=value.
bool takesValue(const std::string& name) {
    static const char* const kValued[] = {"--out",
                                          "--lat",
                                          "--lon",
                                          "--ra",
                                          "--dec",
                                          "--date",
                                          "--k",
                                          "--k-end",
                                          "--flux",
                                          "--fwhm",
                                          "--sky",
                                          "--read-noise",
                                          "--size",
                                          "--bitpix",
                                          "--frames",
                                          "--exptime",
                                          "--min-elevation",
                                          "--star",
                                          "--seed",
                                          "--saturate",
                                          "--hide-star",
                                          "--cut",
                                          "--below-horizon",
                                          "--names",
                                          "--filter-card",
                                          "--colour",
                                          "--compress",
                                          "--truth-airmass",
                                          "--stamp",
                                          "--seeing-power",
                                          "--sky-end",
                                          "--neighbour"};
    for (const char* valued : kValued)
        if (name == valued) return true;
    return false;
}

// A switch without a value; false when the name is not one.
bool applySwitch(Options& o, const std::string& name) {
    if (name == "--no-noise")
        o.noise = false;
    else if (name == "--cube")
        o.cube = true;
    else if (name == "--dark")
        o.dark = true;
    else
        return false;
    return true;
}

// Reads argv[i] into the options, with its value (moving i past it); an error text when the
// option is unknown, lacks its value or its value is bad.
std::string readArgument(Options& o, int argc, char** argv, int& i) {
    std::string name = argv[i];
    if (applySwitch(o, name)) return {};
    std::string value;
    // Both "--name value" and "--name=value".
    const auto eq = name.find('=');
    if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
    }
    if (!takesValue(name)) return "unknown option " + name;
    if (eq == std::string::npos) {
        if (i + 1 >= argc) return "option " + name + " needs a value";
        value = argv[++i];
    }
    try {
        return applyOption(o, name, value);
    } catch (const std::exception&) {
        return "bad value for " + name;
    }
}

// Parses the command line; prints the help, the version or an error and gives nothing when it
// should stop.
std::optional<Options> parseCommandLine(int argc, char** argv, int& exitCode) {
    Options o;
    exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return std::nullopt;
        }
        if (arg == "--version") {
            std::cout << "orvel-simulate 1.0\n";
            return std::nullopt;
        }
        std::string error = readArgument(o, argc, argv, i);
        if (error.empty()) continue;
        std::cerr << "orvel-simulate: " << error << " (see --help)\n";
        exitCode = 2;
        return std::nullopt;
    }
    if (const std::string error = checkOptions(o); !error.empty()) {
        std::cerr << "orvel-simulate: " << error << " (see --help)\n";
        exitCode = 2;
        return std::nullopt;
    }
    return o;
}

// The name of file `number` (from 1) in the chosen style, with its compression's extension.
std::string fileName(const Options& o, int number, int band) {
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

// One frame of the night: when it was taken, in which band, and what the star gave.
struct Frame {
    std::string name;          // file name, NIGHT_0001_R.fit; FILE[R] for a band of a colour file
    std::string file;          // the file written (the name, for a frame of one band)
    int band = 0;              // 0 R, 1 G, 2 B
    CivilTime time;            // DATE-OBS, whole seconds UT
    double elevation = 0;      // true elevation at DATE-OBS, degrees
    double airmass = 0;        // true optical airmass at DATE-OBS (NaN below the horizon)
    double flux = 0;           // star flux after extinction, ADU (NaN when there is no one value)
    double fwhm = 0;           // the profile's full width at half maximum, pixels
    double sky = 0;            // sky level, ADU per pixel
    double neighbourFlux = 0;  // the second star's flux after extinction, ADU (0 without one)
    FileKind kind = FileKind::frame;  // a good frame, or why it is not one
};

// The site and the star, in degrees (right ascension in hours).
struct Sky {
    double lat = 0;
    double lon = 0;
    double ra = 0;
    double dec = 0;
};

Sky skyOf(const Options& o) {
    return {angleFromText(o.lat), angleFromText(o.lon), hoursFromText(o.ra), angleFromText(o.dec)};
}

// The star's true elevation at a moment, degrees.
double elevationAt(const Sky& sky, const CivilTime& t) {
    return altitudeDegrees(sky.lat, sky.dec, hourAngleDegrees(julianDate(t), sky.lon, sky.ra));
}

// How frame `number` (1-based) is written.
FileKind kindOfFrame(const Options& o, int number) {
    const auto it = o.faults.find(number);
    return it == o.faults.end() ? FileKind::frame : it->second;
}

// The frame's moment and true airmass, for an exposure starting at `start` (seconds since 1970).
void setTruth(const Options& o, const Sky& sky, std::int64_t start, Frame& f) {
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
void setConditions(const Options& o, double along, Frame& f) {
    f.fwhm = o.seeingPower == 0.0 ? o.fwhm : o.fwhm * std::pow(f.airmass, o.seeingPower);
    f.sky = o.skyEnd ? o.sky + (*o.skyEnd - o.sky) * along : o.sky;
    f.neighbourFlux = o.neighbourFlux * std::exp(-o.k[f.band] * f.airmass);
}

// A warning when the exposures are longer than the time between them.
void warnOverlap(const Options& o, double span, int moments) {
    if (moments < 2 || span / (moments - 1) >= o.exptime) return;
    std::fprintf(stderr,
                 "orvel-simulate: warning: exposures of %g s overlap: one starts every %.0f s\n",
                 o.exptime, span / (moments - 1));
}

// Times from the meridian passage to the last elevation, bands taken in turn.
std::optional<std::vector<Frame>> planNight(const Options& o) {
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
        // The extinction moves from --k to --k-end as the night goes on.
        const double fraction = moments == 1 ? 0.0 : static_cast<double>(moment) / (moments - 1);
        const double k = std::isnan(o.kEnd[f.band])
                             ? o.k[f.band]
                             : o.k[f.band] + (o.kEnd[f.band] - o.k[f.band]) * fraction;
        f.flux = o.flux[f.band] * std::exp(-k * f.airmass);
        setConditions(o, fraction, f);
        f.kind = kindOfFrame(o, j + 1);
        frames.push_back(f);
    }
    return frames;
}

// The frames moved below the horizon: their DATE-OBS becomes the star's lower culmination
// twelve sidereal hours after the night's meridian passage (the first frame's moment), while
// their pixels keep the star as it was. False when the star is still up then.
bool moveBelowHorizon(const Options& o, std::vector<Frame>& frames) {
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

// The cards every written file has after its image cards: scaling, moment and exposure.
void addExposureCards(std::vector<std::string>& cards, const Options& o, const CivilTime& t) {
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsRealCard("BZERO", o.bitpix == 16 ? 32768.0 : 0.0));
    cards.push_back(fitsStringCard("DATE-OBS", isoTime(t), "UT at the exposure start"));
    cards.push_back(fitsRealCard("EXPTIME", o.exptime, "seconds"));
}

std::vector<std::string> frameCards(const Options& o, const Frame& f) {
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    addExposureCards(cards, o, f.time);
    static const char* kWords[3] = {"Red", "Green", "Blue"};
    const bool letter = o.names == "classic" || o.names == "light";
    cards.push_back(
        fitsStringCard(o.filterCard, letter ? std::string(1, kBands[f.band]) : kWords[f.band]));
    // A 16-bit frame's ceiling is its format's; a float frame says where it clipped.
    if (f.kind == FileKind::saturate && o.bitpix == -32)
        cards.push_back(fitsRealCard("SATURATE", kCeiling, "DC at which pixels saturate"));
    return cards;
}

// The star hidden in a dark patch: a Gaussian hollow three times the star's width, half the
// sky deep at its centre, with a faint trace of the star at its place whose brightest pixel
// stands ten noise sigmas above the sky, so that the brightest pixel near the star (where the
// rings are centred) is the patch's centre and the signal in the rings is negative.
void hideStar(FrameSpec& s) {
    const double depth = 0.5 * s.sky;
    s.hollowFwhm = 3.0 * s.fwhm;
    const double hollowSigma = sigmaOfFwhm(s.hollowFwhm);
    s.hollowFlux = depth * 2.0 * kPi * hollowSigma * hollowSigma;
    const double noise = std::sqrt(std::max(s.sky, 0.0) + s.readNoise * s.readNoise);
    s.starFlux = (depth + 10.0 * noise) / peakShare(s);
}

// The star of a spoilt frame: clipped at the ceiling, or hidden.
void shapeStar(FrameSpec& s, FileKind kind) {
    if (kind == FileKind::saturate) {
        // So bright that the brightest pixel's expected value is four times the ceiling.
        s.starFlux = (4.0 * kCeiling - s.sky) / peakShare(s);
        s.ceiling = kCeiling;
    } else if (kind == FileKind::hideStar) {
        hideStar(s);
    }
}

FrameSpec frameSpec(const Options& o, const Frame& f, int index) {
    FrameSpec s;
    s.columns = o.columns;
    s.rows = o.rows;
    s.bitpix = o.bitpix;
    s.starX = o.starX.value_or(std::floor(o.columns * 0.55) + 0.3);
    s.starY = o.starY.value_or(std::floor(o.rows * 0.45) + 0.6);
    s.fwhm = f.fwhm;
    s.starFlux = f.flux;
    s.sky = f.sky;
    if (f.neighbourFlux > 0.0) {
        s.neighbourX = s.starX + o.neighbourDistance;
        s.neighbourY = s.starY;
        s.neighbourFlux = f.neighbourFlux;
    }
    s.readNoise = o.readNoise;
    s.noise = o.noise;
    // Each frame has its own stream, so any frame can be made again on its own.
    s.seed = o.seed * 1000003u + static_cast<std::uint64_t>(index);
    shapeStar(s, f.kind);
    return s;
}

// The plain file a compressed one is made from: its name without ".gz" or ".fz".
std::filesystem::path plainPath(const std::filesystem::path& path) {
    std::string name = path.string();
    name.resize(name.size() - 3);
    return name;
}

// The plain file gzip-compressed at path, as gzip writes it.
bool gzipFile(const std::filesystem::path& plain, const std::filesystem::path& path) {
    std::ifstream in(plain, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    gzFile out = gzopen(path.c_str(), "wb6");
    if (out == nullptr) return false;
    const bool written = gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                         static_cast<int>(bytes.size());
    return gzclose(out) == Z_OK && written && in.good();
}

// Replaces the plain file by its compressed copy at path: gzip for .gz, RICE tiles of one row
// each (fpack's defaults) for .fz. Both opened as plain disk files, whatever their names hold.
bool compressFile(const std::filesystem::path& path) {
    const std::filesystem::path plain = plainPath(path);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    bool done = false;
    if (path.extension() == ".fz") {
        fitsfile* in = nullptr;
        fitsfile* out = nullptr;
        int status = 0, ignored = 0;
        fits_open_diskfile(&in, plain.c_str(), READONLY, &status);
        fits_create_diskfile(&out, path.c_str(), &status);
        fits_set_compression_type(out, RICE_1, &status);
        fits_img_compress(in, out, &status);
        if (out) fits_close_file(out, &status);
        if (in) fits_close_file(in, &ignored);
        done = status == 0;
    } else {
        done = gzipFile(plain, path);
    }
    std::filesystem::remove(plain, ec);
    return done;
}

// The three bands of one exposure of a colour camera (frames[i] red, then green and blue) as one
// file: a 3-plane cube, or a raw RGGB mosaic.
bool writeColourFile(const std::filesystem::path& folder, const Options& o,
                     const std::vector<Frame>& frames, int i) {
    const Frame& first = frames[static_cast<std::size_t>(i)];
    std::vector<FrameSpec> planes;
    for (int b = 0; b < 3; ++b)
        planes.push_back(frameSpec(o, frames[static_cast<std::size_t>(i + b)], i + b));
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    const bool cube = o.colour == "cube";
    if (cube) {
        cards[2] = fitsIntCard("NAXIS", 3);
        cards.push_back(fitsIntCard("NAXIS3", 3, "planes R, G and B"));
    }
    addExposureCards(cards, o, first.time);
    if (!cube) {
        cards.push_back(fitsStringCard("BAYERPAT", "RGGB", "colour of the first 2 x 2 pixels"));
        cards.push_back(fitsIntCard("XBAYROFF", 0));
        cards.push_back(fitsIntCard("YBAYROFF", 0));
    }
    const std::filesystem::path path = folder / first.file;
    const std::filesystem::path written = o.compress.empty() ? path : plainPath(path);
    if (!writePlanes(written, planes, cards, !cube)) return false;
    return o.compress.empty() || compressFile(path);
}

// Writes frame `index` (0-based) of the night; a cut frame keeps its header and half its data
// bytes. A spoilt star's truth becomes the signal actually put in the frame.
bool writeNightFrame(const std::filesystem::path& folder, const Options& o, Frame& f, int index) {
    const FrameSpec shown = frameSpec(o, f, index);
    if (f.kind == FileKind::saturate || f.kind == FileKind::hideStar)
        f.flux = shown.starFlux - shown.hollowFlux;
    const std::vector<std::string> cards = frameCards(o, f);
    const std::filesystem::path path = folder / f.name;
    if (!o.compress.empty()) return writeFrame(plainPath(path), shown, cards) && compressFile(path);
    if (!writeFrame(path, shown, cards)) return false;
    if (f.kind != FileKind::cut) return true;
    const std::int64_t dataBytes =
        static_cast<std::int64_t>(o.columns) * o.rows * bytesPerSample(o.bitpix);
    std::error_code ec;
    std::filesystem::resize_file(
        path, fitsHeader(cards).size() + static_cast<std::uintmax_t>(dataBytes / 2), ec);
    return !ec;
}

// The colour cube: three planes, R, G and B, of the star at the first frame's moment, each with
// its own noise stream (after the frames' streams). Its truth row has no single flux.
std::optional<Frame> writeCube(const std::filesystem::path& folder, const Options& o,
                               const Frame& first, int count) {
    Frame cube = first;
    cube.name = kCubeName;
    cube.kind = FileKind::frame;
    std::vector<FrameSpec> planes;
    for (int b = 0; b < 3; ++b) {
        FrameSpec s = frameSpec(o, cube, count + b);
        s.starFlux = o.flux[b] * std::exp(-o.k[b] * first.airmass);
        s.neighbourFlux = o.neighbourFlux * std::exp(-o.k[b] * first.airmass);
        planes.push_back(s);
    }
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    cards[2] = fitsIntCard("NAXIS", 3);
    cards.push_back(fitsIntCard("NAXIS3", 3, "planes R, G and B"));
    addExposureCards(cards, o, first.time);
    if (!writePlanes(folder / cube.name, planes, cards)) return std::nullopt;
    cube.kind = FileKind::cube;
    cube.flux = std::nan("");
    cube.neighbourFlux = std::nan("");
    return cube;
}

// The master dark: a flat dark level with its noise and no star, taken two minutes before the
// first frame, with the next noise stream after the cube's.
std::optional<Frame> writeDark(const std::filesystem::path& folder, const Options& o,
                               const Frame& first, int count) {
    Frame dark = first;
    dark.name = kDarkName;
    dark.kind = FileKind::frame;
    dark.time = civilFromSeconds(secondsFromCivil(first.time) - 120);
    dark.elevation = elevationAt(skyOf(o), dark.time);
    dark.airmass = hardieAirmass(dark.elevation);
    FrameSpec s = frameSpec(o, dark, count + 3);
    s.starFlux = 0.0;
    s.neighbourFlux = 0.0;
    s.sky = kDarkLevel;
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    addExposureCards(cards, o, dark.time);
    cards.push_back(fitsStringCard("IMAGETYP", "Dark Frame"));
    if (!writeFrame(folder / dark.name, s, cards)) return std::nullopt;
    dark.kind = FileKind::dark;
    dark.flux = 0.0;
    dark.fwhm = std::nan("");
    dark.sky = kDarkLevel;
    dark.neighbourFlux = 0.0;
    return dark;
}

// A truth number, or an empty field when it does not exist (NaN).
std::string truthNumber(const char* format, double value) {
    if (std::isnan(value)) return {};
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The bands a file holds, as truth.csv names them: none for the dark.
std::string bandsOf(const Frame& f) {
    if (f.kind == FileKind::cube) return "RGB";
    if (f.kind == FileKind::dark) return {};
    return std::string(1, kBands[f.band]);
}

bool writeTruth(const std::filesystem::path& path, const Options& o,
                const std::vector<Frame>& frames) {
    std::ofstream out(path, std::ios::trunc);
    char line[256];
    out << "file,band,ut,elevation_deg,airmass,flux_adu,note"
        << (o.changingNight ? ",fwhm_px,sky_adu,neighbour_flux_adu\n" : "\n");
    for (const Frame& f : frames) {
        out << f.name << ',' << bandsOf(f) << ',' << isoTime(f.time) << ','
            << truthNumber("%.6f", f.elevation) << ',' << truthNumber("%.6f", f.airmass) << ','
            << truthNumber("%.3f", f.flux) << ',' << kindName(f.kind);
        if (o.changingNight)
            out << ',' << truthNumber("%.6f", f.fwhm) << ',' << truthNumber("%.3f", f.sky) << ','
                << truthNumber("%.3f", f.neighbourFlux);
        out << '\n';
    }
    const bool changing = !std::isnan(o.kEnd[0]);
    out << "\nband,k,flux_above_atmosphere_adu" << (changing ? ",k_per_hour\n" : "\n");
    // The night's span from the first frame's moment to the last one's.
    const double hours =
        frames.size() < 2
            ? 0.0
            : (julianDate(frames.back().time) - julianDate(frames.front().time)) * 24.0;
    for (int b = 0; b < 3; ++b) {
        std::snprintf(line, sizeof line, "%c,%.6g,%.3f", kBands[b], o.k[b], o.flux[b]);
        out << line;
        if (changing) {
            std::snprintf(line, sizeof line, ",%.6g", (o.kEnd[b] - o.k[b]) / hours);
            out << line;
        }
        out << '\n';
    }
    return static_cast<bool>(out);
}

void printSummary(const Options& o, const std::vector<Frame>& frames, const FrameSpec& first) {
    std::printf("Wrote %zu frames and truth.csv to %s\n", frames.size(), o.out.c_str());
    std::printf("Type these when ORVEL asks:\n");
    std::printf("  Latitude of site (D,M,S):   %s\n", o.lat.c_str());
    std::printf("  Longitude of site (D,M,S):  %s\n", o.lon.c_str());
    std::printf("  RA of target star (H,M,S):  %s\n", o.ra.c_str());
    std::printf("  Dec of target star (D,M,S): %s\n", o.dec.c_str());
    std::printf("Star pixel position (column, row from the first row in the file): %.2f, %.2f\n",
                first.starX, first.starY);
    std::printf("Airmass from %.4f to %.4f; UT %s to %s\n", frames.front().airmass,
                frames.back().airmass, isoTime(frames.front().time).c_str(),
                isoTime(frames.back().time).c_str());
}

// The files that cannot give a true point, one line each.
void printSpoilt(const std::vector<Frame>& files) {
    for (const Frame& f : files)
        if (f.kind != FileKind::frame) std::printf("  %s: %s\n", f.name.c_str(), kindName(f.kind));
}

// The night's frames, then the cube and the dark when asked for; the files written in order.
// `first` is the first frame as planned, the moment of the cube and the dark.
std::optional<std::vector<Frame>> writeFiles(const Options& o, std::vector<Frame> frames,
                                             const Frame& first) {
    const std::filesystem::path folder = o.out;
    const int count = static_cast<int>(frames.size());
    for (int i = 0; i < count; ++i) {
        Frame& f = frames[static_cast<std::size_t>(i)];
        const bool written = o.colour.empty() ? writeNightFrame(folder, o, f, i)
                                              : i % 3 != 0 || writeColourFile(folder, o, frames, i);
        if (!written) {
            std::cerr << "orvel-simulate: cannot write " << (folder / f.name).string() << "\n";
            return std::nullopt;
        }
    }
    for (const auto& [wanted, writer] : {std::pair{o.cube, &writeCube}, {o.dark, &writeDark}}) {
        if (!wanted) continue;
        const std::optional<Frame> extra = writer(folder, o, first, count);
        if (!extra) {
            std::cerr << "orvel-simulate: cannot write the extra files in " << o.out << "\n";
            return std::nullopt;
        }
        frames.push_back(*extra);
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<Options> options = parseCommandLine(argc, argv, exitCode);
    if (!options) return exitCode;
    const Options& o = *options;
    const std::optional<std::vector<Frame>> frames = planNight(o);
    if (!frames) return 2;
    Frame planned = frames->front();
    planned.kind = FileKind::frame;
    const FrameSpec first = frameSpec(o, planned, 0);
    if (o.bitpix == 16 && expectedPeak(first) > 65535.0) {
        std::cerr << "orvel-simulate: warning: the star's peak exceeds 65535 and is clipped\n";
    }
    std::vector<Frame> written = *frames;
    if (!moveBelowHorizon(o, written)) return 2;
    std::error_code ec;
    std::filesystem::create_directories(o.out, ec);
    const std::optional<std::vector<Frame>> files = writeFiles(o, written, planned);
    if (!files) return 1;
    if (!writeTruth(std::filesystem::path(o.out) / "truth.csv", o, *files)) {
        std::cerr << "orvel-simulate: cannot write truth.csv\n";
        return 1;
    }
    printSummary(o, *frames, first);
    if (files->size() > frames->size() || !o.faults.empty()) {
        std::printf("Files that cannot give a true point:\n");
        printSpoilt(*files);
    }
    return 0;
}
