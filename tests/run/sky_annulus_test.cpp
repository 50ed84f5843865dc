// A sky that cannot be measured: an annulus cut away by the frame's edge, and NaN pixels in the
// aperture and annulus, through unattended runs over simulated nights.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::csvColumn;
using test::readFile;

constexpr int kColumns = 320;
constexpr int kRows = 240;

void simulate(const test::TempDir& dir, const std::string& options) {
    const std::string command =
        std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " + dir.path().string() +
        " --frames 6 --size 320x240 --star 161,117 --k 0.25,0.18,0.12 --seed 5 " + options +
        " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

BatchOptions fixedAperture(const test::TempDir& dir, double radius, double inner, double outer) {
    BatchOptions o = test::simulatedNightOptions(dir.path(), 161, 117, 40, 40);
    o.run.aperture.rule = ApertureRule::fixed;
    o.run.aperture.radius = radius;
    o.run.aperture.annulus = std::pair(inner, outer);
    return o;
}

// Sets one pixel (column, row from 0) of a BITPIX -32 frame to NaN: the data are the file's
// last whole blocks.
void setNaN(const std::filesystem::path& frame, int column, int row) {
    const std::int64_t data = std::int64_t{kColumns} * kRows * 4;
    const std::int64_t padded = (data + 2879) / 2880 * 2880;
    const std::int64_t start =
        static_cast<std::int64_t>(std::filesystem::file_size(frame)) - padded;
    std::fstream f(frame, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(start + (std::int64_t{row} * kColumns + column) * 4);
    const char nan[4] = {0x7F, static_cast<char>(0xC0), 0, 0};
    f.write(nan, 4);
}

// An aperture or annulus given that the first frame cannot hold is refused once that frame is
// read, with status 2, unattended or in the dialogue: without a sky level every frame would be
// left out (or, before, fitted with a sky of 0).
TEST(SkyAnnulus, AnApertureOrAnnulusTheFirstFrameCannotHoldIsRefused) {
    test::TempDir dir;
    simulate(dir, "");
    const std::string orvel = std::string(ORVEL_BINARY_DIR) +
                              "/orvel --lat 35,0,0 --lon -106,30,0 --ra 9,5,0 --dec 34,30,0 "
                              "--star 161,117 --background 40,40 --dir " +
                              dir.path().string();
    const std::string errors = (dir / "errors.txt").string();
    const auto status = [&](const std::string& options) {
        const int raw = std::system((orvel + " " + options + " > /dev/null 2> " + errors).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    // The annulus 300 < d <= 400 about (161, 117) holds no pixel of a 320 x 240 frame.
    EXPECT_EQ(status("--aperture 6 --annulus 300,400"), 2);
    EXPECT_EQ(readFile(errors),
              "orvel: option --annulus '300,400': the sky annulus about the star at 161,117 "
              "holds 0 pixels of the first frame (320 x 240 pixels); it needs at least 20 and a "
              "third of its area\n");
    // A radius of 117 spans rows 0..234 and columns 44..278: inside; one more leaves row 0.
    EXPECT_EQ(status("--aperture 117 --annulus 150,180"), 0);
    EXPECT_EQ(status("--aperture 118"), 2);
    EXPECT_NE(readFile(errors).find("option --aperture '118': the aperture about the star at "
                                    "161,117 reaches beyond the edge"),
              std::string::npos);
    // The dialogue says it and ends with the same status once the star is picked.
    ScriptedConsole console({"y", "35,0,0", "-106,30,0", "9,5,0", "34,30,0", "Y", "Y"});
    ScriptedWindow window;
    window.addClick(161, 117);
    window.addClick(40, 40);
    RunEnvironment env{console, window, dir.path()};
    env.options.aperture = fixedAperture(dir, 6, 300, 400).run.aperture;
    EXPECT_EQ(runOrvel(env), 2);
    EXPECT_NE(console.transcript().find("orvel: option --annulus '300,400': the sky annulus"),
              std::string::npos)
        << console.transcript();
}

// One NaN pixel in the aperture and two in the annulus of every frame: left out of the sums and
// counted in the frame's note; the frames are kept and k agrees with the truth.
TEST(SkyAnnulus, NaNPixelsAreLeftOutOfTheSumsAndCounted) {
    test::TempDir dir;
    simulate(dir, "--bitpix -32");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().extension() != ".fit") continue;
        setNaN(entry.path(), 166, 117);  // 5 pixels from the star: its wing, in the aperture
        setNaN(entry.path(), 161, 130);  // 13 pixels: in the annulus 10 < d <= 16
        setNaN(entry.path(), 150, 110);  // 13.04 pixels
    }
    ScriptedConsole console;
    ASSERT_EQ(runBatch(fixedAperture(dir, 8, 10, 16), console), 0) << console.transcript();
    const std::string results = readFile(dir / "ORVEL_results.csv");
    const std::vector<std::string> notes = csvColumn(results, "note");
    const std::vector<std::string> included = csvColumn(results, "included");
    ASSERT_EQ(notes.size(), 18u);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(included[i], "1") << notes[i];
        EXPECT_NE(notes[i].find("NaN pixels were left out of the sums: 1 in its aperture, 2 in "
                                "its sky annulus"),
                  std::string::npos)
            << notes[i];
    }
    // The wing pixel's light is lost from every frame alike: k is unchanged within its error.
    const std::string fit = readFile(dir / "ORVEL_fit.csv");
    const std::vector<std::string> k = csvColumn(fit, "k");
    const std::vector<std::string> error = csvColumn(fit, "k_standard_error");
    const double truth[] = {0.25, 0.18, 0.12};  // --k above, R G B
    ASSERT_EQ(k.size(), 3u);
    for (std::size_t b = 0; b < 3; ++b)
        EXPECT_LT(std::fabs(std::stod(k[b]) - truth[b]), 3 * std::stod(error[b]) + 0.005)
            << "band " << b << " k " << k[b];
}

}  // namespace
}  // namespace orvel
