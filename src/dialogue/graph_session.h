// After the last frame: the graph of the night in its window, drawn after every fit, and saving
// it.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "dialogue/plot_window.h"
#include "graph/graph_render.h"
#include "night/night_fit.h"
#include "night/night_record.h"
#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

// Where the night's points sit in the graph: its ranges, and each frame's place.
struct GraphLayout {
    GraphRanges ranges;
    std::vector<PlotPoint> positions;  // one per frame of the night, in its order
};

// The ranges and places of the night's points, once its frames are measured.
GraphLayout graphLayout(const NightRecord& night);

// The graph of one night in its window: it draws what it is given and fits nothing.
class GraphSession {
  public:
    GraphSession(const NightRecord& night, GraphicsWindow& window)
        : night_(night), window_(window) {}

    // Takes the layout and opens the window.
    void open(GraphLayout layout);
    // The labelled plot shown beside the graph from now on (none when null).
    void showBeside(PlotWindow* plot) { plot_ = plot; }
    // The lines of a new fit, drawn with all circles (and the labelled plot of the fit).
    void show(const NightFit& fit);
    // The frame whose point is being considered, ringed in the labelled plot (none: no ring).
    void consider(std::optional<std::size_t> frame);
    // Repaints with only the circles of the band (all bands when none is given).
    void draw(std::optional<Band> circlesOf);

    const NightRecord& night() const { return night_; }
    GraphicsWindow& window() { return window_; }
    // Where each frame's point sits in the plot.
    const std::vector<PlotPoint>& positions() const { return layout_.positions; }

  private:
    const NightRecord& night_;
    GraphicsWindow& window_;
    GraphLayout layout_;
    std::array<LineEnds, 3> lines_{};
    PlotWindow* plot_ = nullptr;
};

// Asks whether to save the graph and writes it to "ORVEL.bmp" in the folder on Y; closes the
// window either way. True when the user asked for it to be saved.
bool offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder);

}  // namespace orvel
