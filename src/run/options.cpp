#include "run/options.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "analysis/colour_mosaic.h"
#include "base/typed_line.h"
#include "observing/coordinates.h"
#include "picture/canvas.h"
#include "run/measuring_options.h"
#include "run/output_names.h"

namespace orvel {

namespace {

// A whole field that is a finite number, read by the same rules as a typed answer.
bool isNumber(std::string_view text) {
    const LeadingNumber n = leadingNumber(text);
    return n.length > 0 && n.length == text.size() && std::isfinite(n.value);
}

// "D,M,S": one to three numeric fields.
bool isAngle(std::string_view text) {
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    if (commas > 2) return false;
    for (int i = 1; i <= static_cast<int>(commas) + 1; ++i)
        if (!isNumber(field(text, i))) return false;
    return true;
}

// "COL,ROW": two numeric fields.
bool isPixel(std::string_view text, float& column, float& row) {
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    if (commas != 1 || !isNumber(field(text, 1)) || !isNumber(field(text, 2))) return false;
    column = static_cast<float>(numericValue(field(text, 1)));
    row = static_cast<float>(numericValue(field(text, 2)));
    return true;
}

CommandLine failure(std::string message) {
    CommandLine c;
    c.mode = CommandLine::Mode::error;
    c.error = std::move(message);
    return c;
}

}  // namespace

namespace {

const std::vector<std::string> kValued = {
    "--lat",    "--lon",   "--ra",     "--dec",    "--star",       "--background",
    "--remove", "--graph", "--dir",    "--frames", "--band",       "--band-keyword",
    "--bayer",  "--plot",  "--plot-y", "--field",  "--weights-at", "--report"};

// "NAME=R": a filter name and the band letter it stands for.
std::optional<std::pair<std::string, Band>> bandMapping(std::string_view text) {
    const std::size_t eq = text.rfind('=');
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    const std::string letter = upperCase(text.substr(eq + 1));
    for (const Band b : kBands)
        if (letter == bandLetterText(b)) return std::make_pair(std::string(text.substr(0, eq)), b);
    return std::nullopt;
}

// The repeatable options of the frame selection; empty when the value is good.
std::optional<std::string> addRepeated(const std::string& name, const std::string& value,
                                       FrameSelection& frames) {
    if (name == "--frames") {
        if (value.empty()) return "option --frames needs a pattern";
        frames.patterns.push_back(value);
        return std::nullopt;
    }
    const auto mapping = bandMapping(value);
    if (!mapping)
        return "option --band '" + value + "' is not of the form NAME=R, NAME=G or NAME=B";
    frames.bandNames.push_back(*mapping);
    return std::nullopt;
}

// The options that stand for the typed answers and the clicks of the interactive run.
const std::vector<const char*> kUnattended = {"--lat",  "--lon",        "--ra",   "--dec",
                                              "--star", "--background", "--graph"};

// The options as given: each valued option once (--remove in order, any number of times).
// Empty with the failure when an option is unknown, lacks its value or is given twice; help
// and version end the reading at once.
std::optional<CommandLine> collectOptions(std::span<const std::string_view> args,
                                          std::map<std::string, std::string>& given,
                                          CommandLine& c) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") return CommandLine{CommandLine::Mode::help, {}, {}};
        if (arg == "--version") return CommandLine{CommandLine::Mode::version, {}, {}};
        std::string name(arg);
        std::optional<std::string> value;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            name = std::string(arg.substr(0, eq));
            value = std::string(arg.substr(eq + 1));
        }
        const std::vector<std::string>& measuring = measuringOptionNames();
        const std::vector<std::string>& flags = measuringFlagNames();
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            if (value) return failure("option " + name + " takes no value");
            if (given.count(name)) return failure("option " + name + " is given twice");
            given[name] = "";
            continue;
        }
        if (std::find(kValued.begin(), kValued.end(), name) == kValued.end() &&
            std::find(measuring.begin(), measuring.end(), name) == measuring.end())
            return failure("unknown option " + std::string(arg) + " (see --help)");
        if (!value) {
            if (i + 1 >= args.size()) return failure("option " + name + " needs a value");
            value = std::string(args[++i]);
        }
        if (name == "--frames" || name == "--band") {
            if (auto bad = addRepeated(name, *value, c.options.run.frames)) return failure(*bad);
            continue;
        }
        if (name == "--remove") {
            if (value->empty()) return failure("option --remove needs a frame name");
            c.options.removals.push_back(*value);
            continue;
        }
        if (name == "--weights-at") {
            if (!isNumber(*value) || !(numericValue(*value) > 0 && numericValue(*value) <= 90))
                return failure("option --weights-at '" + *value +
                               "' is not an altitude above 0 and up to 90 degrees");
            c.options.run.weightAltitudes.push_back(numericValue(*value));
            continue;
        }
        if (given.count(name)) return failure("option " + name + " is given twice");
        given[name] = *value;
    }
    return std::nullopt;
}

