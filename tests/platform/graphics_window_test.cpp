#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "graph/graph_file.h"
#include "platform/scripted_window.h"
#include "platform/session_end.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

void expectClick(const Click& c, int flag, float x, float y) {
    EXPECT_EQ(c.flag, flag);
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
}

TEST(GraphicsWindow, CreateOpensAWindowInTheDefaultColour) {
    ScriptedWindow w;
    ASSERT_TRUE(w.create("ORVEL_0001R.fit", 0, 0, 40, 30));
    EXPECT_TRUE(w.isOpen());
    ASSERT_EQ(w.created().size(), 1u);
    EXPECT_EQ(w.created()[0].caption, "ORVEL_0001R.fit");
    EXPECT_EQ(w.created()[0].width, 40);
    EXPECT_EQ(w.created()[0].height, 30);
    EXPECT_EQ(w.surface().width(), 40);
    EXPECT_EQ(w.surface().pixel(39, 29), kDefaultWindowColour);
    EXPECT_EQ(w.shown().pixel(0, 0), kDefaultWindowColour);
}

TEST(GraphicsWindow, WindowThatCannotOpenDrawsNothing) {
    ScriptedWindow w(std::nullopt);
    EXPECT_FALSE(w.desktopSize().has_value());
    EXPECT_FALSE(w.noDisplayReason().empty());
    w.setOpenFails(true);
    EXPECT_FALSE(w.create("x", 0, 0, 10, 10));
    EXPECT_FALSE(w.isOpen());
    w.clear(kRed);
    w.line(0, 0, 9, 9, kRed);
    EXPECT_EQ(w.surface().width(), 0);
    EXPECT_THROW(w.waitForClick(), SessionEnded);
    test::TempDir dir;
    EXPECT_FALSE(saveWindowPicture(w, dir / "ORVEL.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ORVEL.bmp"));
}

TEST(GraphicsWindow, CoordinatesRoundHalfToEvenAndColoursClamp) {
    ScriptedWindow w;
    w.create("r", 0, 0, 8, 8);
    w.clear({0, 0, 0});
    w.setPixel(2.5, 3.5, kRed);    // rounds to (2, 4)
    w.setPixel(0.5, 1.5, kWhite);  // rounds to (0, 2)
    w.setPixel(5.49, 5.51, {300, -20, 128});
    EXPECT_EQ(w.surface().pixel(2, 4), kRed);
    EXPECT_EQ(w.surface().pixel(3, 3), (Rgb{0, 0, 0}));
    EXPECT_EQ(w.surface().pixel(0, 2), kWhite);
    EXPECT_EQ(w.surface().pixel(5, 6), (Rgb{255, 0, 128}));
    w.clear({-1, 256, 1000});
    EXPECT_EQ(w.surface().pixel(7, 7), (Rgb{0, 255, 255}));
}

TEST(GraphicsWindow, BoxCornersInAnyOrderGiveTheSameRectangle) {
    ScriptedWindow a, b;
    a.create("a", 0, 0, 12, 12);
    b.create("b", 0, 0, 12, 12);
    a.box(2.4, 3, 9.6, 8, kRed, kWhite);
    b.box(10, 8, 2, 3, kRed, kWhite);
    EXPECT_EQ(a.surface().rgbBytes(), b.surface().rgbBytes());
    a.ellipse(1, 1, 10.5, 7, kRed, std::nullopt);
    b.ellipse(10.5, 7, 1, 1, kRed, std::nullopt);
    EXPECT_EQ(a.surface().rgbBytes(), b.surface().rgbBytes());
}

TEST(GraphicsWindow, ShapesWithoutFiniteCoordinatesAreNotDrawn) {
    ScriptedWindow w;
    w.create("g", 0, 0, 10, 10);
    const auto before = w.surface().rgbBytes();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    w.line(0, nan, 9, 9, kRed);
    w.line(-inf, 0, inf, 0, kRed);
    w.ellipse(0, 0, inf, 5, kRed, kWhite);
    w.box(nan, 0, 5, 5, kRed, kWhite);
    w.setPixel(nan, 1, kRed);
    EXPECT_EQ(w.surface().rgbBytes(), before);
}

