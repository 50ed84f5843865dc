// The SDL2 window: drawing through SDL's offscreen driver, the refusal of invisible windows,
// and, where Xvfb and xdotool are installed, real clicks on a real X display.
#ifdef ORVEL_WITH_SDL

#include "platform/sdl_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/scripted_window.h"
#include "platform/session_end.h"

extern char** environ;

// SDL's video start-up connects to the session bus, and libdbus keeps that connection's buffer
// for the life of the process; the leak checker would report it at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace orvel {
namespace {

// Sets the environment variables SDL and the window read, and puts them back afterwards.
class Environment {
  public:
    void set(const char* name, const char* value) {
        remember(name);
        ::setenv(name, value, 1);
    }
    void unset(const char* name) {
        remember(name);
        ::unsetenv(name);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had) {
                ::setenv(it->name.c_str(), it->value.c_str(), 1);
            } else {
                ::unsetenv(it->name.c_str());
            }
        }
    }

  private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    void remember(const char* name) {
        const char* v = std::getenv(name);
        saved_.push_back({name, v != nullptr, v != nullptr ? v : ""});
    }
    std::vector<Saved> saved_;
};

// The same drawing as the program does it: a grey picture in buffered mode, then marks.
void drawSample(GraphicsWindow& w) {
    w.attach(DrawMode::buffered);
    w.clear({0, 0, 0});
    for (int y = 0; y < 48; y += 3) {
        for (int x = 0; x < 64; x += 2) w.setPixel(x, y, {x * 4, x * 4, x * 4});
    }
    w.redraw();
    w.attach(DrawMode::immediate);
    w.ellipse(20 - 10, 20 - 10, 20 + 10, 20 + 10, {255, 0, 0}, std::nullopt);
    w.box(40.5, 30, 60, 44.5, {0, 0, 255}, Rgb{0, 170, 100});
    w.line(0, 47, 63.5, 0.5, {255, 210, 0});
    w.setPixel(2.5, 3.5, {300, 128, -4});
}

TEST(SdlWindow, OffscreenWindowDrawsWhatTheScriptedWindowDraws) {
    Environment env;
    env.set("SDL_VIDEODRIVER", "offscreen");
    env.set("ORVEL_ALLOW_OFFSCREEN", "1");
    SdlWindow sdl;
    ASSERT_TRUE(sdl.desktopSize().has_value()) << sdl.noDisplayReason();
    EXPECT_EQ(sdl.noDisplayReason(), "");
    ASSERT_TRUE(sdl.create("Log of Magnitude on Y-axis versus Airmass on X-axis", 0, 0, 64, 48));
    ScriptedWindow scripted;
    scripted.create("same", 0, 0, 64, 48);
    drawSample(sdl);
    drawSample(scripted);
    EXPECT_EQ(sdl.surface().rgbBytes(), scripted.surface().rgbBytes());
    // What SDL shows is the surface itself.
    sdl.pumpEvents();
    const std::optional<Raster> shown = sdl.shownPixels();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->rgbBytes(), sdl.surface().rgbBytes());
    // The offscreen driver delivers no input: the latch stays empty.
    sdl.focus();
    EXPECT_EQ(sdl.clickQuery().flag, 0);
    sdl.close();
    EXPECT_FALSE(sdl.isOpen());
    EXPECT_FALSE(sdl.shownPixels().has_value());
}

TEST(SdlWindow, BufferedDrawingIsShownOnlyAfterRedraw) {
    Environment env;
    env.set("SDL_VIDEODRIVER", "offscreen");
    env.set("ORVEL_ALLOW_OFFSCREEN", "1");
    SdlWindow sdl;
    ASSERT_TRUE(sdl.create("image", 0, 0, 8, 6));
    sdl.attach(DrawMode::buffered);
    sdl.clear({0, 0, 0});
    // (No events are pumped here: an expose would repaint the window from the surface.)
    EXPECT_EQ(sdl.shownPixels()->pixel(3, 3), kDefaultWindowColour);
    sdl.redraw();
    EXPECT_EQ(sdl.shownPixels()->pixel(3, 3), (Rgb{0, 0, 0}));
}

TEST(SdlWindow, InvisibleDriversAreNotTakenForADisplay) {
    Environment env;
    env.set("SDL_VIDEODRIVER", "offscreen");
    env.unset("ORVEL_ALLOW_OFFSCREEN");
    env.unset("DISPLAY");
    SdlWindow sdl;
    EXPECT_FALSE(sdl.desktopSize().has_value());
    EXPECT_EQ(sdl.noDisplayReason(),
              "No graphics display is available (SDL_VIDEODRIVER=offscreen).");
    EXPECT_FALSE(sdl.create("x", 0, 0, 10, 10));
    EXPECT_THROW(sdl.waitForClick(), SessionEnded);
}

TEST(SdlWindow, WithoutAnyDisplayTheReasonNamesTheMissingVariable) {
    Environment env;
    env.unset("SDL_VIDEODRIVER");
    env.unset("DISPLAY");
    env.unset("WAYLAND_DISPLAY");
    SdlWindow sdl;
    EXPECT_FALSE(sdl.desktopSize().has_value());
    EXPECT_EQ(sdl.noDisplayReason(), "No graphics display is available (DISPLAY is not set).");
}

TEST(SdlWindow, UnreachableDisplayIsReportedInOneLine) {
    Environment env;
    env.unset("SDL_VIDEODRIVER");
    env.unset("WAYLAND_DISPLAY");
    env.set("DISPLAY", ":4093");
    SdlWindow sdl;
    EXPECT_FALSE(sdl.desktopSize().has_value());
    EXPECT_EQ(sdl.noDisplayReason(), "The graphics display :4093 cannot be reached.");
}

