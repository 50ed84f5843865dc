// The files of the night as a camera would write them: each frame of one band, or one file per
// exposure of a colour camera, plain or compressed, spoilt on request, and the extra colour cube
// and master dark.
#pragma once

#include <optional>
#include <vector>

#include "simulate/night_options.h"
#include "simulate/night_plan.h"
#include "simulate/simulate_frame.h"

namespace orvel::simulate {

// What frame `index` (0-based, in the written order) shows and how it is stored; the noise
// stream is the frame's own.
FrameRecipe frameRecipe(const NightOptions& o, const Frame& f, int index);

// The night's frames, then the cube and the dark when asked for; the files written in order.
// `first` is the first frame as planned, the moment of the cube and the dark.
std::optional<std::vector<Frame>> writeFiles(const NightOptions& o, std::vector<Frame> frames,
                                             const Frame& first);

}  // namespace orvel::simulate
