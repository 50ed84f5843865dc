// The graph of magnitude value against airmass: ranges, plot positions, lines and circles.
#pragma once

#include <array>
#include <span>

#include "fit/band_fit.h"
#include "imageset/file_observation.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

constexpr int kPlotWidth = 640;   // pixels across, also the window's client width
constexpr int kPlotHeight = 480;  // pixels down, also the window's client height
constexpr double kPointRadius = 5.0;  // pixels, circle about each observation

struct GraphRanges {
    float smallestAirmass = 9999.0f;  // over the measured observations
    float largestAirmass = 0.0f;
    float xFrom = 1.0f;  // X axis start, airmass
    float xTo = 1.0f;    // X axis end: 1 + whole part of the largest airmass
    float yFrom = 0.0f;  // Y axis start: smallest magnitude value - 0.1
    float yTo = 0.0f;    // Y axis end: largest magnitude value + 0.1
};

// Plot positions of one band's fitted line at the smallest and largest airmass.
struct LineEnds {
    float startX = 0.0f;  // plot pixels from the left
    float startY = 0.0f;  // plot pixels from the bottom
    float endX = 0.0f;
    float endY = 0.0f;
};

// The colour of a band code (1 red, 2 green, 3 blue); black for anything else.
Rgb bandColour(float bandCode);

// Computes and logs the ranges and sets every observation's plot position. Observations that
// were not measured take no part in the ranges.
GraphRanges prepareGraph(std::span<FileObservation> observations, RunLog& log);

// Opens the 640 x 480 graph window, immediate mode, cleared to white.
void openGraphWindow(GraphicsWindow& window);

std::array<LineEnds, 3> lineEndPoints(const std::array<BandFit, 3>& fits,
                                      const GraphRanges& ranges);

// Repaints the whole plot; only the circles of bandEdited are drawn unless it is 0.
void drawGraph(GraphicsWindow& window, std::span<const FileObservation> observations,
               const std::array<LineEnds, 3>& lines, int bandEdited);

// The circle about an observation's plot position.
void drawPointCircle(GraphicsWindow& window, const FileObservation& observation, Rgb colour);

}  // namespace orvel
