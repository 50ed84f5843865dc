// Picking the star and a background patch in the picture of the first image.
#pragma once

#include "analysis/star_selection.h"
#include "dialogue/magnifier.h"
#include "night/night_log.h"
#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

// The size of the frame picked on and the reduction of its picture.
struct PickedFrame {
    int columns = 0;            // image pixels
    int rows = 0;               // image pixels
    float screenFactor = 1.0f;  // image pixels per window pixel
};

// Runs both picks, each confirmed on the console and repeated until confirmed; closes the
// window (and the magnifier) at the end. Each click may be made in the window or in the
// magnifier. Throws SessionEnded when the window is closed or the input ends.
StarSelection selectStarAndBackground(GraphicsWindow& window, Magnifier& magnifier,
                                      Console& console, PickRecorder& picks,
                                      const PickedFrame& frame);

}  // namespace orvel
