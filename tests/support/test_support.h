// Helpers shared by the tests: temporary folders and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fits/image_header.h"
#include "fits/pixel_image.h"
#include "night/night_record.h"
#include "run/options.h"

namespace orvel::test {

// A fresh folder under the system temporary folder, removed with its contents at scope end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// Splits a CR LF log into its lines (without the line ends).
std::vector<std::string> logLines(std::string_view text);

// How often `part` occurs in the text (overlapping occurrences counted).
std::size_t count(const std::string& text, const std::string& part);

// An interactive run's transcript up to its last answer: the lines it prints after the X (the
// command that repeats the run) left out.
std::string dialogueOf(const std::string& transcript);

// The values of one column of a CSV file's text, by its header name, row by row (quoted
// fields unquoted). Empty when there is no such column.
std::vector<std::string> csvColumn(std::string_view text, std::string_view name);

}  // namespace orvel::test

namespace orvel::test {

// A small synthetic frame: flat sky with a Gaussian star, written as a 16-bit FITS file with
// BZERO 32768 and a DATE-OBS.
struct FrameRecipe {
    int columns = 64;
    int rows = 48;
    double sky = 100.0;        // DC
    double starColumn = 30.0;  // pixels
    double starRow = 20.0;
    double starPeak = 5000.0;  // DC above the sky at the centre
    double sigma = 1.5;        // pixels
    std::string date = "2026-03-15T20:00:00";
    int bitpix = 16;
    double noise = 0.0;  // standard deviation of Gaussian noise on every pixel, DC (a fixed
                         // seed: the same noise on every frame of that size)
    struct Spike {
        int column = 0;
        int row = 0;
        double value = 0.0;  // the pixel's value in place of sky, star and noise, DC
    };
    std::vector<Spike> spikes;  // single pixels set apart: cosmic rays, hot pixels
};

std::string frameBytes(const FrameRecipe& frame);
void writeFrame(const std::filesystem::path& path, const FrameRecipe& frame);

// An image of the given size with every pixel at value.
PixelImage flatImage(int columns, int rows, float value);

// The pixels the image holds as a plain vector, to compare with expected values.
std::vector<float> pixelValues(const PixelImage& image);

// A small night: perBand frames of each band (n_0001_R.fit ...), two hours apart, the star
// at column 30, row 20 dimming as it sets.
void writeSmallNight(const TempDir& dir, int perBand = 3);

// An unattended run over that night from the folder: site 35 N 0 E, star at 6 h +35 degrees,
// the star and the sky patch (50, 40) picked.
BatchOptions smallNightOptions(const std::filesystem::path& folder);

// An unattended run over a night of orvel-simulate at its default site and star, with the star
// and the sky patch picked at the given image pixels.
BatchOptions simulatedNightOptions(const std::filesystem::path& folder, float starColumn,
                                   float starRow, float skyColumn, float skyRow);

// The small night written into both folders and measured with the same options: unattended
// from the first, interactively (typed answers, star and sky clicked) from the second. The two
// exit statuses, unattended first.
std::pair<int, int> runSmallNightBothWays(const TempDir& unattended, const TempDir& interactive,
                                          const RunOptions& run);

// A header with a DATE-OBS (UT, whole numbers as written) and nothing else.
ImageHeader datedHeader(int year, int month, int day, int hour, int minute, int second);

// A night made by hand, no frame read, its fits set to the lines below, for the reports and
// pictures. Every frame: elevation 52.5, ring centre (30, 20), radius 6, sky 100.5 DC, signal
// 39100 DC over 100 pixels with a sky noise of 3 DC (at gain 1 an error of 200 DC: S/N 195.5),
// FWHM 3.5 px, peak 2100 DC, DATE-OBS 2026-03-15 at 20, 21 or 22 h UT.
// - red '=1+2_R.fit', 'a,b_R.fit', 'c<d_R.fit' at X = 1, 2, 3: Y = 10.5 - 0.5 X plus 1/32,
//   -1/16, 1/32 (the line's own slope and intercept; R2 1 - 6/1024 / 0.505859375);
// - green d_G, e_G, f_G.fit at X = 1, 2, 3 on Y = 11 - 0.25 X, and g_G.fit at X = 2.5, Y = 10
//   removed;
// - blue h_B.fit, which could not be read.
NightRecord handMadeNight();

}  // namespace orvel::test
