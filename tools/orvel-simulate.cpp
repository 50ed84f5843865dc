// orvel-simulate: writes a night of FITS frames of one star in R, G and B, as a camera would
// while the star sinks from the meridian towards the horizon, plus truth.csv with the airmass
// and flux of every frame and the extinction coefficients used. On request some frames are
// spoilt so that they cannot give a true point (a saturated star, a hidden star, a file cut
// short, a DATE-OBS when the star is below the horizon), and a colour cube and a master dark
// are written beside them. On request the frames have the traits of real ones (hot pixels,
// cosmic rays, other profiles, a moving field, field stars, a 12-bit camera), with defects.csv.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "simulate/frame_files.h"
#include "simulate/frame_traits.h"
#include "simulate/night_options.h"
#include "simulate/night_plan.h"
#include "simulate/truth_file.h"

using namespace orvel::simulate;

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<NightOptions> options = readCommandLine(argc, argv, exitCode);
    if (!options) return exitCode;
    const NightOptions& o = *options;
    const std::optional<std::vector<Frame>> frames = planNight(o);
    if (!frames) return 2;
    Frame planned = frames->front();
    planned.kind = FileKind::frame;
    const FrameRecipe first = frameRecipe(o, planned, 0);
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
    if (o.frameTraits && !writeDefects(std::filesystem::path(o.out) / "defects.csv", o)) {
        std::cerr << "orvel-simulate: cannot write defects.csv\n";
        return 1;
    }
    printSummary(o, *frames, first);
    if (files->size() > frames->size() || !o.faults.empty()) {
        std::printf("Files that cannot give a true point:\n");
        printSpoilt(*files);
    }
    return 0;
}
