// The pass over every listed frame: read, (first frame) show and pick, measure, record.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "analysis/aperture_choice.h"
#include "analysis/image_statistics.h"
#include "analysis/star_selection.h"
#include "base/console_text.h"
#include "base/run_log.h"
#include "fits/pixel_image.h"
#include "night/discovery.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "observing/precise_airmass.h"

namespace orvel {

// Chooses the star and background on the first usable frame (by the user, or from options),
// writing the same log lines either way; stats are the frame's (as analyseFirstImage gives them).
using StarPicker = std::function<StarSelection(
    const PixelImage& image, const FirstImageStats& stats, std::string_view name)>;

// How the frames after the first are read. The log and the results are the same either way.
struct LoopOptions {
    bool wholeFrames = false;  // read and decode every pixel of every frame, one at a time
    int workers = 0;           // frames measured at once after the first; 0 = one per core
};

// What a night's pass measures, and where.
struct NightPlan {
    ImageFileList files;           // the frames, in the order they are measured
    ObservingSetup setup;          // site and star
    std::filesystem::path folder;  // where the frames are
    LoopOptions options = {};      // how the later frames are read
    std::optional<PreciseAirmassSettings> preciseAirmass = {};  // fit the precise airmass; empty
                                                                // for the described one
    ApertureSettings aperture = {};  // the ring growth, or one aperture for every frame
};

// Runs one pass per listed file in order, writing each pass's log lines and console lines.
// The first usable file is read whole and handed to the picker; the later ones are read only
// where they are measured, several at a time, and their lines are written in file order as
// each is ready. Every frame is included unless it could not be used. An aperture other than
// the ring growth is settled once the star is picked, from every frame's FWHM when it needs
// them (read quietly beforehand), and named in the log.
NightRecord measureNight(const NightPlan& plan, const StarPicker& pick, ConsoleText& console,
                         RunLog& log);

}  // namespace orvel
