#include "graph/outlier_dialogue.h"

#include <cmath>

#include "graph/graph_render.h"
#include "platform/typed_line.h"
#include "run/dialogue.h"
#include "run/numeric.h"

namespace orvel {

namespace {

constexpr Rgb kYellow{255, 210, 0};

bool bandHasIncludedPoint(std::span<const FileObservation> observations, int band) {
    for (const FileObservation& o : observations)
        if (inFit(o) && o.band == static_cast<float>(band)) return true;
    return false;
}

// Asks for a band; 0 when the user chose none, or a band with points to remove.
int askBand(std::span<const FileObservation> observations, Console& console) {
    console.endLine();
    console.printLine("Pick the band you want to edit-");
    console.printLine("  1 = RED");
    console.printLine("  2 = GREEN");
    console.printLine("  3 = BLUE");
    const std::string line =
        ask(console, "Enter the number (1, 2 or 3) of the band you want to edit: ");
    const int band = toInt(numericValue(field(line, 1)));
    if (band == 0) return 0;
    // Waiting for a click on a point that does not exist would never end.
    if (band < 0 || band > 3 || !bandHasIncludedPoint(observations, band)) {
        console.print("Band ");
        console.printNumber(band);
        console.printLine("has no point to remove.");
        return 0;
    }
    return band;
}

enum class PickResult { removed, tryAgain, nothingToPick };

// One pick of a point of the band, confirmed or not.
PickResult pickAndConfirm(std::span<FileObservation> observations, int band, Console& console,
                          GraphicsWindow& window) {
    console.endLine();
    console.printLine("Using the mouse, put the cursor in the center of the circle");
    console.printLine("representing the data point you want to remove and left-click.");
    window.focus();
    const Click click = window.waitForClick();
    // Window y grows downward, plot y upward.
    const float cx = click.x;
    const float cy = f32(kPlotHeight - static_cast<double>(click.y));
    const int candidate = nearestObservation(observations, band, cx, cy);
    if (candidate < 0) {
        // Points whose positions are not finite can never be clicked.
        console.endLine();
        console.printLine("No point of this band can be picked.");
        return PickResult::nothingToPick;
    }
    FileObservation& point = observations[static_cast<std::size_t>(candidate)];
    drawPointCircle(window, point, kYellow);
    console.toFront();
    console.endLine();
    if (askFor(console, "Is this the point (yellow) you want to remove (Enter Y or N)? ", 'Y')) {
        point.included = 0.0f;
        console.endLine();
        console.printLine("Data point has been removed and extinction coefficient re-calculated.");
        return PickResult::removed;
    }
    // The band colour replaces the yellow ring.
    drawPointCircle(window, point, bandColour(point.band));
    console.endLine();
    console.printLine("Try again-");
    return PickResult::tryAgain;
}

}  // namespace

int nearestObservation(std::span<const FileObservation> observations, int band, float cx,
                       float cy) {
    int candidate = -1;
    float best = 9999.0f;
    for (std::size_t j = 0; j < observations.size(); ++j) {
        const FileObservation& o = observations[j];
        if (!inFit(o) || o.band != static_cast<float>(band)) continue;
        const double dx = static_cast<double>(o.plotX) - cx;
        const double dy = static_cast<double>(o.plotY) - cy;
        const float d = f32(std::sqrt(dx * dx + dy * dy));
        // There is no largest distance: the nearest point is offered wherever the click was.
        if (best > d) {
            candidate = static_cast<int>(j);
            best = d;
        }
    }
    return candidate;
}

void runOutlierDialogue(std::span<FileObservation> observations, Console& console,
                        GraphicsWindow& window, const std::function<void()>& refit,
                        const std::function<void(int)>& draw) {
    bool askedBefore = false;
    for (;;) {
        console.toFront();
        console.endLine();
        const std::string answer =
            ask(console, askedBefore
                             ? "Do you want to remove more outliers from the data (Enter Y or N)? "
                             : "Do you want to remove outliers from the data (Enter Y or N)? ");
        if (answerIs(answer, 'N')) return;
        askedBefore = true;
        const int band = askBand(observations, console);
        draw(band);
        if (band == 0) continue;
        // Picking goes on, for the same band, until a point has been removed.
        PickResult result;
        do {
            result = pickAndConfirm(observations, band, console, window);
        } while (result == PickResult::tryAgain);
        if (result == PickResult::removed) {
            refit();
        } else {
            draw(0);
        }
    }
}

}  // namespace orvel
