// Legal FITS forms that a reader of fixed columns would misread: a card whose keyword begins with
// "END", values in free format, a date with its time of day in TIME-OBS. Each frame is read from
// a file as the night reads it and must give exactly what its plain twin (the same frame written
// in the fixed layout) gives: header values, pixels and log lines. Then the keywords that say
// what kind of image a frame holds: NAXIS3, IMAGETYP and SATURATE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fits/fits_writer.h"
#include "fits_test_util.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::expectSameHeader;
using test::keywordLines;
using test::ReadResult;

// Eight 16-bit samples, big-endian, and their values with BZERO 32768 worked out by hand:
// 0x8000 is -32768, 0xFFFF is -1, 0x1234 is 4660, 0xFF00 is -256.
const std::string kSamples("\x80\x00\x00\x00\xff\xff\x7f\xff\x00\x01\x80\x01\x12\x34\xff\x00", 16);
const std::vector<float> kPixels = {0, 32768, 32767, 65535, 32769, 1, 37428, 32512};

// The cards of a 4 x 2 frame in the fixed layout, with `middle` between the size and the rest.
std::vector<std::string> plainCards(const std::vector<std::string>& middle = {}) {
    std::vector<std::string> cards = fitsImageCards(16, 4, 2);
    for (const std::string& card : middle) cards.push_back(card);
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsIntCard("BZERO", 32768));
    cards.push_back(fitsStringCard("DATE-OBS", "2026-03-15T20:00:07.5"));
    cards.push_back(fitsRealCard("EXPTIME", 30.0));
    return cards;
}

// The values the plain frame holds, as written on its cards.
void expectPlainValues(const ReadResult& r) {
    EXPECT_EQ(r.header.bitpix, 16);
    EXPECT_EQ(r.header.columns, 4);
    EXPECT_EQ(r.header.rows, 2);
    EXPECT_EQ(r.header.bscale, 1.0f);
    EXPECT_EQ(r.header.bzero, 32768.0f);
    EXPECT_EQ(r.header.year, 2026);
    EXPECT_EQ(r.header.month, 3);
    EXPECT_EQ(r.header.day, 15);
    EXPECT_EQ(r.header.hour, 20);
    EXPECT_EQ(r.header.minute, 0);
    EXPECT_EQ(r.header.second, 7);
    EXPECT_TRUE(r.header.hasTimeOfDay);
    EXPECT_EQ(r.header.exposure, 30.0f);
    EXPECT_EQ(r.count, 8);
    EXPECT_EQ(test::pixelValues(r.image), kPixels);
}

// The frame and its twin read from files: same values, pixels and log lines; the logged header
// text is each file's own header.
void expectTwins(const std::vector<std::string>& cards, const std::vector<std::string>& twin) {
    test::TempDir dir;
    const std::string bytes = fitsFileBytes(cards, kSamples);
    const ReadResult r = test::readFitsBytes(dir, bytes, "frame.fit");
    const ReadResult p = test::readFitsBytes(dir, fitsFileBytes(twin, kSamples), "twin.fit");
    ASSERT_TRUE(r.scan.endFound);
    expectSameHeader(r.header, p.header);
    expectPlainValues(p);
    EXPECT_EQ(r.count, p.count);
    EXPECT_EQ(r.image.pixels, p.image.pixels);
    EXPECT_EQ(keywordLines(r.lines), keywordLines(p.lines));
    ASSERT_GE(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[2], bytes.substr(0, static_cast<std::size_t>(r.header.cardCount) * 80));
}

// COMMENT cards that push the END card into the second block.
std::vector<std::string> fillerCards(int n) {
    return std::vector<std::string>(static_cast<std::size_t>(n), fitsTextCard("COMMENT filler"));
}

