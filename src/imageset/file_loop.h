// The pass over every listed frame: read, (first frame) show and pick, measure, store.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

#include "analysis/star_selection.h"
#include "fit/band_fit.h"
#include "fits/image_header.h"
#include "fits/pixel_image.h"
#include "imageset/discovery.h"
#include "imageset/file_observation.h"
#include "observing/observing_setup.h"
#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

// Everything measured on one frame, for the results files.
struct FileMeasurement {
    std::string name;          // bare file name
    int band = 0;              // 1 red, 2 green, 3 blue
    bool measured = false;     // false when the file could not be used
    std::string problem;       // why the file was not used (empty when measured)
    ImageHeader header;        // DATE-OBS fields, size, scaling of the frame
    float elevation = 0.0f;    // star elevation, degrees
    float airmass = 0.0f;      // optical airmass X
    int ringColumn = 0;        // ring centre (brightest pixel), image column
    int ringRow = 0;           // ring centre, image row
    float innerRadius = 0.0f;  // aperture radius, pixels
    float skyLevel = 0.0f;     // median of the annulus, DC
    float integratedDc = 0.0f; // sum of pixel minus sky over the aperture, DC
    double magnitude = 0.0;    // natural log of the integrated DC, 0 when not positive
};

struct NightMeasurements {
    std::vector<FileObservation> observations;  // one row per listed file, in list order
    std::vector<FileMeasurement> details;       // the same files, everything measured
    std::array<BandFit, 3> fits{};              // red, green, blue; refitted after removals
    StarSelection selection;                    // picks made on the first usable frame
    bool anyMeasured = false;                   // at least one frame was measured
};

// Chooses the star and background on the first usable frame (by the user, or from options),
// writing the same log lines either way.
using StarPicker = std::function<StarSelection(const PixelImage& image, std::string_view name)>;

// The picker of the interactive program: statistics, the image in the window, mouse picks.
StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             RunLog& log);

// How the frames after the first are read. The log and the results are the same either way.
struct LoopOptions {
    bool wholeFrames = false;  // read and decode every pixel of every frame, one at a time
    int workers = 0;           // frames measured at once after the first; 0 = one per core
};

// Runs one pass per listed file in order. The first usable file is read whole and handed to
// the picker; the later ones are read only where they are measured, several at a time, and
// their log sections and console lines are written in file order as each is ready.
NightMeasurements processImageFiles(const ImageFileList& files, const ObservingSetup& setup,
                                    const std::filesystem::path& folder, const StarPicker& pick,
                                    Console& console, RunLog& log, LoopOptions options = {});

}  // namespace orvel
