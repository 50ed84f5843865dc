#include "night/frame_selection.h"

#include <gtest/gtest.h>

#include <map>

#include "fits/fits_writer.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// A 4 x 2 (or `rows` high) frame of BITPIX 16 with the given cards after the image cards.
void writeCardFrame(const std::filesystem::path& path, std::vector<std::string> extra,
                    int planes = 1, int rows = 2) {
    std::vector<std::string> cards = fitsImageCards(16, 4, rows);
    if (planes > 1) {
        cards[2] = fitsIntCard("NAXIS", 3);
        cards.push_back(fitsIntCard("NAXIS3", planes));
    }
    cards.insert(cards.end(), extra.begin(), extra.end());
    test::writeFile(
        path, fitsFileBytes(cards, std::string(static_cast<std::size_t>(8 * rows * planes), '\0')));
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
    EXPECT_EQ(list.files[5].whyLeftOut,
              "it has no FILTER card to tell its band, nor a band letter before its extension");
    EXPECT_TRUE(list.files[0].source.captureFile);

    selection.bandKeyword = "FILTNAME";
    const ImageFileList other = selectFrames(dir.path(), selection);
    // No frame has the card: only b.fits tells a band, by the letter before its extension.
    EXPECT_EQ(other.bandCounts, (std::array<int, 3>{0, 0, 1}));
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

// The reason each listed frame is left out, by name; empty for a frame that is measured.
std::map<std::string, std::string> reasons(const ImageFileList& list) {
    std::map<std::string, std::string> out;
    for (const ListedFile& f : list.files) out[f.name] = f.whyLeftOut;
    return out;
}

TEST(FrameSelection, AnExposureFoundTwiceIsMeasuredOnce) {
    test::TempDir dir;
    const std::string red = fitsStringCard("FILTER", "R");
    const std::string green = fitsStringCard("FILTER", "G");
    writeCardFrame(dir / "x.fits", {dateCard("2026-03-16T02:00:00"), red});
    std::filesystem::copy_file(dir / "x.fits", dir / "x.fts");  // the same bytes
    // The same moment written another way: the date alone with TIME-OBS, and 24:00:00 of the
    // last day of March for 0 h on April 1.
    writeCardFrame(dir / "y.fits",
                   {dateCard("2026-03-16"), fitsStringCard("TIME-OBS", "02:00:00.000"), red});
    writeCardFrame(dir / "m1.fits", {dateCard("2026-03-31T24:00:00"), red});
    writeCardFrame(dir / "m2.fits", {dateCard("2026-04-01T00:00:00"), red});
    // Another band, half a second later, another size: other exposures.
    writeCardFrame(dir / "b.fits",
                   {dateCard("2026-03-16T02:00:00"), fitsStringCard("FILTER", "B")});
    writeCardFrame(dir / "h.fits", {dateCard("2026-03-16T02:00:00.5"), red});
    writeCardFrame(dir / "s.fits", {dateCard("2026-03-16T02:00:00"), red}, 1, 3);
    // No moment: never the same exposure; words that name no moment only when they are alike.
    writeCardFrame(dir / "n1.fits", {green});
    writeCardFrame(dir / "n2.fits", {green});
    writeCardFrame(dir / "w1.fits", {dateCard("tonight"), green});
    writeCardFrame(dir / "w2.fits", {dateCard("tonight"), green});
    writeCardFrame(dir / "w3.fits", {dateCard("tomorrow"), green});
    FrameSelection selection;
    selection.patterns = {"*"};
    const ImageFileList list = selectFrames(dir.path(), selection);
    const std::map<std::string, std::string> expected = {
        {"x.fits", ""},
        {"x.fts", "the same exposure as x.fits"},
        {"y.fits", "the same exposure as x.fits"},
        {"m1.fits", ""},
        {"m2.fits", "the same exposure as m1.fits"},
        {"b.fits", ""},
        {"h.fits", ""},
        {"s.fits", ""},
        {"n1.fits", ""},
        {"n2.fits", ""},
        {"w1.fits", ""},
        {"w2.fits", "the same exposure as w1.fits"},
        {"w3.fits", ""}};
    EXPECT_EQ(reasons(list), expected);
    // Every listed frame of a band counts in it, as a frame left out for any other reason does.
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{7, 5, 1}));
}

