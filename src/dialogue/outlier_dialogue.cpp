#include "dialogue/outlier_dialogue.h"

#include <algorithm>
#include <string>

#include "base/numeric.h"
#include "base/typed_line.h"
#include "dialogue/dialogue.h"
#include "graph/graph_render.h"

namespace orvel {

namespace {

constexpr Rgb kYellow{255, 210, 0};

bool bandHasIncludedPoint(const NightRecord& night, Band band) {
    return std::any_of(night.frames.begin(), night.frames.end(),
                       [&](const FrameRecord& f) { return f.included() && f.band == band; });
}

// Asks for a band; empty when the user chose none, or a band without points to remove.
std::optional<Band> askBand(const NightRecord& night, Console& console) {
    console.endLine();
    console.printLine("Pick the band you want to edit-");
    console.printLine("  1 = RED");
    console.printLine("  2 = GREEN");
    console.printLine("  3 = BLUE");
    const std::string line =
        ask(console, "Enter the number (1, 2 or 3) of the band you want to edit: ");
    const int code = toInt(numericValue(field(line, 1)));
    if (code == 0) return std::nullopt;
    const std::optional<Band> band = bandFromCode(code);
    // Waiting for a click on a point that does not exist would never end.
    if (!band || !bandHasIncludedPoint(night, *band)) {
        console.print("Band ");
        console.printNumber(code);
        console.printLine("has no point to remove.");
        return std::nullopt;
    }
    return band;
}

enum class PickResult { removed, tryAgain, nothingToPick };

// One pick of a point of the band, confirmed (the frame in `chosen`) or not.
PickResult pickAndConfirm(GraphSession& graph, Band band, Console& console,
                          std::optional<std::size_t>& chosen) {
    GraphicsWindow& window = graph.window();
    console.endLine();
    console.printLine("Using the mouse, put the cursor in the center of the circle");
    console.printLine("representing the data point you want to remove and left-click.");
    window.focus();
    const Click click = window.waitForClick();
    // Window y grows downward, plot y upward.
    const float cx = click.x;
    const float cy = f32(kPlotHeight - static_cast<double>(click.y));
    const std::optional<std::size_t> candidate =
        nearestPoint(graph.night(), graph.positions(), band, cx, cy);
    if (!candidate) {
        // Points whose positions are not finite can never be clicked.
        console.endLine();
        console.printLine("No point of this band can be picked.");
        return PickResult::nothingToPick;
    }
    const PlotPoint point = graph.positions()[*candidate];
    drawPointCircle(window, point, kYellow);
    graph.consider(candidate);
    console.toFront();
    console.endLine();
    if (askFor(console, "Is this the point (yellow) you want to remove (Enter Y or N)? ", 'Y')) {
        chosen = candidate;
        console.endLine();
        console.printLine("Data point has been removed and extinction coefficient re-calculated.");
        return PickResult::removed;
    }
    // The band colour replaces the yellow ring.
    drawPointCircle(window, point, bandColour(band));
    graph.consider(std::nullopt);
    console.endLine();
    console.printLine("Try again-");
    return PickResult::tryAgain;
}

// The answer U: the last point removed comes back; empty when none was removed.
std::optional<FrameEdit> restoreLast(OutlierState& state, Console& console) {
    console.endLine();
    if (state.removed.empty()) {
        console.printLine("No data point has been removed; there is none to restore.");
        return std::nullopt;
    }
    const FrameEdit edit{state.removed.back(), true};
    state.removed.pop_back();
    console.printLine("Data point has been restored and extinction coefficient re-calculated.");
    return edit;
}

// Picking goes on, for the same band, until a point has been removed; empty when no point of
// the band can be picked.
std::optional<std::size_t> pickPoint(GraphSession& graph, Band band, Console& console) {
    PickResult result;
    std::optional<std::size_t> chosen;
    do {
        result = pickAndConfirm(graph, band, console, chosen);
    } while (result == PickResult::tryAgain);
    return result == PickResult::removed ? chosen : std::nullopt;
}

}  // namespace

std::optional<FrameEdit> nextOutlierEdit(GraphSession& graph, Console& console,
                                         OutlierState& state) {
    for (;;) {
        console.toFront();
        console.endLine();
        const std::string answer =
            ask(console, state.askedBefore
                             ? "Do you want to remove more outliers from the data (Enter Y or N)? "
                             : "Do you want to remove outliers from the data (Enter Y or N)? ");
        if (answerIs(answer, 'N')) return std::nullopt;
        state.askedBefore = true;
        if (answerIs(answer, 'U')) {
            if (const std::optional<FrameEdit> edit = restoreLast(state, console)) return edit;
            continue;
        }
        const std::optional<Band> band = askBand(graph.night(), console);
        graph.draw(band);
        if (!band) continue;
        if (const std::optional<std::size_t> frame = pickPoint(graph, *band, console)) {
            state.removed.push_back(*frame);
            return FrameEdit{*frame, false};
        }
        graph.draw(std::nullopt);
    }
}

}  // namespace orvel
