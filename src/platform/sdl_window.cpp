#include "platform/sdl_window.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvel {

namespace {

// Two presses this close in time and place make a double click (the usual desktop defaults).
constexpr std::uint32_t kDoubleClickMs = 500;
constexpr int kDoubleClickPixels = 4;
// Shortest time between two copies of the picture to the screen during a burst of drawing.
constexpr std::uint32_t kShowIntervalMs = 15;

bool envIs(const char* name, const char* value) {
    const char* v = std::getenv(name);
    return v != nullptr && std::strcmp(v, value) == 0;
}

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Drivers that put a window on a screen someone looks at. SDL falls back to "offscreen" when
// no display can be reached, and a pick in an invisible window would wait forever.
bool isRealDisplay(const char* driver) {
    if (driver == nullptr) return false;
    return std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0 ||
           std::strcmp(driver, "kmsdrm") == 0;
}

// One line telling why no display can be used.
std::string noDisplayText() {
    if (envSet("SDL_VIDEODRIVER") && !isRealDisplay(std::getenv("SDL_VIDEODRIVER"))) {
        return std::string("No graphics display is available (SDL_VIDEODRIVER=") +
               std::getenv("SDL_VIDEODRIVER") + ").";
    }
    if (envSet("DISPLAY")) {
        return std::string("The graphics display ") + std::getenv("DISPLAY") +
               " cannot be reached.";
    }
    if (envSet("WAYLAND_DISPLAY")) {
        return std::string("The Wayland display ") + std::getenv("WAYLAND_DISPLAY") +
               " cannot be reached.";
    }
    return "No graphics display is available (DISPLAY is not set).";
}

void setWindowHints() {
    // Ctrl+C in the console must end the program, not turn into a window close event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Without this, X11 drops a press that arrives right after the window gains focus.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // An ordinary window: leave the desktop's compositing and screensaver alone.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The picture is copied in software; no graphics-card driver needs to be loaded for that.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

// Starts SDL's video on a display the user can see; false when there is none.
bool startVideo() {
    const bool driverChosen = envSet("SDL_VIDEODRIVER");
    // Nothing to connect to: SDL would only fall back to an invisible window.
    if (!driverChosen && !envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY")) return false;
    setWindowHints();
    // Without a Wayland session only X11 can show the window; trying the others would print
    // their complaints on the console.
    if (!driverChosen && !envSet("WAYLAND_DISPLAY")) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    } else {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (!isRealDisplay(SDL_GetCurrentVideoDriver()) && !envIs("ORVEL_ALLOW_OFFSCREEN", "1")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // The X server's own time of each press, for telling double clicks (see handlePress).
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    return true;
}

// The program's open windows: SDL has one event queue for all of them, so whichever window
// pumps it hands each event to the window it belongs to.
std::vector<SdlWindow*>& openWindows() {
    static std::vector<SdlWindow*> windows;
    return windows;
}

void forgetWindow(SdlWindow* window) {
    auto& all = openWindows();
    all.erase(std::remove(all.begin(), all.end(), window), all.end());
}

// The X server's time of the press SDL reports next (see noteNativeEvent); one queue, one note.
bool haveNativePressTime = false;
std::uint32_t nativePressTime = 0;  // server milliseconds

}  // namespace

SdlWindow::~SdlWindow() {
    forgetWindow(this);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (video_ == Video::ready) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // SDL_Quit also closes the session-bus connection that the video driver may have opened.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

bool SdlWindow::videoReady() {
    if (video_ != Video::untried) return video_ == Video::ready;
    video_ = startVideo() ? Video::ready : Video::unavailable;
    if (video_ == Video::unavailable) noDisplay_ = noDisplayText();
    return video_ == Video::ready;
}

std::optional<DesktopSize> SdlWindow::desktopSize() {
    if (!videoReady()) return std::nullopt;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        noDisplay_ = std::string("The desktop size cannot be read: ") + SDL_GetError();
        return std::nullopt;
    }
    noDisplay_.clear();
    return DesktopSize{mode.w, mode.h};
}

std::string SdlWindow::noDisplayReason() {
    videoReady();
    return noDisplay_;
}

bool SdlWindow::openNative(std::string_view caption, int left, int top, int width, int height) {
    if (!videoReady()) return false;
    const std::string title(caption);
    window_ = SDL_CreateWindow(title.c_str(), left, top, width, height, SDL_WINDOW_SHOWN);
    if (window_ == nullptr) return false;
    windowId_ = SDL_GetWindowID(window_);
    openWindows().push_back(this);
    havePress_ = false;
    dirty_ = false;
    lastShownMs_ = 0;
    return true;
}

void SdlWindow::present(const Raster&) {
    showNow();
}

void SdlWindow::presentSoon(const Raster&) {
    dirty_ = true;
    // A graph in immediate mode draws hundreds of shapes in a burst, and each copy to the
    // screen costs milliseconds; copying at most every few milliseconds keeps that fast, and
    // the next event pump (which runs before every wait) shows the rest.
    if (SDL_GetTicks() - lastShownMs_ >= kShowIntervalMs) showNow();
}

void SdlWindow::showNow() {
    if (window_ == nullptr) return;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (target == nullptr) return;
    const Raster& picture = surface();
    // SDL only reads the source of a blit; its API is not const-correct.
    void* pixels = const_cast<std::uint8_t*>(picture.rgbBytes().data());
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        pixels, picture.width(), picture.height(), 24, picture.width() * 3, SDL_PIXELFORMAT_RGB24);
    if (source == nullptr) return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
    dirty_ = false;
    lastShownMs_ = SDL_GetTicks();
}

void SdlWindow::pumpEvents() {
    // Any window's pump serves every open window, this one open or not.
    if (openWindows().empty()) return;
    dispatchEvents();
}

void SdlWindow::dispatchEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        for (SdlWindow* window : openWindows()) window->handleEvent(&event);
    }
    for (SdlWindow* window : openWindows()) {
        if (window->dirty_) window->showNow();
    }
}

