// The pass over the night: bad files are reported and skipped, and reading only the rows that are
// measured, several frames at a time, gives the same log as reading every frame whole.
#include "night/night_loop.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "fits/fits_writer.h"
#include "night/night_log.h"
#include "observing/coordinates.h"
#include "platform/scripted_console.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::TempDir;

// Picks at fixed image positions, logging as the dialogue does.
StarPicker fixedPicks(float starX, float starY, float bx, float by, RunLog& log) {
    return [=, &log](const PixelImage& image, const FirstImageStats&, std::string_view) {
        StarSelection s;
        s.starX = starX;
        s.starY = starY;
        logStarPick(log, starX, starY);
        s.backgroundX = bx;
        s.backgroundY = by;
        logBackgroundPick(log, bx, by);
        placeBackgroundRectangle(s, image.columns, image.rows);
        return s;
    };
}

struct Night {
    std::string log;
    std::string console;
    NightRecord night;
};

// Where the star and the sky patch are picked, in image pixels.
struct Picks {
    float starX = 150;
    float starY = 200;
    float backgroundX = 40;
    float backgroundY = 30;
};

Night runLoop(const TempDir& dir, LoopOptions options, Picks picks = {}) {
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    ObservingSetup setup;
    setup.latitude = angleFromLine("35,0,0", true);
    setup.rightAscension = angleFromLine("6,0,0", false);
    setup.declination = angleFromLine("30,0,0", true);
    const NightPlan plan{discoverImages(dir.path()), setup, dir.path(), options};
    Night out;
    out.night = measureNight(
        plan, fixedPicks(picks.starX, picks.starY, picks.backgroundX, picks.backgroundY, log),
        console, log);
    out.log = log.contents();
    out.console = console.transcript();
    return out;
}

// A night of 300 x 260 frames with the star low in the frame and the sky patch near the top,
// with bad files among the good ones.
void writeNight(const TempDir& dir) {
    for (int i = 0; i < 12; ++i) {
        test::FrameRecipe f;
        f.columns = 300;
        f.rows = 260;
        f.starColumn = 150.3 + 0.1 * i;
        f.starRow = 200.6;
        f.starPeak = 2000.0 + 150.0 * i;
        f.bitpix = i % 3 == 0 ? -32 : 16;
        char date[32];
        std::snprintf(date, sizeof date, "2026-03-15T%02d:%02d:07", 18 + i / 2, (i * 17) % 60);
        f.date = date;
        char name[32];
        std::snprintf(name, sizeof name, "n%02d_%c.fit", i, "RGB"[i % 3]);
        test::writeFrame(dir / name, f);
    }
    // Rings that grow far beyond the first rows read about the star, and rings that never
    // stop growing on an empty frame.
    test::FrameRecipe wide;
    wide.columns = 300;
    wide.rows = 260;
    wide.starColumn = 150;
    wide.starRow = 200;
    wide.sigma = 14.0;
    wide.starPeak = 30000.0;
    test::writeFrame(dir / "n12_G.fit", wide);
    wide.sky = 0.0;
    wide.starPeak = 0.0;
    test::writeFrame(dir / "n13_B.fit", wide);
    test::FrameRecipe small;
    small.columns = 100;
    test::writeFrame(dir / "n20_R.fit", small);  // another size
    test::FrameRecipe undated;
    undated.columns = 300;
    undated.rows = 260;
    undated.date = "2026-13-01T00:00:00";  // month 13
    test::writeFrame(dir / "n21_G.fit", undated);
    std::string dated = test::frameBytes([] {
        test::FrameRecipe f;
        f.columns = 300;
        f.rows = 260;
        f.starColumn = 150;
        f.starRow = 200;
        f.date = "2026-03-15T23:30:00";  // not n13_B's moment: another exposure
        return f;
    }());
    dated.resize(2880 + 300 * 250 * 2);  // the star's rows are partly missing
    test::writeFile(dir / "n22_B.fit", dated);
    test::writeFile(dir / "n23_B.fit", std::string(100, 'x'));  // no END card
    test::writeFile(dir / "n24_R.fit",
                    fitsHeader({fitsIntCard("BITPIX", 12), fitsIntCard("NAXIS1", 300),
                                fitsIntCard("NAXIS2", 260)}));
}

