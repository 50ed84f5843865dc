// Removing outlier points by clicking them in the graph, refitting after each removal.
#pragma once

#include "dialogue/graph_session.h"
#include "platform/console.h"

namespace orvel {

// Runs the dialogue until the user answers the removal question with N. Each confirmed pick
// removes the frame, refits, reports and redraws the graph.
void runOutlierDialogue(GraphSession& graph, Console& console);

}  // namespace orvel
