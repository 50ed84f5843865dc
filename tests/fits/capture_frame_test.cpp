#include <gtest/gtest.h>

#include "fits/fits_header.h"
#include "fits/fits_writer.h"
#include "fits/frame_file.h"
#include "fits/pixel_decoder.h"
#include "support/test_support.h"

namespace orvel {
namespace {

std::filesystem::path capture(const std::string& style, const std::string& name) {
    return std::filesystem::path(ORVEL_SOURCE_DIR) / "tests" / "data" / "capture" / style / name;
}

// The header values and pixels of a frame as its container holds them.
struct Opened {
    ImageHeader header;
    PixelImage image;
    std::int64_t samples = 0;
};

Opened openAndRead(const std::filesystem::path& path) {
    const FrameFile f = openCaptureFrame(path);
    EXPECT_EQ(f.problem, "") << path;
    Opened o;
    o.header = parseHeader(f.scan);
    readWriterTime(f.scan.text, o.header);
    o.header.dataStart += f.headerStart;
    o.samples = readPixels(f.file, o.header, o.image);
    return o;
}

TEST(CaptureFrame, EveryContainerGivesTheClassicFramesPixelsAndValues) {
    const Opened classic = openAndRead(capture("classic", "NIGHT_0004_R.fit"));
    ASSERT_EQ(classic.samples, 64 * 48);
    for (const auto& [style, name] :
         std::vector<std::pair<std::string, std::string>>{{"fits", "Light_HD1234_R_0004.fits"},
                                                          {"extension", "HD1234-Red-0004.fts"},
                                                          {"gz", "Light_HD1234_R_0004.fits.gz"},
                                                          {"fz", "Light_HD1234_R_0004.fit.fz"},
                                                          {"times", "Red_0004.FIT"}}) {
        const Opened o = openAndRead(capture(style, name));
        EXPECT_EQ(o.samples, classic.samples) << style;
        EXPECT_EQ(o.header.columns, 64) << style;
        EXPECT_EQ(o.header.rows, 48) << style;
        EXPECT_EQ(o.header.bzero, 32768.0f) << style;
        EXPECT_EQ(o.image.pixels, classic.image.pixels) << style;
        EXPECT_EQ(
            std::make_tuple(o.header.year, o.header.month, o.header.day, o.header.hour,
                            o.header.minute, o.header.second),
            std::make_tuple(classic.header.year, classic.header.month, classic.header.day,
                            classic.header.hour, classic.header.minute, classic.header.second))
            << style;
    }
}

TEST(CaptureFrame, FramesThatAreNotFitsSayWhy) {
    test::TempDir dir;
    test::writeFile(dir / "x.fits.gz", "not gzip at all");
    EXPECT_NE(openCaptureFrame(dir / "x.fits.gz").problem.find("cannot be read as FITS"),
              std::string::npos);
    EXPECT_EQ(openCaptureFrame(dir / "missing.fits").problem, "it cannot be opened");
    EXPECT_TRUE(hasFitsExtension("a.FITS"));
    EXPECT_TRUE(hasFitsExtension("a.fts.fz"));
    EXPECT_TRUE(hasFitsExtension("a.Fit.GZ"));
    EXPECT_FALSE(hasFitsExtension("a.fits.bz2"));
    EXPECT_FALSE(hasFitsExtension("fits"));
}

ImageHeader writerTime(std::vector<std::string> cards) {
    const std::string text = fitsHeader(cards);
    HeaderScan scan;
    scan.text = text;
    scan.cardCount = static_cast<int>(text.size() / 80);
    ImageHeader h = parseHeader(scan);
    readWriterTime(text, h);
    return h;
}

TEST(CaptureFrame, OlderDatesAndModifiedJulianDatesGiveTheMoment) {
    using Moment = std::tuple<int, int, int, int, int, int, bool>;
    const auto moment = [](const ImageHeader& h) {
        return Moment{h.year, h.month, h.day, h.hour, h.minute, h.second, h.hasTimeOfDay};
    };
    EXPECT_EQ(moment(writerTime({fitsStringCard("DATE-OBS", "15/03/26"),
                                 fitsStringCard("TIME-OBS", "21:04:05")})),
              (Moment{2026, 3, 15, 21, 4, 5, true}));
    EXPECT_EQ(moment(writerTime({fitsStringCard("DATE-OBS", "31/12/98")})),
              (Moment{1998, 12, 31, 0, 0, 0, false}));
    // MJD values and their dates from astropy's Time.
    EXPECT_EQ(moment(writerTime({fitsRealCard("MJD-OBS", 61115.125)})),
              (Moment{2026, 3, 16, 3, 0, 0, true}));
    EXPECT_EQ(moment(writerTime({fitsRealCard("MJD-OBS", 61000.75)})),
              (Moment{2025, 11, 21, 18, 0, 0, true}));
    EXPECT_EQ(moment(writerTime({fitsRealCard("MJD-OBS", 51544.0)})),
              (Moment{2000, 1, 1, 0, 0, 0, true}));
    EXPECT_EQ(moment(writerTime({fitsRealCard("MJD-OBS", 60369.9999)})),
              (Moment{2024, 2, 29, 23, 59, 51, true}));
    // A DATE-OBS in the standard form wins over MJD-OBS.
    EXPECT_EQ(moment(writerTime({fitsStringCard("DATE-OBS", "2026-01-02T03:04:05"),
                                 fitsRealCard("MJD-OBS", 51544.0)})),
              (Moment{2026, 1, 2, 3, 4, 5, true}));
}

}  // namespace
}  // namespace orvel
