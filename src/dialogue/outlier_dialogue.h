// Choosing outlier points to remove by clicking them in the graph, and putting them back.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "dialogue/graph_session.h"
#include "platform/console.h"

namespace orvel {

// A change to the frames fitted: one left out, or the last one left out put back.
struct FrameEdit {
    std::size_t frame = 0;  // index in the night's frames
    bool restore = false;   // true: the frame comes back into the fit
};

// What the outlier dialogue keeps from one question to the next.
struct OutlierState {
    bool askedBefore = false;          // the question was asked: it says "more" from then on
    std::vector<std::size_t> removed;  // frames removed, in order; U puts back the last
};

// Asks, as the dialogue does, whether to remove (more) outliers, and lets the user pick and
// confirm a point: the confirmed point's frame (said removed on the console; the caller leaves
// it out and refits), or empty when the user answers N. The answer U puts back the last point
// removed (said on the console; the caller puts it back and refits).
std::optional<FrameEdit> nextOutlierEdit(GraphSession& graph, Console& console,
                                         OutlierState& state);

}  // namespace orvel
