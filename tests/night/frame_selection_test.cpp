#include "night/frame_selection.h"

#include <gtest/gtest.h>

#include "fits/fits_writer.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// A 4 x 2 frame of BITPIX 16 with the given cards after the image cards.
void writeCardFrame(const std::filesystem::path& path, std::vector<std::string> extra,
                    int planes = 1) {
    std::vector<std::string> cards = fitsImageCards(16, 4, 2);
    if (planes > 1) {
        cards[2] = fitsIntCard("NAXIS", 3);
        cards.push_back(fitsIntCard("NAXIS3", planes));
    }
    cards.insert(cards.end(), extra.begin(), extra.end());
    test::writeFile(path,
                    fitsFileBytes(cards, std::string(static_cast<std::size_t>(16 * planes), '\0')));
}

std::string dateCard(const char* when) {
    return fitsStringCard("DATE-OBS", when);
}

std::vector<std::string> names(const ImageFileList& list) {
    std::vector<std::string> out;
    for (const ListedFile& f : list.files) out.push_back(f.name);
    return out;
}

TEST(FrameSelection, TheUsualFilterNamesTellTheBandWhateverTheirCaseAndBlanks) {
    const FrameSelection none;
    for (const char* red : {"R", "Red", "RED", "r", "Rc", "rc", "r'", " R ", "r '"})
        EXPECT_EQ(bandOfFilter(red, none), Band::red) << red;
    for (const char* green : {"G", "green", "V", "v", "g'"})
        EXPECT_EQ(bandOfFilter(green, none), Band::green) << green;
    for (const char* blue : {"B", "Blue", "b", "b'"})
        EXPECT_EQ(bandOfFilter(blue, none), Band::blue) << blue;
    for (const char* other : {"Ha", "L", "Lum", "I", "", "RG", "Bl"})
        EXPECT_EQ(bandOfFilter(other, none), std::nullopt) << other;
    FrameSelection mapped;
    mapped.bandNames = {{"Ha", Band::red}, {"V", Band::blue}};
    EXPECT_EQ(bandOfFilter(" ha", mapped), Band::red);
    EXPECT_EQ(bandOfFilter("V", mapped), Band::blue);  // the user's names come first
}

TEST(FrameSelection, PatternsAreShellWildcardsWithoutLetterCase) {
    EXPECT_TRUE(matchesPattern("Light_HD1234_R_0001.FITS", "light_*.fits"));
    EXPECT_TRUE(matchesPattern("a_1.fts", "a_?.fts"));
    EXPECT_FALSE(matchesPattern("a_10.fts", "a_?.fts"));
    EXPECT_FALSE(matchesPattern("x.fits.gz", "*.fits"));
}

TEST(FrameSelection, FramesComeByBandThenByTheirMomentAndUnknownBandsLast) {
    test::TempDir dir;
    // Names in an order that is neither the bands' nor the moments'.
    writeCardFrame(dir / "a.fits",
                   {dateCard("2026-03-16T03:00:00"), fitsStringCard("FILTER", "Blue")});
    writeCardFrame(dir / "b.fits",
                   {dateCard("2026-03-16T02:00:00"), fitsStringCard("FILTER", "Red")});
    writeCardFrame(dir / "c.FIT",
                   {dateCard("2026-03-16T01:00:00"), fitsStringCard("FILTER", "Red")});
    writeCardFrame(dir / "d.fits",
                   {dateCard("2026-03-16T00:00:00"), fitsStringCard("FILTER", "Ha")});
    writeCardFrame(dir / "e.fits", {dateCard("2026-03-16T00:30:00")});
    writeCardFrame(dir / "f.fits",
                   {fitsStringCard("FILTER", "V"), fitsRealCard("MJD-OBS", 61115.0)});
    test::writeFile(dir / "notes.txt", "not a frame");
    FrameSelection selection;
    selection.patterns = {"*.fit*"};
    const ImageFileList list = selectFrames(dir.path(), selection);
    EXPECT_EQ(names(list), (std::vector<std::string>{"c.FIT", "b.fits", "f.fits", "a.fits",
                                                     "d.fits", "e.fits"}));
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{2, 1, 1}));
    EXPECT_FALSE(list.files[4].bandKnown);
    EXPECT_EQ(list.files[4].whyLeftOut,
              "its FILTER 'Ha' names no band (--band NAME=R maps a filter name to a band)");
    EXPECT_EQ(list.files[5].whyLeftOut, "it has no FILTER card to tell its band");
    EXPECT_TRUE(list.files[0].source.captureFile);

    selection.bandKeyword = "FILTNAME";
    const ImageFileList other = selectFrames(dir.path(), selection);
    EXPECT_EQ(other.bandCounts, (std::array<int, 3>{0, 0, 0}));
}

TEST(FrameSelection, AColourCubeAndAMosaicGiveOneFramePerBand) {
    test::TempDir dir;
    writeCardFrame(dir / "cube.fits", {dateCard("2026-03-16T03:00:00")}, 3);
    writeCardFrame(dir / "raw.fits",
                   {dateCard("2026-03-16T02:00:00"), fitsStringCard("BAYERPAT", "GBRG"),
                    fitsIntCard("XBAYROFF", 1)});
    FrameSelection selection;
    selection.patterns = {"*.fits"};
    const ImageFileList list = selectFrames(dir.path(), selection);
    EXPECT_EQ(names(list),
              (std::vector<std::string>{"raw.fits[R]", "cube.fits[R]", "raw.fits[G]",
                                        "cube.fits[G]", "raw.fits[B]", "cube.fits[B]"}));
    EXPECT_EQ(list.files[1].source.plane, 0);
    EXPECT_EQ(list.files[5].source.plane, 2);
    ASSERT_TRUE(list.files[0].source.mosaic.has_value());
    // GBRG (G B over R G) one column on: B G over G R.
    EXPECT_EQ(list.files[0].source.mosaic->cell, (std::array<char, 4>{'B', 'G', 'G', 'R'}));
    EXPECT_EQ(list.files[0].source.plane, -1);

    selection.bayer = "rggb";  // --bayer overrides what the header says
    EXPECT_EQ(selectFrames(dir.path(), selection).files[0].source.mosaic->cell,
              (std::array<char, 4>{'R', 'G', 'G', 'B'}));
}

TEST(FrameSelection, TheHintCountsTheFramesAndGivesTheCommand) {
    test::TempDir dir;
    EXPECT_EQ(captureHint(dir.path()), "");
    for (const char* name : {"x_R.fits", "x_G.fits", "x_B1.fits", "x_B2.fits"})
        writeCardFrame(dir / name, {fitsStringCard("FILTER", std::string(1, name[2]))});
    EXPECT_EQ(
        captureHint(dir.path()),
        "4 FITS frames here name their band in FILTER (R 1, G 1, B 2): orvel --frames '*.fits'");
    writeCardFrame(dir / "c.FTS", {}, 3);
    writeCardFrame(dir / "l.fits", {fitsStringCard("FILTER", "L")});
    EXPECT_EQ(captureHint(dir.path()),
              "6 FITS frames here: 4 name their band in FILTER (R 1, G 1, B 2), 1 are colour "
              "frames (3-plane cubes or Bayer mosaics), 1 tell no band in FILTER: orvel --frames "
              "'*.fits' --frames '*.fts'");
}

}  // namespace
}  // namespace orvel
