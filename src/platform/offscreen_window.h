// A window that is never shown: the graph is drawn on its surface and saved, with no display.
// When nothing will be saved it need not draw at all: it then opens no surface, and drawing
// has no effect.
#pragma once

#include "platform/graphics_window.h"

namespace orvel {

class OffscreenWindow : public GraphicsWindow {
  public:
    enum class Surface { drawn, none };
    explicit OffscreenWindow(Surface surface = Surface::drawn) : surface_(surface) {}

    std::optional<DesktopSize> desktopSize() override { return std::nullopt; }
    std::string noDisplayReason() override { return "the run has no window"; }

  protected:
    bool openNative(std::string_view, int, int, int, int) override {
        return surface_ == Surface::drawn;
    }
    void present(const Raster&) override {}
    void closeNative() override {}
    // Nobody can click: a wait for a click ends the session at once.
    bool idleWhileWaiting() override { return false; }

  private:
    Surface surface_;
};

}  // namespace orvel