TEST(FileLoop, WindowsAndWorkersGiveTheLogOfWholeFramesReadInTurn) {
    TempDir dir;
    writeNight(dir);
    const Night whole = runLoop(dir, {.wholeFrames = true});
    for (int workers : {1, 2, 3, 8}) {
        const Night fast = runLoop(dir, {.wholeFrames = false, .workers = workers});
        EXPECT_EQ(fast.log, whole.log) << workers << " workers";
        EXPECT_EQ(fast.console, whole.console) << workers << " workers";
        ASSERT_EQ(fast.night.frames.size(), whole.night.frames.size());
        for (std::size_t i = 0; i < fast.night.frames.size(); ++i) {
            const FrameRecord& a = fast.night.frames[i];
            const FrameRecord& b = whole.night.frames[i];
            ASSERT_EQ(a.measured(), b.measured());
            if (!a.measured()) continue;
            EXPECT_EQ(a.measurement->point().magnitude, b.measurement->point().magnitude);
            EXPECT_EQ(a.measurement->point().airmass, b.measurement->point().airmass);
        }
    }
}

// Picks far outside the frame (typed options accept any finite number) read no rows beyond it
// and give the same log both ways.
TEST(FileLoop, PicksFarOutsideTheFrameReadNothingBeyondIt) {
    TempDir dir;
    writeNight(dir);
    for (const Picks picks : {Picks{1, 3e9f, -3e9f, 5e9f}, Picks{-2e9f, -3e9f, 1e30f, -1e30f}}) {
        const Night whole = runLoop(dir, {.wholeFrames = true}, picks);
        const Night fast = runLoop(dir, {.wholeFrames = false, .workers = 2}, picks);
        EXPECT_EQ(fast.log, whole.log);
        EXPECT_EQ(fast.console, whole.console);
    }
}

// In frames lower than the rows read about the star every row is held, but the rings of a wide
// star reach beyond the columns read: they are measured again on the wider square, as the whole
// frame measures them.
TEST(FileLoop, RingsBeyondTheColumnsReadAreMeasuredAgain) {
    TempDir dir;
    for (int i = 0; i < 3; ++i) {
        test::FrameRecipe wide;
        wide.columns = 400;
        wide.rows = 40;
        wide.starColumn = 200.2 + i;
        wide.starRow = 20.4;
        wide.sigma = 14.0;
        wide.starPeak = 30000.0;
        char name[32];
        std::snprintf(name, sizeof name, "w%02d_%c.fit", i, "RGB"[i]);
        test::writeFrame(dir / name, wide);
    }
    const Picks picks{200, 20, 40, 20};
    const Night whole = runLoop(dir, {.wholeFrames = true}, picks);
    const Night fast = runLoop(dir, {.wholeFrames = false, .workers = 2}, picks);
    EXPECT_EQ(fast.log, whole.log);
    ASSERT_EQ(fast.night.frames.size(), 3u);
    for (const FrameRecord& frame : fast.night.frames) {
        ASSERT_TRUE(frame.measurement);
        EXPECT_GT(frame.measurement->rings.innerRadius, 23) << frame.name;
    }
}

TEST(FileLoop, BadFilesAreReportedOnceAndLeftOut) {
    TempDir dir;
    writeNight(dir);
    const Night n = runLoop(dir, {});
    const auto& d = n.night.frames;
    const auto problem = [&](std::string_view name) {
        for (const FrameRecord& m : d)
            if (m.name == name) return m.whyLeftOut;
        return std::string("(not listed)");
    };
    for (const FrameRecord& m : d) {
        // These frames take the second, wider read of rows about the star.
        if (m.name == "n12_G.fit") {
            EXPECT_GT(m.measurement->rings.innerRadius, 23);
        }
        if (m.name == "n13_B.fit") {
            EXPECT_EQ(m.measurement->rings.innerRadius, 101);
        }
    }
    EXPECT_EQ(problem("n20_R.fit"),
              "its image size 100 x 48 differs from the first image's 300 x 260 ");
    EXPECT_EQ(problem("n21_G.fit"), "its DATE-OBS month 13 is outside 1-12");
    // Data cut short: the samples present are counted, then the frame is left out.
    EXPECT_EQ(problem("n22_B.fit"), "its pixel data end after 75000 of 78000 samples");
    EXPECT_NE(n.log.find("Number of 2-byte data strings read from file =  75000 \r\n\r\n"
                         "File n22_B.fit is not used: its pixel data end after 75000 of 78000 "
                         "samples.\r\n"),
              std::string::npos);
    EXPECT_EQ(problem("n23_B.fit"), "its header has no END card before the end of the file");
    EXPECT_EQ(problem("n24_R.fit"), "its BITPIX value 12 is not 8, 16, 32, -32 or -64");
    EXPECT_NE(n.console.find("File n24_R.fit is not used: its BITPIX value 12 is not 8, 16, 32, "
                             "-32 or -64.\n"),
              std::string::npos);
    EXPECT_NE(n.log.find("\r\nFile n23_B.fit is not used: its header has no END card before the "
                         "end of the file.\r\n"),
              std::string::npos);
    // The empty frame is measured (its rings are logged) but has no signal to take the
    // logarithm of: left out after its ring lines, before its airmass.
    EXPECT_EQ(problem("n13_B.fit"), "its star signal 0 DC is not a positive number");
    const std::size_t empty = n.log.find("(n13_B.fit)");
    const std::size_t reason = n.log.find("File n13_B.fit is not used: its star signal", empty);
    ASSERT_NE(reason, std::string::npos);
    EXPECT_NE(n.log.rfind("Stellar Magnitude =  0 \r\n", reason), std::string::npos);
    EXPECT_EQ(n.log.substr(empty, reason - empty).find("Optical Airmass"), std::string::npos);
    int measured = 0;
    int included = 0;
    for (std::size_t i = 0; i < d.size(); ++i) {
        measured += d[i].measured();
        included += d[i].included();
        EXPECT_EQ(d[i].included(), d[i].whyLeftOut.empty()) << d[i].name;
    }
    EXPECT_EQ(measured, 14);
    EXPECT_EQ(included, 13);
    // The truncated frame's missing samples are counted from the file size.
    EXPECT_NE(n.log.find("Number of 2-byte data strings read from file =  75000 "),
              std::string::npos);
}

