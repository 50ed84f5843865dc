#include "graph/graph_phase.h"

#include "fit/results_report.h"
#include "graph/graph_render.h"
#include "graph/outlier_dialogue.h"
#include "run/dialogue.h"

namespace orvel {

void offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder) {
    console.endLine();
    if (askFor(console, "Do you want to save the graph to a BMP file (Enter Y or N)? ", 'Y')) {
        console.printLine("Graph will be saved to file ORVEL.bmp");
        if (!window.saveBitmap(folder / "ORVEL.bmp"))
            console.printLine("The graph could not be written to ORVEL.bmp.");
    }
    window.close();
}

void runGraphPhase(NightMeasurements& night, const ImageFileList& files,
                   const std::filesystem::path& folder, Console& console, GraphicsWindow& window,
                   RunLog& log) {
    std::span<FileObservation> observations(night.observations);
    const GraphRanges ranges = prepareGraph(observations, log);
    openGraphWindow(window);
    std::array<LineEnds, 3> lines{};
    const auto draw = [&](int band) { drawGraph(window, observations, lines, band); };
    const auto refit = [&] {
        fitAndReport(observations, files.bandCounts, night.fits, log, console);
        lines = lineEndPoints(night.fits, ranges);
        draw(0);
    };
    refit();
    runOutlierDialogue(observations, console, window, refit, draw);
    offerGraphExport(window, console, folder);
}

}  // namespace orvel
