#include "platform/scripted_window.h"

namespace orvel {

ScriptedWindow::ScriptedWindow(std::optional<DesktopSize> desktop) : desktop_(desktop) {}

std::string ScriptedWindow::noDisplayReason() {
    return desktop_ ? std::string() : std::string("No display is available.");
}

void ScriptedWindow::addClick(int x, int y) {
    script_.push_back({Step::click, x, y});
}

void ScriptedWindow::addDoubleClick(int x, int y) {
    script_.push_back({Step::doubleClick, x, y});
}

void ScriptedWindow::addClose() {
    script_.push_back({Step::close, 0, 0});
}

void ScriptedWindow::addPause() {
    script_.push_back({Step::pause, 0, 0});
}

void ScriptedWindow::doubleClickNow(int x, int y) {
    recordPress(x, y);
    recordDoubleClick(x, y);
}

void ScriptedWindow::pumpEvents() {
    showPending();
    // A pending click must be taken by the logic before the next step happens.
    if (script_.empty() || !isOpen() || clickPending()) return;
    const ScriptStep next = script_.front();
    script_.pop_front();
    switch (next.step) {
        case Step::click:
            recordPress(next.x, next.y);
            break;
        case Step::doubleClick:
            doubleClickNow(next.x, next.y);
            break;
        case Step::close:
            markClosedByUser();
            break;
        case Step::pause:
            break;
    }
}

bool ScriptedWindow::openNative(std::string_view caption, int left, int top, int width,
                                int height) {
    if (openFails_) return false;
    created_.push_back({std::string(caption), left, top, width, height});
    dirty_ = false;
    return true;
}

void ScriptedWindow::present(const Raster& surface) {
    shown_ = surface;
    dirty_ = false;
    ++presentCount_;
}

void ScriptedWindow::showPending() {
    if (dirty_) present(surface());
}

const Raster& ScriptedWindow::shown() {
    showPending();
    return shown_;
}

// Raising the SDL window pumps its events, which shows pending drawing.
void ScriptedWindow::focusNative() {
    showPending();
    ++focusCount_;
}

void ScriptedWindow::closeNative() {
    shown_ = Raster();
    dirty_ = false;
    ++closeCount_;
}

}  // namespace orvel
