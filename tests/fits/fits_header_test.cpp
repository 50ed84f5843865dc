// Header reading through FITS bytes: block scanning, the logged header and keyword lines, and
// the values handed on in the ImageHeader.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fits/fits_writer.h"
#include "fits_test_util.h"

namespace orvel {
namespace {

using test::headerLogLines;
using test::keywordLines;

std::vector<std::string> standardCards() {
    std::vector<std::string> cards = fitsImageCards(16, 640, 480);
    cards.push_back(fitsIntCard("BSCALE", 1));
    cards.push_back(fitsIntCard("BZERO", 32768));
    cards.push_back(fitsStringCard("DATE-OBS", "2022-04-01T03:04:05.250"));
    cards.push_back(fitsRealCard("EXPTIME", 30.0));
    return cards;
}

// COMMENT cards that fill the header without matching any keyword.
std::vector<std::string> fillerCards(int n) {
    return std::vector<std::string>(static_cast<std::size_t>(n), fitsTextCard("COMMENT filler"));
}

TEST(FitsHeader, OneBlockHeaderLogsTheTextAndEveryKeywordLine) {
    const std::string bytes = fitsHeader(standardCards());
    ImageHeader header;
    const std::vector<std::string> lines = headerLogLines(bytes, header);
    const std::vector<std::string> expected = {
        "",
        "ORIGINAL FILE HEADER:",
        bytes,
        "",
        "From FITS image header:",
        "Image type (BITPIX) =  16 ",
        "",
        "Columns in image =  640 " + std::string(4, ' ') + " Rows in image =  480 ",
        "",
        "Value of BSCALE =  1 ",
        "",
        "Value of BZERO =  32768 ",
        "",
        "Year, month, day =  2022  4  1 ",
        "Hour, minutes, seconds =  3  4  5 ",
        "",
        "Exposure time (sec) =  30 ",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(header.bitpix, 16);
    EXPECT_EQ(header.columns, 640);
    EXPECT_EQ(header.rows, 480);
    EXPECT_EQ(header.bscale, 1.0f);
    EXPECT_EQ(header.bzero, 32768.0f);
    EXPECT_TRUE(header.hasDate);
    EXPECT_EQ(header.year, 2022);
    EXPECT_EQ(header.month, 4);
    EXPECT_EQ(header.day, 1);
    EXPECT_EQ(header.hour, 3);
    EXPECT_EQ(header.minute, 4);
    EXPECT_EQ(header.second, 5);
    EXPECT_EQ(header.exposure, 30.0f);
    EXPECT_EQ(header.cardCount, 36);
    EXPECT_EQ(header.dataStart, 2881);
}

TEST(FitsHeader, EndCardInTheSecondBlockMakesBothBlocksTheHeader) {
    std::vector<std::string> cards = fillerCards(34);
    for (const std::string& card : standardCards()) cards.push_back(card);
    const std::string bytes = fitsHeader(cards) + std::string(2880, '\0');
    const HeaderScan scan = scanHeaderBlocks(bytes);
    EXPECT_TRUE(scan.endFound);
    EXPECT_EQ(scan.cardCount, 72);
    EXPECT_EQ(scan.text.size(), 5760u);
    ImageHeader header;
    const std::vector<std::string> lines = headerLogLines(bytes, header);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2].size(), 5760u);
    EXPECT_EQ(header.exposure, 30.0f);  // its card lies in the second block
    EXPECT_EQ(header.rows, 480);
    EXPECT_EQ(header.cardCount, 72);
    EXPECT_EQ(header.dataStart, 5761);
}

TEST(FitsHeader, HeadersLongerThanElevenBlocksAreScannedToTheirLastCard) {
    std::vector<std::string> cards = fillerCards(420);
    cards.push_back(fitsRealCard("EXPTIME", 12.5));
    const std::string bytes = fitsHeader(cards);
    ImageHeader header;
    const std::vector<std::string> lines = headerLogLines(bytes, header);
    EXPECT_EQ(header.cardCount, 432);
    EXPECT_EQ(header.dataStart, 80 * 432 + 1);
    EXPECT_EQ(header.exposure, 12.5f);
    EXPECT_EQ(keywordLines(lines), (std::vector<std::string>{"", "Exposure time (sec) =  12.5 "}));
}

TEST(FitsHeader, TheEndCardIsEndFollowedByBlanksOnly) {
    // Block 1: "end", "ENDING", "END" with a value after it and "ENDTIME = ..." are no end
    // cards; block 2: "END" and 77 blanks is.
    std::vector<std::string> cards = {fitsTextCard("end"),
                                      fitsTextCard("ENDING"),
                                      fitsTextCard("END     1"),
                                      fitsTextCard("END="),
                                      fitsStringCard("ENDTIME", "2026-03-15T20:00:00"),
                                      fitsIntCard("BITPIX", 8)};
    std::string bytes = fitsHeader(cards);
    bytes.replace(6 * 80, 80, fitsTextCard("COMMENT no end here"));
    bytes += fitsHeader({fitsTextCard("COMMENT second block")});
    const HeaderScan scan = scanHeaderBlocks(bytes + std::string(2880, 'x'));
    EXPECT_TRUE(scan.endFound);
    EXPECT_EQ(scan.cardCount, 72);
    EXPECT_EQ(scan.text, bytes);
    EXPECT_EQ(parseHeader(scan).dataStart, 5761);
}

TEST(FitsHeader, AHeaderWhoseOnlyEndLikeCardIsEndtimeHasNoEnd) {
    std::string bytes =
        fitsHeader({fitsIntCard("BITPIX", 16), fitsStringCard("ENDTIME", "2026-03-15T20:00:00")});
    bytes.replace(2 * 80, 80, std::string(80, ' '));  // the END card blanked out
    const HeaderScan scan = scanHeaderBlocks(bytes + std::string(100, '\x7f'));
    EXPECT_FALSE(scan.endFound);
    EXPECT_EQ(scan.cardCount, 72);  // the block and the 100 bytes after it
    EXPECT_EQ(scan.text.size(), 2980u);
}

TEST(FitsHeader, AnEndCardCutShortByTheEndOfTheFileStillEndsTheHeader) {
    const std::string bytes = std::string(2880, ' ') + "END   ";
    const HeaderScan scan = scanHeaderBlocks(bytes);
    EXPECT_TRUE(scan.endFound);
    EXPECT_EQ(scan.cardCount, 72);
    EXPECT_FALSE(scanHeaderBlocks(std::string(2880, ' ') + "END  x").endFound);
}

TEST(FitsHeader, WithoutAnEndCardReadingStopsAtTheEndOfTheFile) {
    test::TempDir dir;
    const std::string twoBlocks = std::string(5760, ' ');
    test::writeFile(dir / "noend.fit", twoBlocks + "BITPIX  =   16");
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "noend.fit"));
    EXPECT_EQ(file.size(), 5774);
    const HeaderScan scan = readHeaderBlocks(file);
    EXPECT_FALSE(scan.endFound);
    EXPECT_EQ(scan.cardCount, 108);  // the short last block is counted as read
    EXPECT_EQ(scan.text.size(), 5774u);
    EXPECT_EQ(scan.text, scanHeaderBlocks(twoBlocks + "BITPIX  =   16").text);

    test::writeFile(dir / "empty.fit", "");
    ASSERT_TRUE(file.open(dir / "empty.fit"));
    const HeaderScan empty = readHeaderBlocks(file);
    EXPECT_FALSE(empty.endFound);
    EXPECT_EQ(empty.cardCount, 0);
    EXPECT_TRUE(empty.text.empty());
}

