// After the last frame: fit, report, graph, outlier removal and saving the graph.
#pragma once

#include <array>
#include <filesystem>

#include "graph/graph_render.h"
#include "imageset/discovery.h"
#include "imageset/file_loop.h"
#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

// The graph of one night: ranges logged and window opened on construction.
class GraphSession {
public:
    GraphSession(NightMeasurements& night, const std::array<int, 3>& bandCounts,
                 GraphicsWindow& window, Console& console, RunLog& log);

    // Fits every band, writes the report, and repaints with all circles.
    void refit();
    // Repaints with only the circles of the band (all bands for 0).
    void draw(int bandEdited);

private:
    NightMeasurements& night_;
    std::array<int, 3> bandCounts_;
    GraphicsWindow& window_;
    Console& console_;
    RunLog& log_;
    GraphRanges ranges_;
    std::array<LineEnds, 3> lines_{};
};

// Asks whether to save the graph and writes it to "ORVEL.bmp" in the folder on Y; closes the
// window either way.
void offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder);

// Runs graph setup, the first report and drawing, the outlier dialogue and the export.
void runGraphPhase(NightMeasurements& night, const ImageFileList& files,
                   const std::filesystem::path& folder, Console& console, GraphicsWindow& window,
                   RunLog& log);

}  // namespace orvel