// The four angles and the two picks, each required and checked; empty when all are good.
std::optional<CommandLine> readRequired(const std::map<std::string, std::string>& given,
                                        BatchOptions& o) {
    // Each angle with the range its value must lie in.
    struct Angle {
        const char* name;
        std::string* target;
        bool signRule;
        double low, high;
        const char* range;
    };
    const Angle angles[] = {{"--lat", &o.latitude, true, -90, 90, "-90 to 90 degrees"},
                            {"--lon", &o.longitude, true, -180, 180, "-180 to 180 degrees"},
                            {"--ra", &o.rightAscension, false, 0, 24, "0 to 24 hours"},
                            {"--dec", &o.declination, true, -90, 90, "-90 to 90 degrees"}};
    for (const Angle& a : angles) {
        const auto it = given.find(a.name);
        const std::string option = std::string("option ") + a.name;
        if (it == given.end()) return failure(option + " is missing");
        if (!isAngle(it->second))
            return failure(option + " '" + it->second + "' is not of the form D,M,S");
        const float value = angleFromLine(it->second, a.signRule).value;
        if (!(value >= a.low && value <= a.high))
            return failure(option + " '" + it->second + "' lies outside " + a.range);
        *a.target = it->second;
    }
    for (const char* name : {"--star", "--background"}) {
        const auto it = given.find(name);
        if (it == given.end()) return failure(std::string("option ") + name + " is missing");
        const bool star = std::string_view(name) == "--star";
        if (!isPixel(it->second, star ? o.starColumn : o.backgroundColumn,
                     star ? o.starRow : o.backgroundRow))
            return failure(std::string("option ") + name + " '" + it->second +
                           "' is not of the form COL,ROW");
    }
    return std::nullopt;
}

// The pictures and the report asked for, each optional; empty when all are good.
std::optional<CommandLine> readPictureOptions(const std::map<std::string, std::string>& given,
                                              RunOptions& run) {
    if (const auto it = given.find("--plot"); it != given.end()) {
        if (!pictureFormatOf(it->second))
            return failure("option --plot '" + it->second + "' must end in .png, .svg or .pdf");
        run.plotFile = it->second;
    }
    if (const auto it = given.find("--plot-y"); it != given.end()) {
        if (it->second != "mag" && it->second != "ln")
            return failure("option --plot-y '" + it->second + "' must be mag or ln");
        run.plotMagnitudes = it->second == "mag";
    }
    if (const auto it = given.find("--field"); it != given.end()) {
        if (pictureFormatOf(it->second) != PictureFormat::png)
            return failure("option --field '" + it->second + "' must end in .png");
        run.fieldFile = it->second;
    }
    if (const auto it = given.find("--report"); it != given.end()) {
        if (it->second.empty()) return failure("option --report needs a file name");
        run.reportFile = it->second;
    }
    return std::nullopt;
}

// The graph file and the folder, both optional; empty when both are good.
std::optional<CommandLine> readOptional(const std::map<std::string, std::string>& given,
                                        BatchOptions& o) {
    if (const auto it = given.find("--graph"); it != given.end()) {
        if (it->second.empty()) return failure("option --graph needs a file name");
        o.graphFile = it->second;
    }
    FrameSelection& frames = o.run.frames;
    if (const auto it = given.find("--band-keyword"); it != given.end()) {
        if (it->second.empty() || it->second.size() > 8)
            return failure("option --band-keyword '" + it->second + "' is not a FITS keyword");
        frames.bandKeyword = upperCase(it->second);
    }
    if (const auto it = given.find("--bayer"); it != given.end()) {
        if (!mosaicLayout(it->second, 0, 0))
            return failure("option --bayer '" + it->second + "' is not RGGB, BGGR, GRBG or GBRG");
        frames.bayer = it->second;
    }
    const bool selecting =
        given.count("--band-keyword") || given.count("--bayer") || !frames.bandNames.empty();
    if (selecting && !frames.active())
        return failure("options --band, --band-keyword and --bayer need --frames PATTERN");
    if (const auto it = given.find("--dir"); it != given.end()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(it->second, ec))
            return failure("option --dir '" + it->second + "' is not a folder");
        o.run.folder = it->second;
    }
    return std::nullopt;
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine c;
    if (args.empty()) return c;
    std::map<std::string, std::string> given;
    if (auto ended = collectOptions(args, given, c)) return *ended;
    if (auto bad = readOptional(given, c.options)) return *bad;
    if (auto bad = readMeasuringOptions(given, c.options.run)) return failure(std::move(*bad));
    if (auto bad = readPictureOptions(given, c.options.run)) return *bad;
    // Only the answers and the clicks make a run unattended; the other options apply to an
    // interactive run as well.
    const bool unattended = std::any_of(kUnattended.begin(), kUnattended.end(),
                                        [&](const char* name) { return given.count(name) > 0; }) ||
                            !c.options.removals.empty();
    if (unattended) {
        if (auto bad = readRequired(given, c.options)) return *bad;
        c.mode = CommandLine::Mode::batch;
    }
    // Refused before anything is written: no output may overwrite a frame, the log or another
    // output.
    const bool interactive = c.mode == CommandLine::Mode::interactive;
    if (auto clash = outputNameClash(c.options, interactive)) return failure(std::move(*clash));
    return c;
}

