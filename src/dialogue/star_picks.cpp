#include "dialogue/star_picks.h"

#include "dialogue/dialogue.h"
#include "night/night_log.h"

namespace orvel {

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

// What the magnifier says while the user answers a question rather than clicks.
constexpr std::string_view kAnswer = "Answer the question on the console.";

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

void pickStar(GraphicsWindow& window, Magnifier& magnifier, Console& console, PickRecorder& picks,
              StarSelection& s) {
    for (;;) {
        console.endLine();
        console.printLine("Using the mouse, put the cursor on the target star and left-click.");
        window.focus();
        magnifier.say("Click the target star, here or in the image.");
        const Click click = magnifier.waitForPick(window);
        magnifier.say(kAnswer);
        s.starX = click.x;
        s.starY = click.y;
        picks.star(click.x, click.y);
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

void pickBackground(GraphicsWindow& window, Magnifier& magnifier, Console& console,
                    PickRecorder& picks, StarSelection& s, const PickedFrame& frame) {
    for (;;) {
        console.endLine();
        console.printLine("Using the mouse, put the cursor on an area in the image");
        console.printLine("that is mostly background and left-click.");
        window.focus();
        magnifier.say("Click an area that is mostly background.");
        const Click click = magnifier.waitForPick(window);
        magnifier.say(kAnswer);
        s.backgroundX = click.x;
        s.backgroundY = click.y;
        picks.background(click.x, click.y);
        placeBackgroundRectangle(s, frame.columns, frame.rows);
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

StarSelection selectStarAndBackground(GraphicsWindow& window, Magnifier& magnifier,
                                      Console& console, PickRecorder& picks,
                                      const PickedFrame& frame) {
    StarSelection s;
    s.screenFactor = frame.screenFactor;
    pickStar(window, magnifier, console, picks, s);
    pickBackground(window, magnifier, console, picks, s, frame);
    window.close();
    magnifier.close();
    return s;
}

}  // namespace orvel
