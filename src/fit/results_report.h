// The extinction fit of all three bands and its report on the console and in the log.
#pragma once

#include <array>
#include <span>

#include "fit/band_fit.h"
#include "imageset/file_observation.h"
#include "platform/console.h"
#include "run/run_log.h"

namespace orvel {

// The band's observations (band 0 red, 1 green, 2 blue): the consecutive block discovery
// listed, cut to the table's size.
std::span<const FileObservation> bandBlock(std::span<const FileObservation> observations,
                                           const std::array<int, 3>& counts, std::size_t band);

// Fits each band with files (red, green, blue) over its block of positions (red 1..nR, green
// the next nG, blue the next nB), skipping observations whose included flag is not 1, and
// writes the final-results block to the log and the short form to the console. A band with
// file count 0 keeps its fit unchanged and has no coefficient line.
void fitAndReport(std::span<const FileObservation> observations,
                  const std::array<int, 3>& bandCounts, std::array<BandFit, 3>& fits, RunLog& log,
                  Console& console);

}  // namespace orvel
