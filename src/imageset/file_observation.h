// One row of results per image file, read by the fit and the graph.
#pragma once

namespace orvel {

struct FileObservation {
    float band = 0.0f;       // 1 red, 2 green, 3 blue (0 when the name carries no band)
    float airmass = 0.0f;    // optical airmass X at the observation time
    float magnitude = 0.0f;  // natural log of the integrated star signal, 0 when not positive
    float included = 0.0f;   // 1 = takes part in the fit and graph, 0 = removed or not measured
    float plotX = 0.0f;      // graph position, pixels from the left edge of the plot
    float plotY = 0.0f;      // graph position, pixels from the bottom edge of the plot
    bool measured = false;   // false for a file that could not be read or dated: it takes no
                             // part in the fit, the graph ranges or the graph
};

// Whether the observation takes part in the fit and the graph.
inline bool inFit(const FileObservation& o) {
    return o.included == 1.0f;
}

}  // namespace orvel
