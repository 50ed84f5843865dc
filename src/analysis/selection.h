// Picking the star and a background patch in the picture of the first image.
#pragma once

#include "analysis/star_selection.h"
#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

// The background rectangle in image pixels for a click at window (bx, by): centred on the
// click times the screen factor, half-sizes columns/50 and rows/50, each corner limited on its
// own side to 1..columns and 1..rows.
void placeBackgroundRectangle(StarSelection& selection, int columns, int rows);

// The log lines of one pick (window pixels as clicked).
void logStarPick(RunLog& log, float x, float y);
void logBackgroundPick(RunLog& log, float x, float y);

// Runs both picks, each confirmed on the console and repeated until confirmed; closes the
// window at the end. Throws SessionEnded when the window is closed or the input ends.
StarSelection selectStarAndBackground(GraphicsWindow& window, Console& console, RunLog& log,
                                      int columns, int rows, float screenFactor);

}  // namespace orvel
