#include "dialogue/graph_session.h"

#include "dialogue/dialogue.h"
#include "graph/graph_file.h"

namespace orvel {

GraphLayout graphLayout(const NightRecord& night) {
    GraphLayout layout;
    layout.ranges = graphRanges(night);
    layout.positions = plotPositions(night, layout.ranges);
    return layout;
}

void GraphSession::open(GraphLayout layout) {
    layout_ = std::move(layout);
    openGraphWindow(window_);
}

void GraphSession::show(const NightFit& fit) {
    lines_ = lineEndPoints(fit.lines(), layout_.ranges);
    draw(std::nullopt);
    if (plot_) plot_->show(fit);
}

void GraphSession::consider(std::optional<std::size_t> frame) {
    if (plot_) plot_->ring(frame);
}

void GraphSession::draw(std::optional<Band> circlesOf) {
    drawGraph(window_, night_, layout_.positions, lines_, circlesOf);
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

}  // namespace orvel
