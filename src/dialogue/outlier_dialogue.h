// Choosing outlier points to remove by clicking them in the graph.
#pragma once

#include "dialogue/graph_session.h"
#include "platform/console.h"

namespace orvel {

// Asks, as the dialogue does, whether to remove (more) outliers, and lets the user pick and
// confirm a point: the confirmed point's frame (said removed on the console; the caller leaves
// it out and refits), or empty when the user answers N. `askedBefore` keeps whether the
// question was asked already, so that it says "more" from then on.
std::optional<std::size_t> nextOutlierRemoval(GraphSession& graph, Console& console,
                                              bool& askedBefore);

}  // namespace orvel
