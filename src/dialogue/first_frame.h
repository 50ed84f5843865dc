// The first usable frame in the interactive run: its statistics, its picture in the window and
// the star and background picks.
#pragma once

#include "night/night_log.h"
#include "night/night_loop.h"
#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

// The picker of the interactive program: statistics, the image in the window, mouse picks,
// with the magnified view beside it when a magnifier window is given (null: none).
// Throws SessionEnded when no window can be opened.
StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             GraphicsWindow* magnifierWindow, PickRecorder& picks);

}  // namespace orvel