TEST(GraphicsWindow, FarAwayLineEndsKeepTheirDirection) {
    ScriptedWindow w;
    w.create("g", 0, 0, 10, 10);
    w.clear({0, 0, 0});
    w.line(-1e15, -1e15, 1e15, 1e15, kRed);
    w.line(-3e12, 7, 1e12, 7, kRed);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(w.surface().pixel(i, i), kRed) << i;
        EXPECT_EQ(w.surface().pixel(i, 7), kRed) << i;
    }
}

TEST(GraphicsWindow, LinesSpanningTheWholeDoubleRangeAreCutWhereTheyCross) {
    ScriptedWindow w;
    w.create("g", 0, 0, 10, 10);
    w.clear({0, 0, 0});
    // The differences between these end points are too large for a double.
    w.line(-1e308, 5, 1e308, 5, kRed);
    w.line(3, 1.7e308, 3, -1.7e308, kWhite);
    w.line(-1.7e308, -1.7e308, 1.7e308, 1.7e308, kRed);
    // Finite differences, but far beyond whole pixels.
    w.line(1e300, 8, -1e300, 8, kWhite);
    // Misses the window: above it, and crossing the row above it.
    w.line(-1e308, -1e308, 1e308, -1e308, kWhite);
    w.line(-1e308, -1, 1e308, -1, kWhite);
    Raster expected(10, 10, {0, 0, 0});
    expected.line(0, 5, 9, 5, kRed);
    expected.line(3, 0, 3, 9, kWhite);
    expected.line(0, 0, 9, 9, kRed);
    expected.line(0, 8, 9, 8, kWhite);
    EXPECT_EQ(w.surface().rgbBytes(), expected.rgbBytes());
}

TEST(GraphicsWindow, ImmediateDrawingIsShownOnceWhenEventsArePumped) {
    ScriptedWindow w;
    w.create("g", 0, 0, 6, 6);
    const int presents = w.presentCount();
    for (int i = 0; i < 6; ++i) w.line(0, i, 5, i, kRed);
    EXPECT_EQ(w.presentCount(), presents);
    w.pumpEvents();
    EXPECT_EQ(w.presentCount(), presents + 1);
    EXPECT_EQ(w.shown().rgbBytes(), w.surface().rgbBytes());
    // Nothing new drawn: nothing to show again.
    w.pumpEvents();
    EXPECT_EQ(w.presentCount(), presents + 1);
}

TEST(GraphicsWindow, ImmediateModeShowsEachOperationBufferedModeWaitsForRedraw) {
    ScriptedWindow w;
    w.create("g", 0, 0, 6, 6);
    w.attach(DrawMode::buffered);
    w.clear({0, 0, 0});
    w.setPixel(1, 1, kRed);
    EXPECT_EQ(w.shown().pixel(1, 1), kDefaultWindowColour);
    const int presents = w.presentCount();
    w.redraw();
    EXPECT_EQ(w.presentCount(), presents + 1);
    EXPECT_EQ(w.shown().rgbBytes(), w.surface().rgbBytes());
    w.attach(DrawMode::immediate);
    w.line(0, 5, 5, 5, kWhite);
    EXPECT_EQ(w.shown().rgbBytes(), w.surface().rgbBytes());
}

TEST(GraphicsWindow, CloseReleasesTheSurfaceAndSavingWritesTheBmp) {
    test::TempDir dir;
    ScriptedWindow w;
    w.create("g", 0, 0, 3, 2);
    w.clear(kWhite);
    w.setPixel(0, 1, {1, 2, 3});
    test::writeFile(dir / "ORVEL.bmp", std::string(2000, 'z'));
    ASSERT_TRUE(saveWindowPicture(w, dir / "ORVEL.bmp"));
    const std::string saved = test::readFile(dir / "ORVEL.bmp");
    EXPECT_EQ(saved, w.surface().bmpBytes());
    EXPECT_EQ(saved.size(), 78u);
    EXPECT_EQ(saved.substr(54, 3), "\x03\x02\x01");
    w.close();
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(w.surface().width(), 0);
    EXPECT_EQ(w.closeCount(), 1);
    w.close();
    EXPECT_EQ(w.closeCount(), 1);
}

