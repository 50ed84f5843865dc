#include "dialogue/graph_session.h"

#include "dialogue/dialogue.h"
#include "dialogue/outlier_dialogue.h"
#include "graph/graph_file.h"
#include "report/fit_report.h"

namespace orvel {

void GraphSession::open() {
    ranges_ = graphRanges(night_);
    logGraphRanges(log_, ranges_);
    positions_ = plotPositions(night_, ranges_);
    openGraphWindow(window_);
}

void GraphSession::refit() {
    fitAndReport(night_, log_, console_);
    // The frames' own warnings once, with the first report; the fit's after every report.
    reportWarnings(night_, console_, !reported_);
    reported_ = true;
    lines_ = lineEndPoints(night_.fits, ranges_);
    draw(std::nullopt);
}

void GraphSession::draw(std::optional<Band> circlesOf) {
    drawGraph(window_, night_, positions_, lines_, circlesOf);
}

bool offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder) {
    console.endLine();
    const bool save =
        askFor(console, "Do you want to save the graph to a BMP file (Enter Y or N)? ", 'Y');
    if (save) {
        console.printLine("Graph will be saved to file ORVEL.bmp");
        if (!saveWindowPicture(window, folder / "ORVEL.bmp"))
            console.printLine("The graph could not be written to ORVEL.bmp.");
    }
    window.close();
    return save;
}

bool runGraphPhase(NightRecord& night, const std::filesystem::path& folder, Console& console,
                   GraphicsWindow& window, RunLog& log) {
    GraphSession graph(night, window, console, log);
    graph.open();
    graph.refit();
    runOutlierDialogue(graph, console);
    return offerGraphExport(window, console, folder);
}

}  // namespace orvel