// Every open window sees every event and takes those addressed to it.
void SdlWindow::handleEvent(const void* raw) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(raw);
    switch (event.type) {
        case SDL_SYSWMEVENT:
            noteNativeEvent(event.syswm.msg);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.windowID == windowId_ && event.button.button == SDL_BUTTON_LEFT) {
                // SDL stamps an event when it is pumped; the server's time is when it happened.
                const std::uint32_t when =
                    haveNativePressTime ? nativePressTime : event.button.timestamp;
                handlePress(event.button.x, event.button.y, when);
                haveNativePressTime = false;
            }
            break;
        case SDL_MOUSEMOTION:
            if (event.motion.windowID == windowId_) recordPointer(event.motion.x, event.motion.y);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != windowId_) break;
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                markClosedByUser();
                SDL_HideWindow(window_);
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                       event.window.event == SDL_WINDOWEVENT_SHOWN ||
                       event.window.event == SDL_WINDOWEVENT_RESTORED ||
                       event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                // The screen lost (part of) the picture: paint it again from the surface.
                dirty_ = true;
            }
            break;
        case SDL_QUIT:
            markClosedByUser();
            break;
        default:
            break;
    }
}

// SDL reports each native event just before the SDL events made from it.
void SdlWindow::noteNativeEvent(const void* message) {
#ifdef SDL_VIDEO_DRIVER_X11
    const auto* msg = static_cast<const SDL_SysWMmsg*>(message);
    if (msg != nullptr && msg->subsystem == SDL_SYSWM_X11 &&
        msg->msg.x11.event.type == ButtonPress && msg->msg.x11.event.xbutton.button == Button1) {
        nativePressTime = static_cast<std::uint32_t>(msg->msg.x11.event.xbutton.time);
        haveNativePressTime = true;
    }
#else
    (void)message;
#endif
}

// SDL counts double clicks when events are processed, so two clicks queued while the program
// was busy could pass for one double click; the events' own times and places decide instead.
void SdlWindow::handlePress(int x, int y, std::uint32_t timestamp) {
    const bool isDouble = havePress_ && timestamp - pressMs_ <= kDoubleClickMs &&
                          std::abs(x - pressX_) <= kDoubleClickPixels &&
                          std::abs(y - pressY_) <= kDoubleClickPixels;
    if (isDouble) {
        recordDoubleClick(x, y);
        // A third press starts a new click rather than another double click.
        havePress_ = false;
        return;
    }
    recordPress(x, y);
    havePress_ = true;
    pressMs_ = timestamp;
    pressX_ = x;
    pressY_ = y;
}

void SdlWindow::focusNative() {
    if (window_ == nullptr) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
    pumpEvents();
}

void SdlWindow::closeNative() {
    if (window_ == nullptr) return;
    forgetWindow(this);
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    windowId_ = 0;
    dirty_ = false;
    // Events of the window that is gone must not reach the next one; the other windows' events
    // still go to them.
    dispatchEvents();
}

std::optional<Raster> SdlWindow::shownPixels() {
    if (window_ == nullptr) return std::nullopt;
    if (dirty_) showNow();
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (target == nullptr) return std::nullopt;
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(target, SDL_PIXELFORMAT_RGB24, 0);
    if (copy == nullptr) return std::nullopt;
    Raster out(copy->w, copy->h);
    SDL_LockSurface(copy);
    const auto* bytes = static_cast<const std::uint8_t*>(copy->pixels);
    for (int y = 0; y < copy->h; ++y) {
        const std::uint8_t* row = bytes + static_cast<std::ptrdiff_t>(y) * copy->pitch;
        for (int x = 0; x < copy->w; ++x) {
            out.setPixel(x, y, {row[3 * x], row[3 * x + 1], row[3 * x + 2]});
        }
    }
    SDL_UnlockSurface(copy);
    SDL_FreeSurface(copy);
    return out;
}

}  // namespace orvel