TEST(FitsHeader, FileReaderMatchesTheInMemoryScanAndStopsAtTheEndBlock) {
    test::TempDir dir;
    std::vector<std::string> cards = fillerCards(40);
    cards.push_back(fitsIntCard("BITPIX", -32));
    const std::string header = fitsHeader(cards);
    test::writeFile(dir / "f.fit", header + std::string(2880 * 3, '\x7f'));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "f.fit"));
    const HeaderScan scan = readHeaderBlocks(file);
    EXPECT_TRUE(scan.endFound);
    EXPECT_EQ(scan.text, header);
    EXPECT_EQ(scan.cardCount, 72);
    EXPECT_FALSE(FitsFile().open(dir / "missing.fit"));
    EXPECT_FALSE(FitsFile().open(dir.path()));  // a folder is not a file
}

TEST(FitsHeader, BitpixValueFieldIsReadAsANumber) {
    ImageHeader header;
    headerLogLines(fitsHeader({fitsTextCard("BITPIX  =                   16")}), header);
    EXPECT_EQ(header.bitpix, 16);
    const std::vector<std::string> lines =
        headerLogLines(fitsHeader({fitsTextCard("BITPIX  =                  -32")}), header);
    EXPECT_EQ(header.bitpix, -32);
    EXPECT_EQ(
        keywordLines(lines),
        (std::vector<std::string>{"", "From FITS image header:", "Image type (BITPIX) = -32 "}));
}

