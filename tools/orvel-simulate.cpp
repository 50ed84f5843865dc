// orvel-simulate: writes a night of FITS frames of one star in R, G and B, as a camera would
// while the star sinks from the meridian towards the horizon, plus truth.csv with the airmass
// and flux of every frame and the extinction coefficients used.
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

#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"
#include "base/typed_line.h"
#include "simulate_frame.h"
#include "simulate_sky.h"

namespace {

using namespace orvel;
using namespace orvel::simulate;

constexpr char kBands[3] = {'R', 'G', 'B'};

// Everything the user can set, with the defaults of a clear night at a mid-northern site.
struct Options {
    std::string out = "night";               // folder the frames go to
    std::string lat = "35,0,0";              // site latitude, D,M,S as typed, south negative
    std::string lon = "-106,30,0";           // site longitude, D,M,S, west negative
    std::string ra = "9,5,0";                // star right ascension, H,M,S
    std::string dec = "34,30,0";             // star declination, D,M,S
    std::string date = "2026-03-15";         // local date of the evening the night starts
    double k[3] = {0.25, 0.18, 0.12};        // extinction per airmass, natural-log units, R G B
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
  --help                this text

The angles are read like ORVEL reads them: the sign of the degrees field is the sign of the
whole angle. The first frame is taken at the star's meridian passage, the last when it has
sunk to the given elevation; R, G and B frames alternate in time.
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

// Reads one option with its value; an error text when it is unknown or its value is bad.
std::string applyOption(Options& o, const std::string& name, const std::string& value) {
    std::map<std::string, std::string*> texts = {{"--out", &o.out}, {"--lat", &o.lat},
                                                 {"--lon", &o.lon}, {"--ra", &o.ra},
                                                 {"--dec", &o.dec}, {"--date", &o.date}};
    if (auto it = texts.find(name); it != texts.end()) {
        *it->second = value;
        return {};
    }
    std::map<std::string, double*> reals = {{"--fwhm", &o.fwhm},
                                            {"--sky", &o.sky},
                                            {"--read-noise", &o.readNoise},
                                            {"--exptime", &o.exptime},
                                            {"--min-elevation", &o.minElevation}};
    if (auto it = reals.find(name); it != reals.end()) {
        *it->second = numericValue(value);
        return {};
    }
    if (name == "--k") return parseTriple(value, o.k) ? "" : "--k needs R,G,B";
    if (name == "--flux") return parseTriple(value, o.flux) ? "" : "--flux needs R,G,B";
    if (name == "--size") {
        return std::sscanf(value.c_str(), "%dx%d", &o.columns, &o.rows) == 2 ? ""
                                                                             : "--size needs WxH";
    }
    if (name == "--bitpix") {
        o.bitpix = std::stoi(value);
        return {};
    }
    if (name == "--frames") {
        o.frames = std::stoi(value);
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
    return {};
}

// Parses the command line; prints the help or an error and gives nothing when it should stop.
std::optional<Options> parseCommandLine(int argc, char** argv, int& exitCode) {
    Options o;
    exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        if (name == "--help" || name == "-h") {
            printHelp();
            return std::nullopt;
        }
        if (name == "--no-noise") {
            o.noise = false;
            continue;
        }
        // Both "--name value" and "--name=value".
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            std::cerr << "orvel-simulate: " << name << " needs a value\n";
            exitCode = 2;
            return std::nullopt;
        }
        std::string error;
        try {
            error = applyOption(o, name, value);
        } catch (const std::exception&) {
            error = "bad value for " + name;
        }
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

// One frame of the night: when it was taken, in which band, and what the star gave.
struct Frame {
    std::string name;      // file name, NIGHT_0001_R.fit
    int band = 0;          // 0 R, 1 G, 2 B
    CivilTime time;        // DATE-OBS, whole seconds UT
    double elevation = 0;  // true elevation at DATE-OBS, degrees
    double airmass = 0;    // true optical airmass at DATE-OBS
    double flux = 0;       // star flux after extinction, ADU
};

// Times from the meridian passage to the last elevation, bands taken in turn.
std::optional<std::vector<Frame>> planNight(const Options& o) {
    const double lat = angleFromText(o.lat);
    const double lon = angleFromText(o.lon);
    const double ra = hoursFromText(o.ra);
    const double dec = angleFromText(o.dec);
    const double lastHourAngle = hourAngleAtAltitude(lat, dec, o.minElevation);
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
    const std::int64_t transit = transitNear(midnight, lon, ra);
    const int count = 3 * o.frames;
    const double span = lastHourAngle / kSiderealDegreesPerDay * kSecondsPerDay;
    std::vector<Frame> frames;
    for (int j = 0; j < count; ++j) {
        Frame f;
        f.band = j % 3;
        char name[40];
        std::snprintf(name, sizeof name, "NIGHT_%04d_%c.fit", j + 1, kBands[f.band]);
        f.name = name;
        const double offset = count == 1 ? 0.0 : span * j / (count - 1);
        f.time = civilFromSeconds(transit + std::llround(offset));
        // The truth is taken at the written DATE-OBS, the moment a reader of the file sees.
        const double h = hourAngleDegrees(julianDate(f.time), lon, ra);
        f.elevation = altitudeDegrees(lat, dec, h);
        f.airmass = hardieAirmass(f.elevation);
        f.flux = o.flux[f.band] * std::exp(-o.k[f.band] * f.airmass);
        frames.push_back(f);
    }
    return frames;
}

std::vector<std::string> frameCards(const Options& o, const Frame& f) {
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsRealCard("BZERO", o.bitpix == 16 ? 32768.0 : 0.0));
    cards.push_back(fitsStringCard("DATE-OBS", isoTime(f.time), "UT at the exposure start"));
    cards.push_back(fitsRealCard("EXPTIME", o.exptime, "seconds"));
    cards.push_back(fitsStringCard("FILTER", std::string(1, kBands[f.band])));
    return cards;
}

FrameSpec frameSpec(const Options& o, const Frame& f, int index) {
    FrameSpec s;
    s.columns = o.columns;
    s.rows = o.rows;
    s.bitpix = o.bitpix;
    s.starX = o.starX.value_or(std::floor(o.columns * 0.55) + 0.3);
    s.starY = o.starY.value_or(std::floor(o.rows * 0.45) + 0.6);
    s.fwhm = o.fwhm;
    s.starFlux = f.flux;
    s.sky = o.sky;
    s.readNoise = o.readNoise;
    s.noise = o.noise;
    // Each frame has its own stream, so any frame can be made again on its own.
    s.seed = o.seed * 1000003u + static_cast<std::uint64_t>(index);
    return s;
}

bool writeTruth(const std::filesystem::path& path, const Options& o,
                const std::vector<Frame>& frames) {
    std::ofstream out(path, std::ios::trunc);
    char line[256];
    out << "file,band,ut,elevation_deg,airmass,flux_adu\n";
    for (const Frame& f : frames) {
        std::snprintf(line, sizeof line, "%s,%c,%s,%.6f,%.6f,%.3f\n", f.name.c_str(),
                      kBands[f.band], isoTime(f.time).c_str(), f.elevation, f.airmass, f.flux);
        out << line;
    }
    out << "\nband,k,flux_above_atmosphere_adu\n";
    for (int b = 0; b < 3; ++b) {
        std::snprintf(line, sizeof line, "%c,%.6g,%.3f\n", kBands[b], o.k[b], o.flux[b]);
        out << line;
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

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<Options> options = parseCommandLine(argc, argv, exitCode);
    if (!options) return exitCode;
    const Options& o = *options;
    const std::optional<std::vector<Frame>> frames = planNight(o);
    if (!frames) return 2;
    std::error_code ec;
    std::filesystem::create_directories(o.out, ec);
    const std::filesystem::path folder = o.out;
    const FrameSpec first = frameSpec(o, frames->front(), 0);
    if (o.bitpix == 16 && expectedPeak(first) > 65535.0) {
        std::cerr << "orvel-simulate: warning: the star's peak exceeds 65535 and is clipped\n";
    }
    for (std::size_t i = 0; i < frames->size(); ++i) {
        const Frame& f = (*frames)[i];
        if (!writeFrame(folder / f.name, frameSpec(o, f, static_cast<int>(i)), frameCards(o, f))) {
            std::cerr << "orvel-simulate: cannot write " << (folder / f.name).string() << "\n";
            return 1;
        }
    }
    if (!writeTruth(folder / "truth.csv", o, *frames)) {
        std::cerr << "orvel-simulate: cannot write truth.csv\n";
        return 1;
    }
    printSummary(o, *frames, first);
    return 0;
}
