// A window that is never shown: the graph is drawn on its surface and saved, with no display.
#pragma once

#include "platform/graphics_window.h"

namespace orvel {

class OffscreenWindow : public GraphicsWindow {
public:
    std::optional<DesktopSize> desktopSize() override { return std::nullopt; }
    std::string noDisplayReason() override { return "the run has no window"; }

protected:
    bool openNative(std::string_view, int, int, int, int) override { return true; }
    void present(const Raster&) override {}
    void closeNative() override {}
    // Nobody can click: a wait for a click ends the session at once.
    bool idleWhileWaiting() override { return false; }
};

}  // namespace orvel
