#include <gtest/gtest.h>
#include <zlib.h>

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

// The bytes gzip-compressed as gzip writes them.
std::string gzipped(const std::string& bytes) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Rows first..last of a frame's file as the pipeline reads them.
std::vector<float> rowsOf(const FrameFile& f, int first, int last) {
    ImageHeader h = parseHeader(f.scan);
    h.dataStart += f.headerStart;
    PixelImage image;
    readPixelRegion(f.file, h, {first, last, 0, h.columns - 1}, image);
    return {image.pixels.begin(), image.pixels.end()};
}

TEST(CaptureFrame, AGzipFrameReadOutOfOrderGivesThePlainPixelsAndADamagedOneSaysWhy) {
    test::TempDir dir;
    // 12 MB of pixels: more than the inflated bytes held at once, so that the read of the first
    // rows after the last must inflate the stream again.
    test::FrameRecipe recipe;
    recipe.columns = 3000;
    recipe.rows = 2000;
    recipe.starColumn = 1500;
    recipe.starRow = 1900;
    const std::string plain = test::frameBytes(recipe);
    test::writeFile(dir / "plain.fits", plain);
    test::writeFile(dir / "frame.fits.gz", gzipped(plain));
    const FrameFile p = openCaptureFrame(dir / "plain.fits");
    const FrameFile g = openCaptureFrame(dir / "frame.fits.gz");
    ASSERT_EQ(g.problem, "");
    EXPECT_EQ(rowsOf(g, 1880, 1920), rowsOf(p, 1880, 1920));
    EXPECT_EQ(rowsOf(g, 10, 20), rowsOf(p, 10, 20));
    EXPECT_EQ(rowsOf(g, 1999, 1999), rowsOf(p, 1999, 1999));
    EXPECT_EQ(g.file.problem(), "");
    // Cut in the middle of its pixels: the rows before the cut are there, the later ones are
    // not, and the frame says why.
    const std::string cut = gzipped(plain);
    test::writeFile(dir / "cut.fits.gz", cut.substr(0, cut.size() / 2));
    const FrameFile c = openCaptureFrame(dir / "cut.fits.gz");
    ASSERT_EQ(c.problem, "");
    EXPECT_EQ(rowsOf(c, 0, 5), rowsOf(p, 0, 5));
    EXPECT_EQ(c.file.problem(), "");
    rowsOf(c, 1990, 1999);
    EXPECT_NE(c.file.problem().find("its gzip data ends after"), std::string::npos);
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