TEST(FitsStandardForms, AnEndtimeCardDoesNotEndTheHeader) {
    // ENDTIME in the first block, the keywords and the END card in the second: a reader that
    // takes "END..." for the end would stop a block early and read the pixels from the cards.
    std::vector<std::string> middle = {fitsStringCard("ENDTIME", "2026-03-15T20:00:37")};
    for (const std::string& card : fillerCards(31)) middle.push_back(card);
    std::vector<std::string> twin = middle;
    twin[0] = fitsTextCard("COMMENT end of the exposure 2026-03-15T20:00:37");
    expectTwins(plainCards(middle), plainCards(twin));
    ImageHeader header;
    test::headerLogLines(fitsHeader(plainCards(middle)), header);
    EXPECT_EQ(header.cardCount, 72);
    EXPECT_EQ(header.dataStart, 5761);
}

TEST(FitsStandardForms, FreeFormatValuesReadAsTheFixedOnes) {
    // Values that begin in column 11 and run past column 30, or begin far to the right of it.
    const std::vector<std::string> cards = {
        fitsLogicalCard("SIMPLE", true),
        fitsFreeCard("BITPIX", "16", 11, "bits per sample"),
        fitsFreeCard("NAXIS", "2", 11),
        fitsFreeCard("NAXIS1", "4", 35, "columns"),
        fitsFreeCard("NAXIS2", "+2", 60),
        fitsFreeCard("BSCALE", "1.0", 40),
        fitsFreeCard("BZERO", "3.2768000000000000E+04", 11),
        fitsFreeCard("DATE-OBS", "'2026-03-15T20:00:07.5'", 11),
        fitsFreeCard("EXPTIME", "3.00000000000000000000E+01", 11, "seconds"),
    };
    expectTwins(cards, plainCards());
}

TEST(FitsStandardForms, StringValuesMayBeginAfterColumnEleven) {
    std::vector<std::string> cards = plainCards();
    cards[7] = fitsFreeCard("DATE-OBS", "'2026-03-15T20:00:07.5'", 25, "start of the exposure");
    expectTwins(cards, plainCards());
}

TEST(FitsStandardForms, ADateAloneTakesItsTimeOfDayFromTimeObs) {
    std::vector<std::string> cards = fitsImageCards(16, 4, 2);
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsIntCard("BZERO", 32768));
    cards.push_back(fitsStringCard("DATE-OBS", "2026-03-15"));
    cards.push_back(fitsStringCard("TIME-OBS", "20:00:07.5"));
    cards.push_back(fitsRealCard("EXPTIME", 30.0));
    expectTwins(cards, plainCards());
    // Without a fraction of a second, and with the date in free format.
    cards[7] = fitsFreeCard("DATE-OBS", "'2026-03-15'", 20);
    cards[8] = fitsStringCard("TIME-OBS", "20:00:07");
    expectTwins(cards, plainCards());
}

TEST(FitsStandardForms, TheTimeOfDayIsFoundOnlyWhereItIsWritten) {
    ImageHeader h;
    // A date alone and no TIME-OBS: no time of day.
    test::headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2026-03-15")}), h);
    EXPECT_TRUE(h.hasDate);
    EXPECT_FALSE(h.hasTimeOfDay);
    EXPECT_EQ(h.hour, 0);
    // An empty TIME-OBS holds none either; a TIME-OBS without "= " holds no value at all.
    for (const std::string& time :
         {fitsStringCard("TIME-OBS", ""), fitsTextCard("TIME-OBS  '20:00:07'")}) {
        test::headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2026-03-15"), time}), h);
        EXPECT_FALSE(h.hasTimeOfDay) << time;
    }
    // A DATE-OBS with its time: TIME-OBS is not read.
    test::headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2026-03-15T20:00:07"),
                                     fitsStringCard("TIME-OBS", "01:02:03")}),
                         h);
    EXPECT_TRUE(h.hasTimeOfDay);
    EXPECT_EQ(h.hour, 20);
    EXPECT_EQ(h.second, 7);
    // TIME-OBS without DATE-OBS: no date, so no time of day.
    test::headerLogLines(fitsHeader({fitsStringCard("TIME-OBS", "20:00:07")}), h);
    EXPECT_FALSE(h.hasDate);
    EXPECT_FALSE(h.hasTimeOfDay);
    EXPECT_EQ(h.hour, 0);
}

