// The star followed from the frame it was picked on through the night: the field drifts, turns
// at a meridian flip and (on an alt-az mount) turns slowly, so each frame's search starts where
// the star is expected in it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/pixel_spike.h"
#include "analysis/star_selection.h"
#include "night/night_record.h"

namespace orvel {

// Pixels searched about where the star is expected (full-frame pixels, at least): the field
// moves at most this far from one frame to the next beyond what its motion so far predicts.
inline constexpr int kFollowReach = 25;
// A star whose place differs from the pick's by less than this (pixels, along either axis) is
// taken where it was picked: the search square holds it.
inline constexpr double kFollowMinimumShift = 2.0;
// ...and a field turned by less than this (degrees) is taken as it was picked.
inline constexpr double kFollowMinimumTurn = 2.0;
// A star in a frame is the star followed only if its peak holds at least this share of the
// peak of the frame before (a thin cloud dims it, another star of the field is far fainter).
inline constexpr double kFollowPeakShare = 0.2;

// Where one frame's star was found, against the frame picked on.
struct FollowedStar {
    bool known = false;        // the frame was looked at (its header and pixels could be read)
    bool found = false;        // the star was found near where it was expected
    double column = 0.0;       // the star's place, full-frame column (pixels)
    double row = 0.0;          // and row
    double shiftColumn = 0.0;  // the place minus the place picked on, columns
    double shiftRow = 0.0;     // and rows
    double turnDegrees = 0.0;  // the field's turn against the frame picked on, degrees from
                               // the columns towards the rows (180 after a meridian flip;
                               // measured from the stars about the star, 0 without them)
};

// Whether a followed star moved far enough from the pick for its frame's picks to follow it.
bool followMoves(const FollowedStar& f);
// Whether a frame's star was not found where the field's motion so far put it (away from the
// pick). A star not found at the pick's own place is measured there, as on a still field.
bool followLost(const FollowedStar& f);

// The picks of the frame picked on moved to a followed star: the star's click at its place and
// the background rectangle at the same offset from it, turned with the field, kept inside the
// frame of columns x rows.
StarSelection followedSelection(const StarSelection& picked, const FollowedStar& from,
                                const FollowedStar& to, int columns, int rows);

// A sensor pixel that stands out as a hot pixel in this many of the patches read about the star
// is one: a cosmic ray hits the same pixel twice once in many nights.
inline constexpr int kHotPixelFrames = 3;

// What following the star through the night found.
struct NightFollow {
    std::vector<FollowedStar> frames;    // one per listed frame
    std::vector<SensorPixel> hotPixels;  // the sensor's hot pixels about the star's path
};

// The star followed through the listed frames (in time order, across bands) from frame
// `picked` (an index into frames, its header read) where the star was picked with `selection`,
// and the hot pixels found on the way. Frames whose header or pixels cannot be read are not
// `known`.
NightFollow followStar(const std::filesystem::path& folder, const std::vector<FrameRecord>& frames,
                       std::size_t picked, const StarSelection& selection);

}  // namespace orvel
