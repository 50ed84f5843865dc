#include "graph/graph_phase.h"

#include "fit/results_report.h"
#include "graph/outlier_dialogue.h"
#include "run/dialogue.h"

namespace orvel {

GraphSession::GraphSession(NightMeasurements& night, const std::array<int, 3>& bandCounts,
                           GraphicsWindow& window, Console& console, RunLog& log)
    : night_(night), bandCounts_(bandCounts), window_(window), console_(console), log_(log) {
    ranges_ = prepareGraph(night_.observations, log_);
    openGraphWindow(window_);
}

void GraphSession::refit() {
    fitAndReport(night_.observations, bandCounts_, night_.fits, log_, console_);
    lines_ = lineEndPoints(night_.fits, ranges_);
    draw(0);
}

void GraphSession::draw(int bandEdited) {
    drawGraph(window_, night_.observations, lines_, bandEdited);
}

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
    GraphSession graph(night, files.bandCounts, window, console, log);
    graph.refit();
    runOutlierDialogue(
        night.observations, console, window, [&] { graph.refit(); },
        [&](int band) { graph.draw(band); });
    offerGraphExport(window, console, folder);
}

}  // namespace orvel