TEST(FileLoop, AnUnusableFirstFileLeavesThePicksToTheNextOne) {
    TempDir dir;
    test::writeFile(dir / "a_R.fit", "SIMPLE");
    test::FrameRecipe f;
    test::writeFrame(dir / "b_R.fit", f);
    test::writeFrame(dir / "c_G.fit", f);
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const NightPlan plan{discoverImages(dir.path()), ObservingSetup{}, dir.path()};
    std::vector<std::string> picked;
    const StarPicker pick = [&](const PixelImage& image, const FirstImageStats& stats,
                                std::string_view name) {
        picked.emplace_back(name);
        return fixedPicks(30, 20, 50, 40, log)(image, stats, name);
    };
    const NightRecord night = measureNight(plan, pick, console, log);
    EXPECT_EQ(picked, std::vector<std::string>{"b_R.fit"});
    EXPECT_FALSE(night.frames[0].measured());
    EXPECT_TRUE(night.frames[1].measured());
    EXPECT_TRUE(night.frames[2].measured());
}

// The automatic radius is three times the median of every frame's FWHM: the first frame's star
// is the narrowest here, and neither it nor the mean of the widths sets the radius.
TEST(FileLoop, TheAutomaticRadiusIsThreeMedianWidthsOfTheNight) {
    TempDir dir;
    // Gaussian sigmas 1, 2 and 2.5 pixels, sampled at the pixel centres. The fit takes a
    // pixel's own width out (a variance of 1/12 px^2): FWHM 2.35482 sqrt(sigma^2 - 1/12) gives
    // 2.2546, 4.6603 and 5.8477 px, so three times the median is a radius of 13.981 px (the
    // first frame's width would give 6.764 px, the mean width 12.763 px).
    const double sigmas[] = {1.0, 2.0, 2.5};
    for (int i = 0; i < 3; ++i) {
        test::FrameRecipe f;
        f.columns = 120;
        f.rows = 100;
        f.starColumn = 60.0;
        f.starRow = 50.0;
        f.sigma = sigmas[i];
        f.date = "2026-03-15T2" + std::to_string(i) + ":00:00";
        test::writeFrame(dir / ("n_000" + std::to_string(i + 1) + "_" + "RGB"[i] + ".fit"), f);
    }
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    ObservingSetup setup;
    setup.latitude = angleFromLine("35,0,0", true);
    setup.rightAscension = angleFromLine("6,0,0", false);
    setup.declination = angleFromLine("30,0,0", true);
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    const NightPlan plan{discoverImages(dir.path()), setup, dir.path(), {}, {}, automatic};
    const NightRecord night = measureNight(plan, fixedPicks(60, 50, 15, 15, log), console, log);
    ASSERT_EQ(night.frames.size(), 3u);
    EXPECT_EQ(night.frames[0].name, "n_0001_R.fit");
    for (const FrameRecord& frame : night.frames) {
        ASSERT_TRUE(frame.measurement) << frame.name;
        EXPECT_NEAR(frame.measurement->rings.innerRadius, 13.981, 0.01) << frame.name;
    }
    EXPECT_NE(log.contents().find("Aperture = auto (3 x the median FWHM): radius 13.98"),
              std::string::npos);
    EXPECT_NE(log.contents().find("; median FWHM 4.66"), std::string::npos);
    EXPECT_NE(log.contents().find(" px of 3 frames"), std::string::npos);
}

}  // namespace
}  // namespace orvel
