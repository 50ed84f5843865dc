#include "run/options.h"

#include <algorithm>

#include "base/option_table.h"
#include "run/measuring_options.h"
#include "run/option_checks.h"
#include "run/output_names.h"

namespace orvel {

namespace {

// The options' groups: the answers and clicks of the dialogue make a run unattended, and then
// the required ones must all be given.
constexpr int kAnswer = 1;
constexpr int kRequiredAnswer = 2;

// A check of the run's own options, reading into the options of a run of either kind.
using RunCheck = std::optional<std::string> (*)(std::string_view, const std::string&, RunOptions&);
OptionCheck<BatchOptions> onRun(RunCheck check) {
    return [check](std::string_view name, const std::string& value, BatchOptions& o) {
        return check(name, value, o.run);
    };
}

// Every option of orvel, in the order of --help; checked in this order too, so the settings of
// --airmass precise and --annulus come after the options they need.
const OptionTable<BatchOptions> kOptions = {
    {{.name = "--lat",
      .placeholder = "D,M,S",
      .help = "site latitude, degrees, minutes, seconds (south negative); may be left\n"
              "out when the frames hold it (SITELAT, OBSGEO-B, LAT-OBS, LATITUDE)",
      .group = kAnswer},
     angleAnswer(&BatchOptions::latitude, kLatitudeLimits)},
    {{.name = "--lon",
      .placeholder = "D,M,S",
      .help = "site longitude (west negative); may be left out when the frames hold it",
      .group = kAnswer},
     angleAnswer(&BatchOptions::longitude, kLongitudeLimits)},
    {{.name = "--ra",
      .placeholder = "H,M,S",
      .help = "right ascension of the star, hours, minutes, seconds; may be left out\n"
              "when the frames hold it (OBJCTRA, or RA in degrees)",
      .group = kAnswer},
     angleAnswer(&BatchOptions::rightAscension, kRightAscensionLimits)},
    {{.name = "--dec",
      .placeholder = "D,M,S",
      .help = "declination of the star (south negative); may be left out when the\n"
              "frames hold it",
      .group = kAnswer},
     angleAnswer(&BatchOptions::declination, kDeclinationLimits)},
    {{.name = "--star",
      .placeholder = "COL,ROW",
      .help = "the star's position in image pixels of the first frame; given again,\n"
              "the last one is taken and the earlier ones are logged as picks turned\n"
              "down, as an interactive run logs every click",
      .repeatable = true,
      .group = kRequiredAnswer},
     pixelAnswer(&BatchOptions::starColumn, &BatchOptions::starRow, &BatchOptions::starPicks)},
    // This line of --help has always stood one column further right than the others.
    {{.name = "--background",
      .placeholder = "COL,ROW",
      .help = " the centre of a patch of sky, image pixels of the first frame (may be\n"
              "repeated as --star)",
      .repeatable = true,
      .group = kRequiredAnswer},
     pixelAnswer(&BatchOptions::backgroundColumn, &BatchOptions::backgroundRow,
                 &BatchOptions::backgroundPicks)},
    {{.name = "--screen-factor",
      .placeholder = "N",
      .help = "the picks were made on a picture reduced N times (image pixels per\n"
              "window pixel, default 1), as an interactive run shows a frame larger\n"
              "than the screen: the star is looked for within 10 x N pixels of --star\n"
              "and the log gives the picks divided by N, as that run's log does",
      .group = kAnswer},
     readScreenFactor},
    {{.name = "--remove",
      .placeholder = "NAME",
      .help = "leave this frame out of the fit; may be repeated; each removal refits\n"
              "and reports again, in the order given",
      .repeatable = true,
      .group = kAnswer},
     readRemoval},
    {{.name = "--restore",
      .placeholder = "NAME",
      .help = "put back a frame an earlier --remove left out (the outlier question's\n"
              "answer U); it refits and reports again, in its place among the --remove",
      .repeatable = true,
      .group = kAnswer},
     readRemoval},
    {{.name = "--graph",
      .placeholder = "FILE",
      .help = "save the graph: a PNG when FILE ends in .png, a BMP otherwise\n"
              "(relative to the current folder)",
      .group = kAnswer},
     readGraphFile},
    {{.name = "--dir",
      .placeholder = "PATH",
      .help = "the folder of frames (default: the current folder); the log and the\n"
              "results files are written there"},
     readFolder},
    {{.name = "--frames",
      .placeholder = "PATTERN",
      .help = "take the frames whose names match PATTERN (shell wildcards, letter\n"
              "case ignored, e.g. 'Light_*.fits'; may be repeated), each with its band\n"
              "from its FILTER card (without one, from the letter before the extension,\n"
              "as in x_R.fits); .fit, .fits, .fts, gzip (.gz) and tile-compressed (.fz)\n"
              "frames, an image after an empty primary, 3-plane colour cubes and raw\n"
              "Bayer mosaics (BAYERPAT) as three frames NAME[R], NAME[G], NAME[B]; one\n"
              "exposure found twice (x.fits beside x.fits.fz) is measured once",
      .repeatable = true},
     readPattern},
    {{.name = "--band",
      .placeholder = "NAME=R",
      .help = "the filter NAME stands for band R, G or B (may be repeated)",
      .repeatable = true},
     readBandName},
    {{.name = "--band-keyword",
      .placeholder = "KEY",
      .help = "the card that names the filter (default FILTER)"},
     readBandKeyword},
    {{.name = "--bayer",
      .placeholder = "PATTERN",
      .help = "every frame is a raw mosaic of PATTERN (RGGB, BGGR, GRBG or GBRG) at\n"
              "its first pixel, whatever its header says"},
     readBayer},
    {{.name = "--airmass",
      .placeholder = "described|precise",
      .help = "the airmass fitted: described (default) is the logged one at DATE-OBS;\n"
              "precise takes the star's apparent place by ERFA (precession, nutation,\n"
              "aberration, refraction) in the middle of each exposure and Pickering's\n"
              "(2002) airmass, valid down to the horizon; the log says which was fitted"},
     onRun(readAirmass)},
    {{.name = "--equinox",
      .placeholder = "J2000|date",
      .help = "the equinox of --ra/--dec or the typed coordinates (default J2000)"},
     onRun(readEquinox)},
    {{.name = "--time-ref",
      .placeholder = "start|mid|end",
      .help = "the moment of the exposure DATE-OBS names (default start); the airmass\n"
              "is taken in the exposure's middle, DATE-OBS + EXPTIME/2 for start"},
     onRun(readTimeReference)},
    {{.name = "--pressure",
      .placeholder = "HPA|off",
      .help = "site air pressure for the refraction (default 1013.25); 0 or off for none"},
     onRun(readPressure)},
    {{.name = "--temperature",
      .placeholder = "C",
      .help = "site air temperature for the refraction (default 10)"},
     onRun(readTemperature)},
    {{.name = "--gain",
      .placeholder = "E",
      .help = "electrons per ADU of frames whose header has no GAIN or EGAIN (default 1)"},
     onRun(readGain)},
    {{.name = "--read-noise",
      .placeholder = "E",
      .help = "read noise in electrons of frames whose header has no RDNOISE (default 0)"},
     onRun(readReadNoise)},
    {{.name = "--weighted",
      .help = "fit every band weighted by each frame's error from its photon, sky and\n"
              "read noise (ORVEL_results.csv ln_signal_error); the log's fit changes",
      .form = OptionForm::flag},
     onRun(readWeighted)},
    {{.name = "--strict",
      .help = "end with exit status 3 when the verdict of a band with frames is not\n"
              "good (doubtful, or no line)",
      .form = OptionForm::flag},
     onRun(readStrict)},
    {{.name = "--reject",
      .placeholder = "SIGMA",
      .help = "before the graph, leave out one at a time the frame furthest from its\n"
              "band's robust line (repeated medians refined by Tukey's biweight) while it\n"
              "lies beyond SIGMA robust deviations (1.4826 x the median absolute\n"
              "deviation, at least the frames' noise); each is named, and noted in the\n"
              "results"},
     onRun(readRejectLimit)},
    {{.name = "--aperture",
      .placeholder = "grow|auto|RADIUS",
      .help = "the aperture the signal is summed in: grow (default) grows rings about\n"
              "each frame's star until their medians settle, with the sky annulus out to\n"
              "sqrt(2) times that radius; auto takes one radius for the whole night, 3\n"
              "times the median FWHM of the star on every frame, grown to take in whole\n"
              "a nearby star whose light reaches it; RADIUS (pixels) fixes it. The sky\n"
              "is the annulus's median, other stars left out of it; the log names the\n"
              "aperture, ORVEL_results.csv gives each frame's FWHM, peak, sky noise and\n"
              "S/N"},
     onRun(readAperture)},
    {{.name = "--annulus",
      .placeholder = "INNER,OUTER",
      .help = "the sky annulus of --aperture auto or RADIUS, pixels (default: from 3\n"
              "median FWHM, or the radius if larger, out to four times the aperture's\n"
              "area)"},
     onRun(readAnnulus)},
    {{.name = "--plot",
      .placeholder = "FILE",
      .help = "the labelled plot of the fit: PNG, SVG or PDF by FILE's ending"},
     readPlotFile},
    {{.name = "--plot-y",
      .placeholder = "mag|ln",
      .help = "the plot's vertical axis: instrumental magnitude or ln(signal) (ln)"},
     readPlotAxis},
    {{.name = "--field",
      .placeholder = "FILE.png",
      .help = "the first frame with the aperture, sky annulus and background\n"
              "rectangle used, and a scale bar"},
     readFieldFile},
    {{.name = "--weights-at",
      .placeholder = "ALT",
      .help = "add this altitude (degrees, 3 to 90) to the colour weights of\n"
              "ORVEL_weights.csv, the console and --report; may be repeated",
      .repeatable = true},
     readWeightAltitude},
    {{.name = "--report",
      .placeholder = "FILE.html",
      .help = "a one-page night report (plot, field, fit and frame tables) that\n"
              "opens offline"},
     readReportFile},
    {{.name = "--help", .help = "this text", .form = OptionForm::final, .alias = "-h"}, {}},
    {{.name = "--version", .help = "the program's version", .form = OptionForm::final}, {}},
};

// The width of the column of names in --help.
constexpr std::size_t kNameColumn = 21;

CommandLine failure(std::string message) {
    CommandLine c;
    c.mode = CommandLine::Mode::error;
    c.error = std::move(message);
    return c;
}

// The rules between options, once each has been read: the band options choose among the
// frames --frames takes, and the answers and clicks come all together. Empty when all hold.
std::optional<std::string> crossRules(const OptionsRead& read, CommandLine& c) {
    const FrameSelection& frames = c.options.run.frames;
    const bool selecting =
        read.has("--band-keyword") || read.has("--bayer") || !frames.bandNames.empty();
    if (selecting && !frames.active())
        return "options --band, --band-keyword and --bayer need --frames PATTERN";
    // Only the answers and the clicks make a run unattended; the other options apply to an
    // interactive run as well.
    const auto given = [&](const Option<BatchOptions>& o) { return read.has(o.declaration.name); };
    const bool unattended = std::any_of(kOptions.begin(), kOptions.end(), [&](const auto& o) {
        return o.declaration.group != 0 && given(o);
    });
    if (!unattended) return std::nullopt;
    for (const Option<BatchOptions>& o : kOptions)
        if (o.declaration.group == kRequiredAnswer && !given(o))
            return "option " + std::string(o.declaration.name) + " is missing";
    c.mode = CommandLine::Mode::batch;
    return std::nullopt;
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine c;
    if (args.empty()) return c;
    const OptionsRead read = readOptions(kOptions, args, c.options);
    switch (read.end) {
        case OptionsRead::End::final:
            return CommandLine{
                read.finalName == "--help" ? CommandLine::Mode::help : CommandLine::Mode::version,
                {},
                {},
                {}};
        case OptionsRead::End::unknown:
            return failure(read.message + " (see --help)");
        case OptionsRead::End::refused:
            return failure(read.message);
        case OptionsRead::End::all:
            break;
    }
    if (auto bad = crossRules(read, c)) return failure(std::move(*bad));
    // Refused before anything is written: no output may overwrite a frame, the log or another
    // output.
    const bool interactive = c.mode == CommandLine::Mode::interactive;
    if (auto clash = outputNameClash(c.options, interactive)) return failure(std::move(*clash));
    for (const auto& [name, value] : read.asGiven) {
        // The folder is passed on as a whole path of its own.
        if (name == "--dir") continue;
        c.givenWords.push_back(name);
        if (value) c.givenWords.push_back(*value);
    }
    return c;
}

std::string versionText() {
    return "orvel 1.0\n";
}

namespace {

// --help before the options' lines and after them.
constexpr const char* kHelpBefore = R"(Usage: orvel [OPTION]...

Measures the atmospheric extinction coefficients of the red, green and blue bands from a
night's FITS frames of one star (names ending in R.fit, G.fit, B.fit, or any names with
--frames).

Without options ORVEL runs interactively in the current folder: it asks for the coordinates
on the console and lets you pick the star, the sky background and outlier points with the
mouse.

With --star and --background, and --lat, --lon, --ra and --dec where the frames do not hold
them (with --remove and --graph when wanted) it asks nothing, opens no window and needs no
display. It writes the same log as an interactive run with the same typed values and the
same clicks (--screen-factor for a picture reduced to fit the screen); an interactive run
ends by printing the command that repeats it. The other options apply to both runs.

Options:
)";

constexpr const char* kHelpAfter = R"(
Files written in the frames' folder: ORVEL_LOG.txt (the whole run), ORVEL_results.csv (one
row per frame), ORVEL_fit.csv (one row per band), ORVEL_weights.csv (R:G:B signals and
factors for white by altitude); ORVEL.bmp when the graph is saved interactively, and
ORVEL_plot.png and ORVEL_field.png in an interactive run.

Exit status:
  0 on success, 1 when no frame could be measured, a file could not be written or a --remove
  name matched no frame of the fit, 2 for a missing or malformed option (or an output
  option naming an input frame, the log or another output, or a coordinate that neither an
  option nor the frames give).

Example:
  orvel --lat 35,0,0 --lon -111,30,0 --ra 5,55,10 --dec 7,24,25 \
  --star 312,240 --background 100,100 --remove NIGHT_0007_G.fit \
  --graph night.png --dir /data/2026-03-15
)";

}  // namespace

std::string helpText() {
    return kHelpBefore + optionsHelp(kOptions, kNameColumn) + kHelpAfter;
}

}  // namespace orvel
