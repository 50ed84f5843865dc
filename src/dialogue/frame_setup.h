// The site and the star settled from what was typed (or given as options) and what the frames
// hold: which to take, the lines that name a value taken from the frames, and the warnings when
// the two, or the telescope's altitude, disagree.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/console_text.h"
#include "base/run_log.h"
#include "night/frame_coordinates.h"
#include "observing/observing_setup.h"

namespace orvel {

// The four coordinates in the order they are asked.
constexpr int kCoordinates = 4;

// How each is named: "Site latitude" on the console and in the log, and its option.
struct CoordinateNames {
    std::string_view label;   // "Site latitude"
    std::string_view option;  // "--lat"
};
CoordinateNames coordinateNames(int i);
// The label as a line begins it: "Site latitude".
std::string coordinateHeading(int i);

// The frames' offer of coordinate i (0 latitude .. 3 declination).
const std::optional<OfferedAngle>& offeredCoordinate(const FrameCoordinates& frames, int i);

// Coordinate i of the setup.
TypedAngle& setupCoordinate(ObservingSetup& setup, int i);

// After the four are settled and echoed to the log: a line for each taken from the frames (in
// the log, and on the console when `sayTaken`), the longitude read turned, and a typed value
// more than half a degree from the frames', on the console.
void reportFrameCoordinates(const FrameCoordinates& frames, const ObservingSetup& setup,
                            const std::array<bool, kCoordinates>& taken, bool sayTaken,
                            ConsoleText& console, RunLog& log);

}  // namespace orvel
