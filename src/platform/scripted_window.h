// A graphics window for tests: no screen, the desktop size is set by the test, and the user's
// clicks (and closing the window) come from a script that the test writes in advance.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/graphics_window.h"

namespace orvel {

// One window the program created.
struct CreatedWindow {
    std::string caption;
    int left = 0;    // desktop pixels
    int top = 0;     // desktop pixels
    int width = 0;   // client pixels
    int height = 0;  // client pixels
};

class ScriptedWindow : public GraphicsWindow {
  public:
    explicit ScriptedWindow(std::optional<DesktopSize> desktop = DesktopSize{1920, 1080});

    std::optional<DesktopSize> desktopSize() override { return desktop_; }
    std::string noDisplayReason() override;
    void setDesktopSize(std::optional<DesktopSize> desktop) { desktop_ = desktop; }
    // Makes the next create() fail, as when the windowing system refuses a window.
    void setOpenFails(bool fails) { openFails_ = fails; }

    // Script. Each step is delivered by one pumpEvents() while the latch is empty, so every
    // scripted click ends exactly one wait for a click.
    void addClick(int x, int y);
    // A double click: the press (flag 1) and the double-click bit (2) at the same position.
    void addDoubleClick(int x, int y);
    // The user closes the window; waits after this step end the session.
    void addClose();
    // A pump in which the user does nothing (a wait goes on looking).
    void addPause();
    // A click that happens right now, for example while the console waits for an answer.
    void clickNow(int x, int y) { recordPress(x, y); }
    void doubleClickNow(int x, int y);
    void closeNow() { markClosedByUser(); }
    // The pointer moves to (x, y) over the client area right now.
    void movePointerNow(int x, int y) { recordPointer(x, y); }
    std::size_t stepsLeft() const { return script_.size(); }

    // Shows pending drawing, then delivers the next scripted step when no click is pending.
    void pumpEvents() override;

    // What the program did with its windows.
    const std::vector<CreatedWindow>& created() const { return created_; }
    // The surface as shown on the (pretend) screen: differs from surface() in buffered mode
    // until redraw(). Like the SDL window's read-back, it first shows pending immediate drawing.
    const Raster& shown();
    int presentCount() const { return presentCount_; }
    int focusCount() const { return focusCount_; }
    int closeCount() const { return closeCount_; }

  protected:
    bool openNative(std::string_view caption, int left, int top, int width, int height) override;
    void present(const Raster& surface) override;
    // As on a real screen, a burst of immediate drawing is shown once, at the next pump.
    void presentSoon(const Raster&) override { dirty_ = true; }
    void focusNative() override;
    void closeNative() override;
    // A wait with nothing left in the script can never end: the session ends instead.
    bool idleWhileWaiting() override { return !script_.empty(); }

  private:
    void showPending();

    enum class Step { click, doubleClick, close, pause };
    struct ScriptStep {
        Step step = Step::click;
        int x = 0;  // client pixels
        int y = 0;  // client pixels
    };

    std::optional<DesktopSize> desktop_;
    bool openFails_ = false;
    std::deque<ScriptStep> script_;
    std::vector<CreatedWindow> created_;
    Raster shown_;
    bool dirty_ = false;  // the surface has immediate drawing not yet shown
    int presentCount_ = 0;
    int focusCount_ = 0;
    int closeCount_ = 0;
};

}  // namespace orvel