std::string versionText() {
    return "orvel 1.0\n";
}

namespace {

// --help up to the measuring options, which have their own lines, and after them.
constexpr const char* kHelpBefore = R"(Usage: orvel [OPTION]...

Measures the atmospheric extinction coefficients of the red, green and blue bands from a
night's FITS frames of one star (names ending in R.fit, G.fit, B.fit, or any names with
--frames).

Without options ORVEL runs interactively in the current folder: it asks for the coordinates
on the console and lets you pick the star, the sky background and outlier points with the
mouse.

With --lat, --lon, --ra, --dec, --star and --background (all six, with --remove and --graph
when wanted) it asks nothing, opens no window and needs no display. It writes the same log as
an interactive run with the same typed values and the same clicks at a screen factor of 1.
The other options apply to both runs.

Options:
  --lat D,M,S          site latitude, degrees, minutes, seconds (south negative)
  --lon D,M,S          site longitude (west negative)
  --ra H,M,S           right ascension of the star, hours, minutes, seconds
  --dec D,M,S          declination of the star (south negative)
  --star COL,ROW       the star's position in image pixels of the first frame
  --background COL,ROW  the centre of a patch of sky, image pixels of the first frame
  --remove NAME        leave this frame out of the fit; may be repeated; each removal refits
                       and reports again, in the order given
  --graph FILE         save the graph: a PNG when FILE ends in .png, a BMP otherwise
                       (relative to the current folder)
  --dir PATH           the folder of frames (default: the current folder); the log and the
                       results files are written there
  --frames PATTERN     take the frames whose names match PATTERN (shell wildcards, letter
                       case ignored, e.g. 'Light_*.fits'; may be repeated), each with its band
                       from its FILTER card (without one, from the letter before the extension,
                       as in x_R.fits); .fit, .fits, .fts, gzip (.gz) and tile-compressed (.fz)
                       frames, an image after an empty primary, 3-plane colour cubes and raw
                       Bayer mosaics (BAYERPAT) as three frames NAME[R], NAME[G], NAME[B]; one
                       exposure found twice (x.fits beside x.fits.fz) is measured once
  --band NAME=R        the filter NAME stands for band R, G or B (may be repeated)
  --band-keyword KEY   the card that names the filter (default FILTER)
  --bayer PATTERN      every frame is a raw mosaic of PATTERN (RGGB, BGGR, GRBG or GBRG) at
                       its first pixel, whatever its header says
)";

constexpr const char* kHelpAfter =
    R"(  --plot FILE          the labelled plot of the fit: PNG, SVG or PDF by FILE's ending
  --plot-y mag|ln      the plot's vertical axis: instrumental magnitude or ln(signal) (ln)
  --field FILE.png     the first frame with the aperture, sky annulus and background
                       rectangle used, and a scale bar
  --weights-at ALT     add this altitude (degrees) to the colour weights of
                       ORVEL_weights.csv and the console; may be repeated
  --report FILE.html   a one-page night report (plot, field, fit and frame tables) that
                       opens offline
  --help               this text
  --version            the program's version

Files written in the frames' folder: ORVEL_LOG.txt (the whole run), ORVEL_results.csv (one
row per frame), ORVEL_fit.csv (one row per band), ORVEL_weights.csv (R:G:B weights by
altitude); ORVEL.bmp and ORVEL_plot.png when the graph is saved interactively, and
ORVEL_field.png in an interactive run.

Exit status:
  0 on success, 1 when no frame could be measured, a file could not be written or a --remove
  name matched no frame of the fit, 2 for a missing or malformed option (or an output
  option naming an input frame, the log or another output).

Example:
  orvel --lat 35,0,0 --lon -111,30,0 --ra 5,55,10 --dec 7,24,25 \
  --star 312,240 --background 100,100 --remove NIGHT_0007_G.fit \
  --graph night.png --dir /data/2026-03-15
)";

}  // namespace

std::string helpText() {
    return kHelpBefore + measuringOptionsHelp() + kHelpAfter;
}

}  // namespace orvel
