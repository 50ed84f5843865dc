// The labelled plot in a window of its own beside the graph: the same drawing as the plot file,
// redrawn after every fit, with the point being considered ringed.
#pragma once

#include <cstddef>
#include <optional>

#include "night/night_fit.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "picture/night_plot.h"
#include "platform/graphics_window.h"

namespace orvel {

// A window's place on the desktop and its client size, pixels.
struct WindowPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Where the plot window goes so that it covers neither the graph window (640 x 480 at the
// desktop's top-left corner) nor the picture window before it: to the right of the graph, or
// under it, whichever shows the plot larger, shrunk to fit the desktop. On a desktop too small
// for half the plot's size beside or under the graph it is shown at half size in the corner
// farthest from the graph, clamped to the desktop.
WindowPlace plotWindowPlace(DesktopSize desktop);

class PlotWindow {
  public:
    PlotWindow(GraphicsWindow& window, const NightRecord& night, const ObservingSetup& setup,
               PlotValue value)
        : window_(window), night_(night), setup_(setup) {
        view_.value = value;
    }

    // Opens the window where plotWindowPlace puts it; nothing is shown until the first fit.
    void open(DesktopSize desktop);
    // The plot of a new fit, no point ringed.
    void show(const NightFit& fit);
    // Rings the frame's point (none when empty) and redraws.
    void ring(std::optional<std::size_t> frame);
    void close();

  private:
    void paint();

    GraphicsWindow& window_;
    const NightRecord& night_;
    ObservingSetup setup_;  // for the plot's title
    std::optional<NightFit> fit_;
    PlotView view_;
};

}  // namespace orvel