// Runs a program to its end; its exit status, or -1 when it cannot be started.
int run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool onPath(const std::string& program) {
    return run({"sh", "-c", "command -v " + program + " >/dev/null"}) == 0;
}

// An X server of its own for one test, on a display number the server picks itself.
class VirtualDisplay {
  public:
    VirtualDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        // -noreset: the server would otherwise restart, and write its number again, each time
        // its last client leaves.
        std::vector<std::string> args{"Xvfb",       "-displayfd", fd,    "-screen", "0",
                                      "800x600x24", "-nolisten",  "tcp", "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        // The server writes its display number once it accepts connections.
        char buf[32] = {};
        const ssize_t n = pid_ != 0 ? ::read(fds[0], buf, sizeof buf - 1) : 0;
        numberPipe_ = fds[0];  // kept open: a write to a closed pipe would end the server
        if (n > 0) name_ = ":" + std::to_string(std::atoi(buf));
    }
    ~VirtualDisplay() {
        if (pid_ != 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (numberPipe_ >= 0) ::close(numberPipe_);
    }
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = 0;
    int numberPipe_ = -1;
    std::string name_;
};

// Waits for a click like the program does, but gives up (flag 0) when none ever comes.
Click waitABit(SdlWindow& w) {
    for (int i = 0; i < 1000; ++i) {
        w.pumpEvents();
        const Click c = w.clickQuery();
        if (c.flag != 0) return c;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

TEST(SdlWindow, RealClicksOnAnXDisplayReachTheLatch) {
    if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
    VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    Environment env;
    env.set("DISPLAY", display.name().c_str());
    env.unset("SDL_VIDEODRIVER");
    env.unset("WAYLAND_DISPLAY");
    env.unset("ORVEL_ALLOW_OFFSCREEN");
    SdlWindow sdl;
    const std::optional<DesktopSize> desktop = sdl.desktopSize();
    ASSERT_TRUE(desktop.has_value()) << sdl.noDisplayReason();
    EXPECT_EQ(desktop->width, 800);
    EXPECT_EQ(desktop->height, 600);
    ASSERT_TRUE(sdl.create("clicks", 0, 0, 300, 200));
    sdl.clear({255, 255, 255});
    sdl.focus();

    ASSERT_EQ(run({"xdotool", "mousemove", "30", "40", "click", "1"}), 0);
    const Click single = waitABit(sdl);
    EXPECT_EQ(single.flag, 1);
    EXPECT_EQ(single.x, 30.0f);
    EXPECT_EQ(single.y, 40.0f);

    // A double click ends two waits: the press, then the double-click bit, same place.
    ASSERT_EQ(
        run({"xdotool", "mousemove", "120", "80", "click", "--repeat", "2", "--delay", "60", "1"}),
        0);
    const Click first = waitABit(sdl);
    const Click second = waitABit(sdl);
    EXPECT_EQ(first.flag, 1);
    EXPECT_EQ(second.flag, 2);
    EXPECT_EQ(second.x, 120.0f);
    EXPECT_EQ(second.y, 80.0f);

    // Two clicks far apart in time, queued while the program was busy, stay two single
    // clicks: the later one is held, and there is no double click.
    ASSERT_EQ(run({"xdotool", "mousemove", "200", "150", "click", "--repeat", "2", "--delay", "700",
                   "1"}),
              0);
    const Click later = waitABit(sdl);
    EXPECT_EQ(later.flag, 1);
    EXPECT_EQ(later.x, 200.0f);
    EXPECT_EQ(sdl.clickQuery().flag, 0);
    sdl.close();

    // A second window beside the first: one event queue, and each click or pointer move is
    // handed to the window it landed on, whichever window's wait pumps the queue.
    ASSERT_TRUE(sdl.create("clicks", 0, 0, 300, 200));
    SdlWindow beside;
    ASSERT_TRUE(beside.create("beside", 400, 0, 200, 150));
    sdl.focus();
    ASSERT_EQ(run({"xdotool", "mousemove", "450", "60", "click", "1"}), 0);
    // Pumps through one window until the other holds the click.
    const auto clickThrough = [](SdlWindow& pump, SdlWindow& target) {
        for (int i = 0; i < 400; ++i) {
            pump.pumpEvents();
            const Click c = target.clickQuery();
            if (c.flag != 0) return c;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Click{};
    };
    const Click onBeside = clickThrough(sdl, beside);
    EXPECT_EQ(onBeside.flag, 1);
    EXPECT_EQ(onBeside.x, 50.0f);
    EXPECT_EQ(sdl.clickQuery().flag, 0);
    ASSERT_EQ(run({"xdotool", "mousemove", "50", "70", "click", "1"}), 0);
    const Click onFirst = clickThrough(beside, sdl);
    EXPECT_EQ(onFirst.flag, 1);
    EXPECT_EQ(onFirst.x, 50.0f);
    EXPECT_EQ(beside.clickQuery().flag, 0);
    ASSERT_EQ(run({"xdotool", "mousemove", "460", "90"}), 0);
    for (int i = 0; i < 200 && !(beside.pointer() && beside.pointer()->y == 90.0f); ++i) {
        sdl.pumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(beside.pointer().has_value());
    EXPECT_EQ(beside.pointer()->x, 60.0f);
    EXPECT_EQ(beside.pointer()->y, 90.0f);
    beside.close();
    sdl.close();
}

}  // namespace
}  // namespace orvel

#endif  // ORVEL_WITH_SDL
