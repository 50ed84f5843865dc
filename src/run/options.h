// The command line: no arguments runs the interactive program; options run it unattended.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/aperture_choice.h"
#include "night/frame_selection.h"
#include "night/night_record.h"
#include "observing/precise_airmass.h"

namespace orvel {

// What changes how the frames are found, read and measured and what is written beside the log,
// in interactive and unattended runs alike. Every field's default keeps the described run.
struct RunOptions {
    std::filesystem::path folder = ".";  // frames; log and results are written here
    FrameSelection frames;               // --frames and its companions; inactive: the frames
                                         // are found by their names' band letters
    std::optional<PreciseAirmassSettings> preciseAirmass;  // --airmass precise and its settings;
                                                           // empty: the described airmass
    ApertureSettings aperture;  // --aperture and --annulus; by default the rings grow
    std::optional<std::filesystem::path> plotFile;   // --plot: labelled plot, PNG/SVG/PDF
    bool plotMagnitudes = false;                     // --plot-y mag: instrumental magnitudes
    std::optional<std::filesystem::path> fieldFile;  // --field: first frame with apertures
    std::vector<double> weightAltitudes;  // --weights-at, degrees, beside the 90..20 table
    std::optional<std::filesystem::path> reportFile;  // --report: one-page HTML night report
    FitChoices fitting;  // --weighted, and --gain and --read-noise for frames whose headers lack
                         // GAIN/EGAIN and RDNOISE
    std::optional<double> rejectLimit;  // --reject: robust deviations from the band's line
                                        // beyond which frames are left out; empty: none are
    bool strict = false;  // --strict: exit status 3 when a band with frames is not judged good
};

// A frame left out of the fit by name, or put back.
struct FrameNameEdit {
    std::string name;      // the frame's name as the results list it
    bool restore = false;  // true: put back a frame removed before
    bool operator==(const FrameNameEdit&) const = default;
};

// The unattended run: the typed answers and the clicks, given as options.
struct BatchOptions {
    std::string latitude;        // "D,M,S" as it would be typed
    std::string longitude;       // "D,M,S"
    std::string rightAscension;  // "H,M,S"
    std::string declination;     // "D,M,S"
    float starColumn = 0.0f;     // star pick, image pixels of the first frame
    float starRow = 0.0f;
    float backgroundColumn = 0.0f;  // background pick, image pixels of the first frame
    float backgroundRow = 0.0f;
    // Every --star and --background in the order given, image pixels: the last of each is the
    // pick above, the earlier ones picks turned down (logged as the dialogue logs every click).
    std::vector<std::pair<float, float>> starPicks;
    std::vector<std::pair<float, float>> backgroundPicks;
    int screenFactor = 1;  // image pixels per window pixel of the picture the picks were made on
    std::vector<FrameNameEdit> edits;                // --remove and --restore, in the order given
    std::optional<std::filesystem::path> graphFile;  // BMP, or PNG for a .png name
    RunOptions run;                                  // shared with the interactive run
};

struct CommandLine {
    enum class Mode { interactive, batch, help, version, error };
    Mode mode = Mode::interactive;
    BatchOptions options;  // for batch; options.run also for interactive
    std::string error;     // for error: one line naming the option
    // The options as given but --dir, each name followed by its value when it takes one: what
    // a command repeating the run passes on.
    std::vector<std::string> givenWords;
};

CommandLine parseCommandLine(std::span<const std::string_view> args);

// An option found wrong only once the frames are read (a pick outside the first frame): the
// run ends with exit status 2 and this message.
struct OptionRefused {
    std::string message;  // one line naming the option
};

// The text of --help.
std::string helpText();
std::string versionText();

}  // namespace orvel
