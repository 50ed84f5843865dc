// The one graphics window: caption, client area of exact size, a drawing surface, and a click
// latch that records left clicks while the logic is busy or waiting on the console.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/raster.h"

namespace orvel {

struct DesktopSize {
    int width = 0;   // pixels
    int height = 0;  // pixels
};

// Result of a click query: flag 0 (none), 1 (single click) or 2 (double-click bit only).
struct Click {
    int flag = 0;
    float x = 0.0f;  // client pixels
    float y = 0.0f;
};

enum class DrawMode { immediate, buffered };

// The drawing operations, the latch and the surface are common to every implementation; a
// platform supplies only the native window (open, present, focus, events, close).
class GraphicsWindow {
  public:
    virtual ~GraphicsWindow() = default;

    // Size of the whole desktop; empty when no display can be reached.
    virtual std::optional<DesktopSize> desktopSize() = 0;
    // A short reason when no display can be reached (empty when one can).
    virtual std::string noDisplayReason() { return {}; }

    // Opens the window at (left, top) with a client area of width x height, its surface filled
    // with the default window colour; an open window is closed first. False when no window could
    // be opened (the surface is then empty and drawing has no effect).
    bool create(std::string_view caption, int left, int top, int width, int height);
    void attach(DrawMode mode) { mode_ = mode; }
    bool isOpen() const { return open_; }

    // Drawing: coordinates are rounded half to even, colours clamped to 0..255. A shape with a
    // coordinate that is not finite is not drawn. In immediate mode every operation is shown at
    // once; in buffered mode only redraw() shows the surface.
    void clear(Rgb colour);
    void setPixel(double x, double y, Rgb colour);
    void line(double x1, double y1, double x2, double y2, Rgb colour);
    void box(double x1, double y1, double x2, double y2, Rgb outline, std::optional<Rgb> fill);
    void ellipse(double x1, double y1, double x2, double y2, Rgb outline, std::optional<Rgb> fill);
    // A whole picture copied with its top-left corner at (left, top), clipped to the surface.
    void picture(const Raster& from, int left, int top);
    void redraw();

    void focus();
    // Read-and-clear of the latch: cannot lose a click arriving at the same moment.
    Click clickQuery();
    // Handles pending window events (painting, clicks, closing). Called while the logic waits.
    virtual void pumpEvents() {}
    // Waits for a click (a single or a double click), pumping events. Throws SessionEnded when
    // the window is closed by the user (or can deliver no more clicks) while waiting.
    Click waitForClick();
    // The same wait, also ended by a click that `beside` hands over: it is asked after every
    // pump, before this window's own latch, and gives a click in this window's client pixels
    // (from another window whose clicks stand for clicks here) or nothing.
    Click waitForClick(const std::function<std::optional<Click>()>& beside);
    // The user closed the window (it stays open for the program until it closes it).
    bool closedByUser() const { return closedByUser_; }

    // Where the pointer last moved over the client area (client pixels); empty until it has.
    std::optional<Click> pointer() const { return pointer_; }

    // Closes the window and releases its surface. No effect when no window is open.
    void close();
    const Raster& surface() const { return surface_; }

  protected:
    // Records a left-button press (flag becomes exactly 1) or a double click (bit 2 added).
    void recordPress(int x, int y);
    void recordDoubleClick(int x, int y);
    // Records where the pointer moved to.
    void recordPointer(int x, int y) {
        pointer_ = Click{0, static_cast<float>(x), static_cast<float>(y)};
    }
    // True while a click waits in the latch for the next query.
    bool clickPending() const { return (latch_.load() & 0x3) != 0; }
    // The user closed the window.
    void markClosedByUser() { closedByUser_ = true; }

    virtual bool openNative(std::string_view caption, int left, int top, int width, int height) = 0;
    // Shows the surface in the window now (after create and on redraw).
    virtual void present(const Raster& surface) = 0;
    // Shows the surface after an operation in immediate mode; a window may gather a burst of
    // such operations into one update, as long as it shows them before it next waits.
    virtual void presentSoon(const Raster& surface) { present(surface); }
    virtual void focusNative() {}
    virtual void closeNative() = 0;
    // Called by waitForClick when no click is pending: false when no click can ever come
    // (a scripted window out of clicks). The default sleeps briefly and returns true.
    virtual bool idleWhileWaiting();

  private:
    void afterDraw();

    Raster surface_;
    DrawMode mode_ = DrawMode::immediate;
    bool open_ = false;
    bool closedByUser_ = false;
    std::optional<Click> pointer_;  // last pointer place over the window (flag unused)
    // Latch: bits 0x1 single press, 0x2 double click; x and y packed beside them, so that the
    // event side and the logic side exchange one word and can never lose a click.
    std::atomic<std::uint64_t> latch_{0};
};

// Default colour of a new window's client area until the program clears it.
inline constexpr Rgb kDefaultWindowColour{240, 240, 240};

}  // namespace orvel
