#include "simulate/night_options.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "base/option_table.h"
#include "fits/pixel_decoder.h"
#include "simulate/frame_traits.h"
#include "simulate/option_checks.h"

namespace orvel::simulate {

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

bool parseDate(const std::string& text, CivilTime& date) {
    return std::sscanf(text.c_str(), "%d-%d-%d", &date.year, &date.month, &date.day) == 3 &&
           date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

namespace {

// An option of the simulator: it may be given again, and a later value replaces an earlier one
// (the spoilt frames add up).
Option<NightOptions> entry(OptionDeclaration declaration, OptionCheck<NightOptions> check) {
    declaration.repeatable = true;
    return {declaration, std::move(check)};
}

constexpr const char* kCaptureHeading =
    "\nFrames as capture programs write them (read with orvel --frames):\n";
constexpr const char* kSpoiltHeading =
    "\nFrames that cannot give a true point (N is the frame's number in the written order, 1 "
    "for\nNIGHT_0001_R.fit; each option may be given for several frames, one option per "
    "frame):\n";

constexpr const char* kTraitsHeading =
    "\nTraits of real frames (truth.csv then gives the star's place in each frame, and\n"
    "defects.csv every hot pixel and cosmic-ray hit of each frame):\n";

// Every option of orvel-simulate, in the order of --help, and checked in this order.
const OptionTable<NightOptions> kOptions = {
    entry({"--out", "DIR", "folder for the frames (default night)"}, text(&NightOptions::out)),
    entry({"--lat", "D,M,S", "site latitude, south negative (default 35,0,0)"},
          text(&NightOptions::lat)),
    entry({"--lon", "D,M,S", "site longitude, west negative (default -106,30,0)"},
          text(&NightOptions::lon)),
    entry({"--ra", "H,M,S", "star right ascension (default 9,5,0)"}, text(&NightOptions::ra)),
    entry({"--dec", "D,M,S", "star declination (default 34,30,0)"}, text(&NightOptions::dec)),
    entry(
        {"--date", "YYYY-MM-DD", "local date of the evening the night begins (default 2026-03-15)"},
        readDate),
    entry({"--k", "R,G,B", "extinction per airmass, natural-log units (default 0.12,0.18,0.25)"},
          triple(&NightOptions::k)),
    entry({"--k-end", "R,G,B",
           "extinction at the last frame: it changes linearly in time from --k\n"
           "(truth.csv then gives each band's change per hour)"},
          triple(&NightOptions::kEnd)),
    entry({"--flux", "R,G,B", "star flux above the atmosphere, ADU (default 200000,250000,150000)"},
          triple(&NightOptions::flux)),
    entry({"--fwhm", "PIXELS", "star profile width (default 3.0)"}, readFwhm),
    entry({"--sky", "ADU", "sky level per pixel (default 800)"}, real(&NightOptions::sky)),
    entry({"--read-noise", "ADU", "read noise rms (default 8)"}, real(&NightOptions::readNoise)),
    entry({.name = "--no-noise",
           .help = "write the expected values without noise",
           .form = OptionForm::flag},
          turn(&NightOptions::noise, false)),
    entry({"--size", "WxH", "frame size in pixels (default 640x480)"}, readSize),
    entry({"--bitpix", "16|-32", "sample format (16 stores 0..65535 with BZERO 32768; default 16)"},
          readBitpix),
    entry({"--frames", "N", "frames per band (default 10)"}, readFrameCount),
    entry({"--exptime", "SECONDS", "exposure time written to EXPTIME (default 30)"},
          real(&NightOptions::exptime)),
    entry({"--min-elevation", "DEG", "elevation of the last frame (default 20)"},
          real(&NightOptions::minElevation)),
    entry({"--star", "X,Y",
           "star position in pixels, column and row from 0 (default near the centre)"},
          readStar),
    entry({"--seed", "S", "noise seed (default 1)"}, readSeed),
    entry({"--truth-airmass", "described|precise",
           "described (default): the truth is Hardie's airmass of the geometric\n"
           "elevation at DATE-OBS, the coordinates taken as of date; precise: the\n"
           "coordinates are J2000 and the truth is the apparent elevation by ERFA\n"
           "(refraction at 1013.25 hPa, 10 C) in the middle of the exposure, with\n"
           "Pickering's (2002) airmass"},
          readTruthAirmass),
    entry({"--stamp", "start|middle", "the moment of the exposure DATE-OBS names (default start)"},
          readStamp),
    entry({"--seeing-power", "P",
           "the profile's FWHM grows with airmass as FWHM x X^P (0.6 is typical of\n"
           "real seeing; default 0, the same width all night)"},
          readSeeingPower),
    entry({"--sky-end", "ADU",
           "the sky level of the last moment: the sky changes linearly in time from\n"
           "--sky at the first frame to this at the last (default: --sky all night)"},
          readSkyEnd),
    entry({"--neighbour", "DIST,FLUX",
           "a second star of the same profile DIST pixels towards higher columns,\n"
           "FLUX ADU above the atmosphere in every band, dimmed by each band's k"},
          readNeighbour),
    {{.name = "--help", .help = "this text", .form = OptionForm::final, .alias = "-h"}, {}},
    {{.name = "--version", .help = "the program's version", .form = OptionForm::final}, {}},
    entry({.name = "--names",
           .placeholder = "STYLE",
           .help = "classic (NIGHT_0001_R.fit), light (Light_HD1234_R_0001.fits), dash\n"
                   "(HD1234-Red-0001.fit) or suffix (HD1234_0001_Red.fts); all but classic\n"
                   "name the band only in the filter card ('R' for light, 'Red' otherwise)",
           .heading = kCaptureHeading},
          oneOf(&NightOptions::names, {"classic", "light", "dash", "suffix"},
                "must be classic, light, dash or suffix")),
    entry({"--filter-card", "NAME", "the card that names the filter (default FILTER)"},
          readFilterCard),
    entry({"--colour", "cube|bayer",
           "a colour camera: each exposure one file holding all three bands, as a\n"
           "3-plane cube or a raw RGGB mosaic (BAYERPAT); N frames are N exposures,\n"
           "truth.csv lists FILE[R], FILE[G], FILE[B]"},
          oneOf(&NightOptions::colour, {"", "cube", "bayer"}, "must be cube or bayer")),
    entry({"--compress", "gz|fz",
           "write each frame gzip-compressed (.gz) or tile-compressed (.fz, RICE)"},
          oneOf(&NightOptions::compress, {"", "gz", "fz"}, "must be gz or fz")),
    entry({"--header-style", "STYLE",
           "the time, site, star and altitude cards as a capture program writes them:\n"
           "nina, sgp, sharpcap, seestar, ekos, maxim, theskyx, apt, pixinsight,\n"
           "local-time (a robotic telescope: local DATE-OBS, UT-OBS, west-positive\n"
           "LONGITUD, TELALT) or zeros (site and star cards of zeros)"},
          oneOf(&NightOptions::headerStyle,
                {"", "nina", "sgp", "sharpcap", "seestar", "ekos", "maxim", "theskyx", "apt",
                 "pixinsight", "local-time", "zeros"},
                "must be nina, sgp, sharpcap, seestar, ekos, maxim, theskyx, apt, pixinsight,\n"
                "local-time or zeros")),
    entry({.name = "--saturate",
           .placeholder = "N",
           .help = "frame N's star so bright that its peak is clipped at 65535 (BITPIX -32\n"
                   "frames hold 65535.0 there and a SATURATE card of 65535)",
           .heading = kSpoiltHeading},
          spoil(FileKind::saturate)),
    entry({"--hide-star", "N",
           "frame N's star hidden in a dark patch deeper than the sky, with only a\n"
           "faint trace at its place, so that its integrated signal is negative"},
          spoil(FileKind::hideStar)),
    entry({"--cut", "N", "frame N's file cut short: its header and half of its data bytes"},
          spoil(FileKind::cut)),
    entry({"--below-horizon", "N",
           "frame N's DATE-OBS set to the star's lower culmination after the night's\n"
           "meridian passage, when it is below the horizon (the pixels still show it)"},
          spoil(FileKind::belowHorizon)),
    entry({.name = "--cube",
           .help = "also write NIGHT_RGB.fit, a 3-plane colour cube (NAXIS3 = 3) of the\n"
                   "first frame's moment, one band per plane",
           .form = OptionForm::flag},
          turn(&NightOptions::cube, true)),
    entry({.name = "--dark",
           .help = "also write master_dark_sub.fit, a master dark (IMAGETYP 'Dark Frame',\n"
                   "a flat level of 100 ADU, no star) dated two minutes before the first frame",
           .form = OptionForm::flag},
          turn(&NightOptions::dark, true)),
    entry({.name = "--hot-pixels",
           .placeholder = "N",
           .help = "N hot pixels placed by the seed, the same sensor pixels in every frame,\n"
                   "20000 to 60000 ADU above what falls on them",
           .heading = kTraitsHeading},
          count(&NightOptions::hotPixels)),
    entry({"--hot-pixel", "X,Y", "a hot pixel of 30000 ADU at column X, row Y (one option each)"},
          readHotPixel),
    entry({"--cosmic-rays", "N",
           "N cosmic-ray hits in each frame at places of their own, a pixel or a\n"
           "track of 2 or 3, 5000 to 35000 ADU each pixel"},
          count(&NightOptions::cosmicRays)),
    entry({"--cosmic-ray", "N:X,Y",
           "a hit of 20000 ADU in frame N (file N of a colour camera) at column X,\n"
           "row Y (one option each)"},
          readCosmicRay),
    entry({"--cloud", "N:SHARE",
           "a passing cloud takes this share (0 to 0.99) of the light of frame N's\n"
           "stars (exposure N of a colour camera); the sky stays (one option each)"},
          readCloud),
    entry({"--moffat", "BETA",
           "Moffat profiles of this beta instead of Gaussians, of the same FWHM\n"
           "(with --seeing-power too) and the same total flux"},
          readMoffat),
    entry({"--donut", "FRACTION",
           "defocused stars: flat rings of outer radius 2 x FWHM with a hole of this\n"
           "fraction of it, the same total flux"},
          readDonut),
    entry({"--drift", "DX,DY", "the field drifts DX columns and DY rows per hour"}, readDrift),
    entry({"--meridian-flip", "HOURS",
           "from this time after the first frame the frame is turned 180 degrees\n"
           "(X,Y goes to W-1-X,H-1-Y); every frame has PIERSIDE 'EAST', then 'WEST'"},
          readMeridianFlip),
    entry({"--rotation", "DEG",
           "the field turns about the frame centre DEG degrees per hour, from the\n"
           "columns towards the rows"},
          readRotation),
    entry({"--field-stars", "N",
           "N further stars of the star's profile across the frame, fluxes by the seed\n"
           "(2000 to 200000 ADU above the atmosphere); they and --neighbour move with\n"
           "the field"},
          count(&NightOptions::fieldStars)),
    entry({"--adc-bits", "B",
           "the camera's converter: whole counts held to 0..2^B-1 (12: at most 4095)"},
          readAdcBits),
    entry({"--adc-scale", "S",
           "each count written times S, a power of 2 (16 with 12 bits: at most 65520;\n"
           "alone it means 16-log2(S) bits)"},
          readAdcScale),
};

// The width of the column of names in --help.
constexpr std::size_t kNameColumn = 22;

constexpr const char* kHelpBefore = R"(Usage: orvel-simulate [options]
Writes a night of FITS frames of one star in R, G and B (NIGHT_0001_R.fit, ...) and truth.csv.

)";

constexpr const char* kHelpAfter = R"(
The angles are read like ORVEL reads them: the sign of the degrees field is the sign of the
whole angle. The first frame is taken at the star's meridian passage, the last when it has
sunk to the given elevation; R, G and B frames alternate in time. A frame not named by the
options above is the same, byte for byte, as without them. truth.csv names the kind of every
spoilt or extra file in its note column ("cloud" for a clouded frame, empty for a good one).
With --seeing-power, --sky-end or --neighbour, truth.csv gives every frame's FWHM (pixels),
sky level (ADU per pixel) and second star's flux (ADU) in three more columns at the end of
its rows.
)";

// The camera's converter fits in 16 bits, and a hot pixel or cosmic ray placed by hand is in the
// frame (and the hit in a frame of the night). Empty when they hold.
std::optional<std::string> traitRules(NightOptions& o) {
    int scaleBits = 0;
    while ((1 << scaleBits) < o.adcScale) ++scaleBits;
    if (o.adcBits == 0 && o.adcScale > 1) o.adcBits = 16 - scaleBits;
    if (o.adcBits + scaleBits > 16) return "--adc-bits and --adc-scale need more than 16 bits";
    for (const PixelPlace& p : o.cosmicRayPlaces) {
        if (p.frame < 1 || p.frame > exposureCount(o))
            return "--cosmic-ray needs a frame number from 1 to " +
                   std::to_string(exposureCount(o));
    }
    for (const auto& [frame, share] : o.clouds) {
        if (frame < 1 || frame > exposureCount(o))
            return "--cloud needs a frame number from 1 to " + std::to_string(exposureCount(o));
    }
    for (const auto& places : {o.hotPixelPlaces, o.cosmicRayPlaces}) {
        for (const PixelPlace& p : places)
            if (p.column < 0 || p.column >= o.columns || p.row < 0 || p.row >= o.rows)
                return "--hot-pixel and --cosmic-ray need a pixel within the frame";
    }
    return std::nullopt;
}

// The rules between options, once each has been read: a colour camera's files are not spoilt,
// and a spoilt frame is one of the night's. Empty when they hold.
std::optional<std::string> crossRules(NightOptions& o) {
    if (!o.colour.empty() && (!o.faults.empty() || o.cube || o.dark))
        return "--colour cannot be combined with spoilt frames, --cube or --dark";
    for (const auto& [frame, kind] : o.faults) {
        if (frame < 1 || frame > 3 * o.frames)
            return std::string("--") + kindName(kind) + " needs a frame number from 1 to " +
                   std::to_string(3 * o.frames);
    }
    return traitRules(o);
}

}  // namespace

std::optional<NightOptions> readCommandLine(int argc, char** argv, int& exitCode) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    NightOptions o;
    exitCode = 0;
    const OptionsRead read = readOptions(kOptions, args, o);
    std::optional<std::string> error;
    if (read.end == OptionsRead::End::final) {
        if (read.finalName == "--help")
            std::cout << kHelpBefore << optionsHelp(kOptions, kNameColumn) << kHelpAfter;
        else
            std::cout << "orvel-simulate 1.0\n";
        return std::nullopt;
    }
    error = read.end == OptionsRead::End::all ? crossRules(o) : read.message;
    if (!error) return o;
    std::cerr << "orvel-simulate: " << *error << " (see --help)\n";
    exitCode = 2;
    return std::nullopt;
}

}  // namespace orvel::simulate
