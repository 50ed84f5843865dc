// The traits of real telescope frames, each asked for by its own option: hot pixels and
// cosmic-ray hits, star profiles other than a Gaussian, a field that drifts, turns and flips
// at the meridian, further stars, and a camera converter of fewer bits than the file.
#pragma once

#include <filesystem>
#include <vector>

#include "simulate/night_options.h"
#include "simulate/night_plan.h"
#include "simulate/simulate_frame.h"

namespace orvel::simulate {

// A hot pixel or a cosmic-ray hit of one frame.
struct Defect {
    Spot pixel;        // its pixel (whole column and row) and the ADU it adds
    const char* kind;  // "hot" or "cosmic"
};

// The star's place with no motion of the field: --star, or a little off the centre.
Spot restingPlace(const NightOptions& o);

// Where a point of the field resting at (x, y) is seen in frame f: drifted, turned about the
// frame centre and, after the meridian flip, turned 180 degrees.
Spot fieldPlace(const NightOptions& o, const Frame& f, double x, double y);

// Whether frame f is taken after the meridian flip.
bool afterFlip(const NightOptions& o, const Frame& f);

// The files of the night that cosmic rays hit: each frame of one band, or each exposure of a
// colour camera (whose three bands share its hits).
int exposureCount(const NightOptions& o);

// The hot pixels and cosmic-ray hits of exposure `index` (0-based, in the written order).
std::vector<Defect> defectsOf(const NightOptions& o, int index);

// The traits asked for put into the description of frame `index`: the stars moved, the field stars,
// the defects, the profile and the converter. Nothing changes when none is asked for.
void addTraits(const NightOptions& o, const Frame& f, int index, FrameRecipe& s);

// defects.csv: frame (the file's number), column, row, kind and ADU of every defect of the
// night's files; false
// when it cannot be written.
bool writeDefects(const std::filesystem::path& path, const NightOptions& o);

}  // namespace orvel::simulate
