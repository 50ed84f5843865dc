// The graphics window on a real desktop, through SDL2. Events are handled on the calling
// thread whenever pumpEvents() runs: the console calls it while it waits for a typed line and
// waitForClick() calls it while it waits for a click, so the window stays responsive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/graphics_window.h"

struct SDL_Window;

namespace orvel {

class SdlWindow : public GraphicsWindow {
  public:
    SdlWindow() = default;
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    // Empty when SDL reaches no real display (no X11 or Wayland server); SDL's offscreen and
    // dummy drivers count as a display only when ORVEL_ALLOW_OFFSCREEN=1 is set.
    std::optional<DesktopSize> desktopSize() override;
    std::string noDisplayReason() override;

    void pumpEvents() override;

    // The pixels of the visible window, read back from SDL (for checking what is shown).
    // Empty when no window is open.
    std::optional<Raster> shownPixels();

  protected:
    bool openNative(std::string_view caption, int left, int top, int width, int height) override;
    void present(const Raster& surface) override;
    void presentSoon(const Raster& surface) override;
    void focusNative() override;
    void closeNative() override;

  private:
    bool videoReady();
    // Takes every queued event and hands it to the open windows; shows what they drew.
    static void dispatchEvents();
    void handleEvent(const void* event);
    void noteNativeEvent(const void* message);
    void handlePress(int x, int y, std::uint32_t timestamp);
    void showNow();

    enum class Video { untried, ready, unavailable };
    Video video_ = Video::untried;
    std::string noDisplay_;  // why no display can be used; empty when one can
    SDL_Window* window_ = nullptr;
    std::uint32_t windowId_ = 0;
    bool dirty_ = false;             // the surface has changes not yet shown
    std::uint32_t lastShownMs_ = 0;  // SDL ticks of the last copy to the screen
    // The previous press, to tell a double click by the events' own times and places.
    bool havePress_ = false;
    std::uint32_t pressMs_ = 0;  // milliseconds (server time, else SDL ticks)
    int pressX_ = 0;             // client pixels
    int pressY_ = 0;             // client pixels
};

}  // namespace orvel