TEST(FitsHeader, RowsComeFromTheCardAfterNaxis1WhateverItsName) {
    ImageHeader header;
    headerLogLines(
        fitsHeader({fitsIntCard("NAXIS2", 99), fitsIntCard("NAXIS1", 12), fitsIntCard("GAIN", 7)}),
        header);
    EXPECT_EQ(header.columns, 12);
    EXPECT_EQ(header.rows, 7);
    // NAXIS1 as the last card: the card after it is blank, so no rows.
    headerLogLines(fitsHeader({fitsIntCard("NAXIS1", 12)}), header);
    EXPECT_EQ(header.rows, 0);
}

TEST(FitsHeader, ColumnsLinePadsToTheNextPrintZone) {
    const auto naxisLine = [](int columns, int rows) {
        ImageHeader header;
        const std::vector<std::string> lines = headerLogLines(
            fitsHeader({fitsIntCard("NAXIS1", columns), fitsIntCard("NAXIS2", rows)}), header);
        return lines.size() > 4 ? lines[4] : std::string();
    };
    EXPECT_EQ(naxisLine(4, 3),
              "Columns in image =  4 " + std::string(6, ' ') + " Rows in image =  3 ");
    EXPECT_EQ(naxisLine(-5, 3),
              "Columns in image = -5 " + std::string(6, ' ') + " Rows in image =  3 ");
    // 19 + 9 characters: already at a zone boundary, so a whole zone of blanks follows.
    EXPECT_EQ(naxisLine(1234567, 1),
              "Columns in image =  1234567 " + std::string(14, ' ') + " Rows in image =  1 ");
    EXPECT_EQ(naxisLine(4144, 2822),
              "Columns in image =  4144 " + std::string(3, ' ') + " Rows in image =  2822 ");
}

TEST(FitsHeader, KeywordsMatchOverTheirOwnLengthAndTheFirstCardWins) {
    ImageHeader header;
    const std::vector<std::string> lines =
        headerLogLines(fitsHeader({fitsIntCard("BZEROX", 100), fitsIntCard("BZERO", 32768),
                                   fitsRealCard("EXPTIMES", 5.0), fitsRealCard("EXPTIME", 30.0),
                                   fitsIntCard("BITPIX", 16), fitsIntCard("BITPIX", -32),
                                   fitsIntCard("BSCAL", 3), fitsRealCard("BSCALE", 2.5)}),
                       header);
    EXPECT_EQ(header.bzero, 100.0f);
    EXPECT_EQ(header.exposure, 5.0f);
    EXPECT_EQ(header.bitpix, 16);
    EXPECT_EQ(header.bscale, 2.5f);  // "BSCAL" is shorter than the keyword: no match
    EXPECT_EQ(keywordLines(lines),
              (std::vector<std::string>{"", "From FITS image header:", "Image type (BITPIX) =  16 ",
                                        "", "Value of BSCALE =  2.5 ", "", "Value of BZERO =  100 ",
                                        "", "Exposure time (sec) =  5 "}));
}

TEST(FitsHeader, DateObsIsReadAtFixedPlacesOfItsString) {
    ImageHeader header;
    headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2026-03-16T04:20:59")}), header);
    EXPECT_EQ(header.year, 2026);
    EXPECT_EQ(header.month, 3);
    EXPECT_EQ(header.day, 16);
    EXPECT_EQ(header.hour, 4);
    EXPECT_EQ(header.minute, 20);
    EXPECT_EQ(header.second, 59);
    EXPECT_TRUE(header.hasTimeOfDay);

    // A date alone (and no TIME-OBS) leaves the time fields at 0 and says so.
    const std::vector<std::string> lines =
        headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2022-04-01")}), header);
    EXPECT_TRUE(header.hasDate);
    EXPECT_FALSE(header.hasTimeOfDay);
    EXPECT_EQ(header.day, 1);
    EXPECT_EQ(header.hour, 0);
    EXPECT_EQ(header.minute, 0);
    EXPECT_EQ(header.second, 0);
    EXPECT_EQ(keywordLines(lines),
              (std::vector<std::string>{"", "Year, month, day =  2022  4  1 ",
                                        "Hour, minutes, seconds =  0  0  0 "}));
}