TEST(FrameSelection, ThePlainFileIsKeptBeforeItsCompressedCopies) {
    test::TempDir dir;
    // One exposure as a plain file, gzip-compressed and tile-compressed (as fpack leaves it).
    const std::filesystem::path capture =
        std::filesystem::path(ORVEL_SOURCE_DIR) / "tests" / "data" / "capture";
    std::filesystem::copy_file(capture / "fits" / "Light_HD1234_R_0004.fits", dir / "x.fits");
    // By name alone this copy would come first ('.' before 's').
    std::filesystem::copy_file(capture / "gz" / "Light_HD1234_R_0004.fits.gz", dir / "x.fit.gz");
    std::filesystem::copy_file(capture / "fz" / "Light_HD1234_R_0004.fit.fz", dir / "x.fits.fz");
    FrameSelection selection;
    selection.patterns = {"x.*"};
    const ImageFileList list = selectFrames(dir.path(), selection);
    ASSERT_EQ(names(list), (std::vector<std::string>{"x.fits", "x.fit.gz", "x.fits.fz"}));
    EXPECT_EQ(list.files[0].whyLeftOut, "");
    EXPECT_EQ(list.files[1].whyLeftOut, "the same exposure as x.fits");
    EXPECT_EQ(list.files[2].whyLeftOut, "the same exposure as x.fits");
}

TEST(FrameSelection, TheBandsOfOneColourFileAreNotTheSameExposure) {
    test::TempDir dir;
    writeCardFrame(dir / "cube.fits", {dateCard("2026-03-16T03:00:00")}, 3);
    std::filesystem::copy_file(dir / "cube.fits", dir / "cube_copy.fits");
    FrameSelection selection;
    selection.patterns = {"*.fits"};
    const std::map<std::string, std::string> expected = {
        {"cube.fits[R]", ""},
        {"cube.fits[G]", ""},
        {"cube.fits[B]", ""},
        {"cube_copy.fits[R]", "the same exposure as cube.fits[R]"},
        {"cube_copy.fits[G]", "the same exposure as cube.fits[G]"},
        {"cube_copy.fits[B]", "the same exposure as cube.fits[B]"}};
    EXPECT_EQ(reasons(selectFrames(dir.path(), selection)), expected);
}

TEST(FrameSelection, FramesWithoutTheFilterCardTakeTheBandOfTheirName) {
    test::TempDir dir;
    writeCardFrame(dir / "a_R.fits", {dateCard("2026-03-16T01:00:00")});
    writeCardFrame(dir / "a_g.fts", {dateCard("2026-03-16T01:00:00")});
    writeCardFrame(dir / "a-B.fit", {dateCard("2026-03-16T01:00:00")});
    writeCardFrame(dir / "Clear.fits", {dateCard("2026-03-16T01:00:00")});
    // The card, when there is one, tells the band whatever the name says.
    writeCardFrame(dir / "b_R.fits",
                   {dateCard("2026-03-16T02:00:00"), fitsStringCard("FILTER", "Blue")});
    FrameSelection selection;
    selection.patterns = {"*"};
    const ImageFileList list = selectFrames(dir.path(), selection);
    EXPECT_EQ(names(list), (std::vector<std::string>{"a_R.fits", "a_g.fts", "a-B.fit", "b_R.fits",
                                                     "Clear.fits"}));
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{1, 1, 2}));
    EXPECT_TRUE(list.files[0].bandFromName);
    EXPECT_FALSE(list.files[3].bandFromName);
    EXPECT_EQ(list.files[4].whyLeftOut,
              "it has no FILTER card to tell its band, nor a band letter before its extension");
    EXPECT_EQ(bandsFromNamesNote(list, selection),
              "3 frames without a FILTER card take their band from the letter before the "
              "extension.");
    selection.patterns = {"a_R*"};
    selection.bandKeyword = "FILTNAME";
    EXPECT_EQ(bandsFromNamesNote(selectFrames(dir.path(), selection), selection),
              "1 frame without a FILTNAME card takes its band from the letter before the "
              "extension.");
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
    // Without FILTER: the name's letter, or nothing.
    writeCardFrame(dir / "y_G.fits", {});
    writeCardFrame(dir / "n.fits", {});
    EXPECT_EQ(captureHint(dir.path()),
              "8 FITS frames here: 4 name their band in FILTER (R 1, G 1, B 2), 1 have no FILTER "
              "but the band letter before the extension, 1 are colour frames (3-plane cubes or "
              "Bayer mosaics), 2 tell no band in FILTER: orvel --frames '*.fits' --frames "
              "'*.fts'");
}

}  // namespace
}  // namespace orvel
