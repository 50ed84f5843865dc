#include "analysis/selection.h"

#include "run/dialogue.h"
#include "run/numeric.h"

namespace orvel {

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

void logClick(RunLog& log, std::string_view heading, float x, float y) {
    log.end().line(heading);
    log.text("   COLUMN = ").num(x).end();
    log.text("      ROW = ").num(y).end();
}

void drawStarCircle(GraphicsWindow& window, const StarSelection& s, Rgb colour) {
    const double r = s.radius;
    window.ellipse(s.starX - r, s.starY - r, s.starX + r, s.starY + r, colour, std::nullopt);
    window.redraw();
}

void drawBackgroundBox(GraphicsWindow& window, const StarSelection& s, Rgb colour) {
    // The rectangle is measured in image pixels and shown reduced by the screen factor.
    const double sf = s.screenFactor;
    window.box(s.x1 / sf, s.y1 / sf, s.x2 / sf, s.y2 / sf, colour, std::nullopt);
    window.redraw();
}

void pickStar(GraphicsWindow& window, Console& console, RunLog& log, StarSelection& s) {
    for (;;) {
        console.endLine();
        console.printLine("Using the mouse, put the cursor on the target star and left-click.");
        window.focus();
        const Click click = window.waitForClick();
        s.starX = click.x;
        s.starY = click.y;
        logStarPick(log, click.x, click.y);
        s.radius = 10.0f;
        drawStarCircle(window, s, kRed);
        console.toFront();
        console.endLine();
        if (askFor(console, "Is the target star within the red circle (Enter Y or N)? ", 'Y'))
            return;
        // The rejected spot stays marked in blue.
        drawStarCircle(window, s, kBlue);
    }
}

void pickBackground(GraphicsWindow& window, Console& console, RunLog& log, StarSelection& s,
                    int columns, int rows) {
    for (;;) {
        console.endLine();
        console.printLine("Using the mouse, put the cursor on an area in the image");
        console.printLine("that is mostly background and left-click.");
        window.focus();
        const Click click = window.waitForClick();
        s.backgroundX = click.x;
        s.backgroundY = click.y;
        logBackgroundPick(log, click.x, click.y);
        placeBackgroundRectangle(s, columns, rows);
        drawBackgroundBox(window, s, kRed);
        console.toFront();
        console.endLine();
        if (askFor(console, "Does the red rectangle contain mostly background (Enter Y or N)? ",
                   'Y'))
            return;
        drawBackgroundBox(window, s, kBlue);
    }
}

}  // namespace

void logStarPick(RunLog& log, float x, float y) {
    logClick(log, "Initial target star position:", x, y);
}

void logBackgroundPick(RunLog& log, float x, float y) {
    logClick(log, "Initial background rectangle position:", x, y);
}

void placeBackgroundRectangle(StarSelection& s, int columns, int rows) {
    // Half-sizes are a fiftieth of the image in each direction.
    const float hw = f32(columns / 50.0);
    const float hh = f32(rows * static_cast<double>(hw) / columns);
    const double cx = static_cast<double>(s.screenFactor) * s.backgroundX;
    const double cy = static_cast<double>(s.screenFactor) * s.backgroundY;
    // Near an edge the rectangle is clipped, not shifted.
    s.x1 = f32(cx - hw);
    if (s.x1 < 1.0f) s.x1 = 1.0f;
    s.x2 = f32(cx + hw);
    if (s.x2 > static_cast<float>(columns)) s.x2 = static_cast<float>(columns);
    s.y1 = f32(cy - hh);
    if (s.y1 < 1.0f) s.y1 = 1.0f;
    s.y2 = f32(cy + hh);
    if (s.y2 > static_cast<float>(rows)) s.y2 = static_cast<float>(rows);
}

StarSelection selectStarAndBackground(GraphicsWindow& window, Console& console, RunLog& log,
                                      int columns, int rows, float screenFactor) {
    StarSelection s;
    s.screenFactor = screenFactor;
    pickStar(window, console, log, s);
    pickBackground(window, console, log, s, columns, rows);
    window.close();
    return s;
}

}  // namespace orvel