TEST(ClickLatch, QueryWithoutAClickGivesZeroAtTheOrigin) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    expectClick(w.clickQuery(), 0, 0, 0);
}

TEST(ClickLatch, ClickWhileTheConsoleWaitsEndsTheNextWaitAtOnce) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.clickNow(12, 34);  // the user clicks while the program waits for a typed answer
    expectClick(w.waitForClick(), 1, 12, 34);
    // Nothing further is scripted: the next wait can never end, so the session ends.
    EXPECT_THROW(w.waitForClick(), SessionEnded);
}

TEST(ClickLatch, TwoClicksBeforeAQueryLeaveTheLaterOne) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.clickNow(1, 2);
    w.clickNow(30, 40);
    expectClick(w.clickQuery(), 1, 30, 40);
    expectClick(w.clickQuery(), 0, 0, 0);
}

TEST(ClickLatch, DoubleClickEndsTwoWaitsAtTheSamePlace) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.addDoubleClick(7, 9);
    expectClick(w.waitForClick(), 1, 7, 9);
    expectClick(w.waitForClick(), 2, 7, 9);
    EXPECT_THROW(w.waitForClick(), SessionEnded);
}

TEST(ClickLatch, APressClearsAPendingDoubleClickBit) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.doubleClickNow(5, 5);
    expectClick(w.clickQuery(), 1, 5, 5);
    w.clickNow(20, 21);
    expectClick(w.clickQuery(), 1, 20, 21);
    expectClick(w.clickQuery(), 0, 0, 0);
}

TEST(ClickLatch, ScriptedClicksEndOneWaitEach) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.addClick(3, 4);
    w.addClick(5, 6);
    w.clickNow(1, 1);
    expectClick(w.waitForClick(), 1, 1, 1);
    expectClick(w.waitForClick(), 1, 3, 4);
    expectClick(w.waitForClick(), 1, 5, 6);
    EXPECT_EQ(w.stepsLeft(), 0u);
}

TEST(ClickLatch, ClosingTheWindowEndsTheWait) {
    ScriptedWindow w;
    w.create("g", 0, 0, 50, 50);
    w.addClick(3, 4);
    w.addClose();
    w.addClick(8, 8);
    expectClick(w.waitForClick(), 1, 3, 4);
    EXPECT_THROW(w.waitForClick(), SessionEnded);

    ScriptedWindow now;
    now.create("g", 0, 0, 50, 50);
    now.closeNow();
    try {
        now.waitForClick();
        FAIL() << "the wait should have ended the session";
    } catch (const SessionEnded& e) {
        EXPECT_EQ(e.reason, "The graphics window was closed.");
    }
}

TEST(ClickLatch, ANewWindowForgetsClicksOnTheOldOne) {
    ScriptedWindow w;
    w.create("image", 0, 0, 50, 50);
    w.clickNow(10, 10);
    w.close();
    w.create("graph", 0, 0, 50, 50);
    expectClick(w.clickQuery(), 0, 0, 0);
}

TEST(ClickLatch, ClicksFromAnotherThreadAreNeverLost) {
    ScriptedWindow w;
    w.create("g", 0, 0, 5000, 5000);
    // The last click of each round has nothing after it to replace it: the querying side must
    // see it, or this test would never finish its round.
    constexpr int kRounds = 200;
    for (int round = 1; round <= kRounds; ++round) {
        std::thread events([&w, round] {
            w.clickNow(round - 1, 0);
            w.doubleClickNow(round, round);
        });
        Click c;
        do {
            c = w.clickQuery();
        } while (c.flag != 2);
        events.join();
        EXPECT_EQ(c.x, static_cast<float>(round));
        EXPECT_EQ(c.y, static_cast<float>(round));
        expectClick(w.clickQuery(), 0, 0, 0);
    }
}

}  // namespace
}  // namespace orvel
