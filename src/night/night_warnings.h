// Warnings that keep a frame in the fit but tell the user something is doubtful about it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "night/night_record.h"

namespace orvel {

struct NightWarning {
    std::optional<std::size_t> frame;  // the frame it is about; empty for a band's warning
    std::string text;                  // a sentence without the frame's name
};

// From the current fits: included frames far from their band's line (suspected outliers), and
// bands whose k rests on too few frames or too short a span of airmass.
std::vector<NightWarning> fitWarnings(const NightRecord& night);

// The warnings of the included frames found when they were measured.
std::vector<NightWarning> frameWarnings(const NightRecord& night);

// The note of a frame in the results file: why it was left out, then its warnings.
std::string frameNote(const NightRecord& night, std::size_t frame,
                      const std::vector<NightWarning>& fitWarnings);

}  // namespace orvel
