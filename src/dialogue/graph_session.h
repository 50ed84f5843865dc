// After the last frame: the graph of the night, its fits and reports, and saving it.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "base/console_text.h"
#include "base/run_log.h"
#include "graph/graph_render.h"
#include "night/night_record.h"
#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

// The graph of one night in its window, refitted and redrawn after every removal.
class GraphSession {
public:
    GraphSession(NightRecord& night, GraphicsWindow& window, ConsoleText& console, RunLog& log)
        : night_(night), window_(window), console_(console), log_(log) {}

    // Sets the ranges and the points' places (logging the ranges) and opens the window.
    void open();
    // Fits every band, writes the report, and repaints with all circles.
    void refit();
    // Repaints with only the circles of the band (all bands when none is given).
    void draw(std::optional<Band> circlesOf);

    NightRecord& night() { return night_; }
    GraphicsWindow& window() { return window_; }
    // Where each frame's point sits in the plot.
    const std::vector<PlotPoint>& positions() const { return positions_; }

private:
    NightRecord& night_;
    GraphicsWindow& window_;
    ConsoleText& console_;
    RunLog& log_;
    GraphRanges ranges_;
    std::vector<PlotPoint> positions_;
    std::array<LineEnds, 3> lines_{};
    bool reported_ = false;  // a fit has been reported
};

// Asks whether to save the graph and writes it to "ORVEL.bmp" in the folder on Y; closes the
// window either way. True when the user asked for it to be saved.
bool offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder);

// Runs graph setup, the first report and drawing, the outlier dialogue and the export; true
// when the user asked for the graph to be saved.
bool runGraphPhase(NightRecord& night, const std::filesystem::path& folder, Console& console,
                   GraphicsWindow& window, RunLog& log);

}  // namespace orvel