TEST(FitsStandardForms, NumbersOutsideTheirRangesAreReportedAsWritten) {
    ImageHeader h;
    const std::vector<std::string> lines =
        test::headerLogLines(fitsHeader({fitsStringCard("DATE-OBS", "2026-13-32"),
                                         fitsStringCard("TIME-OBS", "25:61:99.9")}),
                             h);
    EXPECT_EQ(keywordLines(lines),
              (std::vector<std::string>{"", "Year, month, day =  2026  13  32 ",
                                        "Hour, minutes, seconds =  25  61  99 "}));
    EXPECT_TRUE(h.hasTimeOfDay);
}

TEST(FitsStandardForms, Naxis3ImagetypAndSaturateAreRead) {
    test::TempDir dir;
    std::vector<std::string> middle = {fitsIntCard("NAXIS3X", 7), fitsIntCard("NAXIS3", 3),
                                       fitsStringCard("IMAGETYP", "Dark Frame"),
                                       fitsRealCard("SATURATE", 65000.0, "DC")};
    const ReadResult r = test::readFitsBytes(dir, fitsFileBytes(plainCards(middle), kSamples));
    EXPECT_EQ(r.header.planes, 3);  // NAXIS3X, which begins with "NAXIS3", is another keyword
    EXPECT_EQ(r.header.imageType, "Dark Frame");
    EXPECT_TRUE(r.header.hasSaturate);
    EXPECT_EQ(r.header.saturate, 65000.0f);
    // They add no log line: the log is the plain frame's.
    const ReadResult p = test::readFitsBytes(dir, fitsFileBytes(plainCards(), kSamples), "p.fit");
    EXPECT_EQ(keywordLines(r.lines), keywordLines(p.lines));
    EXPECT_EQ(test::pixelValues(r.image), kPixels);
    EXPECT_EQ(p.header.planes, 1);
    EXPECT_EQ(p.header.imageType, "");
    EXPECT_FALSE(p.header.hasSaturate);
}

TEST(FitsStandardForms, ImagetypIsTheStringWithoutQuotesAndTrailingBlanks) {
    const auto imageType = [](const std::string& card) {
        ImageHeader h;
        test::headerLogLines(fitsHeader({card}), h);
        return h.imageType;
    };
    EXPECT_EQ(imageType(fitsStringCard("IMAGETYP", "Light")), "Light");  // written 'Light   '
    EXPECT_EQ(imageType(fitsFreeCard("IMAGETYP", "'  Bias''s frame  '", 30, "kind")),
              "  Bias's frame");
    EXPECT_EQ(imageType(fitsTextCard("IMAGETYP= 'a/b' / c")), "a/b");
    EXPECT_EQ(imageType(fitsTextCard("IMAGETYP= 'unclosed")), "unclosed");
    EXPECT_EQ(imageType(fitsTextCard("IMAGETYP= Light")), "");  // no quote: no string
    EXPECT_EQ(imageType(fitsTextCard("IMAGETYPE= 'Light'")), "");
}

TEST(FitsStandardForms, SaturateAndNaxis3NeedANumber) {
    ImageHeader h;
    test::headerLogLines(
        fitsHeader({fitsStringCard("SATURATE", "none"), fitsStringCard("NAXIS3", "three")}), h);
    EXPECT_FALSE(h.hasSaturate);
    EXPECT_EQ(h.saturate, 0.0f);
    EXPECT_EQ(h.planes, 1);
    test::headerLogLines(
        fitsHeader({fitsFreeCard("SATURATE", "6.5535E4", 50), fitsFreeCard("NAXIS3", "1", 11)}), h);
    EXPECT_TRUE(h.hasSaturate);
    EXPECT_EQ(h.saturate, 65535.0f);
    EXPECT_EQ(h.planes, 1);
}

}  // namespace
}  // namespace orvel