TEST(FitsHeader, MissingKeywordsLeaveDefaultsNotThePreviousFilesValues) {
    ImageHeader header;
    headerLogLines(fitsHeader(standardCards()), header);
    ASSERT_EQ(header.bzero, 32768.0f);
    const std::vector<std::string> lines =
        headerLogLines(fitsHeader({fitsLogicalCard("SIMPLE", true)}), header);
    EXPECT_TRUE(keywordLines(lines).empty());
    EXPECT_EQ(header.bitpix, 0);
    EXPECT_EQ(header.columns, 0);
    EXPECT_EQ(header.bscale, 1.0f);
    EXPECT_EQ(header.bzero, 0.0f);
    EXPECT_FALSE(header.hasDate);
    EXPECT_FALSE(header.hasTimeOfDay);
    EXPECT_EQ(header.year, 0);
    EXPECT_EQ(header.exposure, 0.0f);
    EXPECT_EQ(header.planes, 1);
    EXPECT_EQ(header.imageType, "");
    EXPECT_FALSE(header.hasSaturate);
    EXPECT_EQ(header.cardCount, 36);
}

TEST(FitsHeader, ValuesThatAreNotNumbersReadAsZeroAndWholeFieldsRoundHalfToEven) {
    ImageHeader header;
    headerLogLines(fitsHeader({fitsStringCard("BSCALE", "abc"), fitsCard("NAXIS1", "2.5"),
                               fitsCard("NAXIS2", "3.5"), fitsCard("BITPIX", "1.6D1"),
                               fitsCard("EXPTIME", "1.5E2")}),
                   header);
    EXPECT_EQ(header.bscale, 0.0f);
    EXPECT_EQ(header.columns, 2);
    EXPECT_EQ(header.rows, 4);
    EXPECT_EQ(header.bitpix, 16);
    EXPECT_EQ(header.exposure, 150.0f);
}

TEST(FitsHeader, CardsAreCutWhereTheTextEnds) {
    const std::string text = std::string(80, 'a') + "BITPIX  =  16";
    EXPECT_EQ(headerCard(text, 1), std::string(80, 'a'));
    EXPECT_EQ(headerCard(text, 2), "BITPIX  =  16");
    EXPECT_EQ(headerCard(text, 3), "");
    EXPECT_EQ(headerCard(text, 0), "");
    EXPECT_EQ(cardValueField(fitsIntCard("NAXIS1", 640)),
              "                 640" + std::string(50, ' '));
    EXPECT_EQ(cardValueField(fitsIntCard("NAXIS1", 640, "columns")), "                 640 ");
    EXPECT_EQ(cardValueField("BITPIX  = "), "");
    EXPECT_EQ(cardValueField("BITPIX  = 8"), "8");
}

TEST(FitsHeader, GainFromEgainOrAPlausibleGainAndReadNoiseFromRdnoise) {
    struct Case {
        std::vector<std::string> cards;
        double gain, readNoise;  // NaN: not taken
    };
    const double none = std::nan("");
    const Case cases[] = {
        {{fitsCard("GAIN", "1.6"), fitsCard("RDNOISE", "9.5")}, 1.6, 9.5},
        {{fitsCard("EGAIN", "0.8")}, 0.8, none},
        // EGAIN is electrons per ADU; GAIN beside it, or above 20, is the camera's setting.
        {{fitsCard("EGAIN", "0.8"), fitsCard("GAIN", "2.5")}, 0.8, none},
        {{fitsCard("GAIN", "80"), fitsCard("EGAIN", "1.25")}, 1.25, none},
        {{fitsCard("GAIN", "80")}, none, none},
        {{fitsCard("GAIN", "20")}, 20.0, none},
        // A gain of 0 or below, a negative noise or text cannot describe a detector.
        {{fitsCard("GAIN", "0"), fitsCard("RDNOISE", "-3")}, none, none},
        {{fitsStringCard("GAIN", "high"), fitsCard("RDNOISE", "0")}, none, 0.0},
    };
    for (const Case& c : cases) {
        ImageHeader header;
        headerLogLines(fitsHeader(c.cards), header);
        if (std::isnan(c.gain))
            EXPECT_TRUE(std::isnan(header.gain)) << c.cards[0];
        else
            EXPECT_DOUBLE_EQ(header.gain, c.gain) << c.cards[0];
        if (std::isnan(c.readNoise))
            EXPECT_TRUE(std::isnan(header.readNoise)) << c.cards[0];
        else
            EXPECT_DOUBLE_EQ(header.readNoise, c.readNoise) << c.cards[0];
    }
}

}  // namespace
}  // namespace orvel
