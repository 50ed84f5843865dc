// Removing outlier points by clicking them in the graph, refitting after each removal.
#pragma once

#include <functional>
#include <span>

#include "imageset/file_observation.h"
#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

// Index (0-based) of the included observation of the band nearest to the plot position
// (cx, cy); ties keep the earlier one. -1 when the band has no included observation.
int nearestObservation(std::span<const FileObservation> observations, int band, float cx,
                       float cy);

// Runs the dialogue until the user answers the removal question with N. refit() fits, reports
// and redraws the graph with all circles; draw(band) repaints with only that band's circles.
void runOutlierDialogue(std::span<FileObservation> observations, Console& console,
                        GraphicsWindow& window, const std::function<void()>& refit,
                        const std::function<void(int)>& draw);

}  // namespace orvel
