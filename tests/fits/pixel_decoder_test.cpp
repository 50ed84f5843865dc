// Pixel decoding through FITS files on disk: sample formats, BSCALE/BZERO, sample order,
// truncated files and the count line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fits/fits_writer.h"
#include "fits_test_util.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::readFitsBytes;
using test::ReadResult;

// A file of the given format and size whose data bytes are given as they stand.
std::string rawFile(int bitpix, int columns, int rows, const std::string& data, double bzero = 0.0,
                    double bscale = 1.0) {
    std::vector<std::string> cards = fitsImageCards(bitpix, columns, rows);
    cards.push_back(fitsRealCard("BSCALE", bscale));
    cards.push_back(fitsRealCard("BZERO", bzero));
    return fitsFileBytes(cards, data);
}

std::string lastLine(const ReadResult& r) {
    return r.lines.empty() ? "" : r.lines.back();
}

TEST(PixelDecoder, Sixteen_bitSamplesWithBzero32768CoverTheUnsignedRange) {
    test::TempDir dir;
    const ReadResult r = readFitsBytes(
        dir, rawFile(16, 4, 1, std::string("\x80\x00\x00\x00\xFF\xFF\x7F\xFF", 8), 32768.0));
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(r.image.columns, 4);
    EXPECT_EQ(r.image.rows, 1);
    EXPECT_EQ(test::pixelValues(r.image), (std::vector<float>{0.0f, 32768.0f, 32767.0f, 65535.0f}));
    ASSERT_GE(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[r.lines.size() - 2], "");
    EXPECT_EQ(lastLine(r), "Number of 2-byte data strings read from file =  4 ");
}

TEST(PixelDecoder, Float32BytesAreBigEndianIeeeValues) {
    test::TempDir dir;
    const std::string data("\x3F\x80\x00\x00\xC0\x20\x00\x00\x7F\xC0\x00\x00\x7F\x80\x00\x00", 16);
    const ReadResult r = readFitsBytes(dir, rawFile(-32, 2, 2, data));
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(r.image.at(0, 0), 1.0f);
    EXPECT_EQ(r.image.at(1, 0), -2.5f);
    EXPECT_TRUE(std::isnan(r.image.at(0, 1)));
    EXPECT_EQ(r.image.at(1, 1), std::numeric_limits<float>::infinity());
    EXPECT_EQ(lastLine(r), "Number of 4-byte data strings read from file =  4 ");
}

TEST(PixelDecoder, SamplesFillRowsColumnFastestFromTheFirstRowInTheFile) {
    test::TempDir dir;
    const ReadResult r =
        readFitsBytes(dir, rawFile(16, 3, 2, encodeSamples({1, 2, 3, 4, 5, 6}, 16)));
    EXPECT_EQ(r.image.at(0, 0), 1.0f);
    EXPECT_EQ(r.image.at(1, 0), 2.0f);
    EXPECT_EQ(r.image.at(2, 0), 3.0f);
    EXPECT_EQ(r.image.at(0, 1), 4.0f);
    EXPECT_EQ(r.image.at(1, 1), 5.0f);
    EXPECT_EQ(r.image.at(2, 1), 6.0f);
}

TEST(PixelDecoder, DataOfATwoBlockHeaderStartAtByte5761) {
    test::TempDir dir;
    std::vector<std::string> cards = fitsImageCards(16, 2, 1);
    cards.resize(40, fitsTextCard("COMMENT long header"));
    const ReadResult r = readFitsBytes(dir, fitsFileBytes(cards, encodeSamples({-7, 1234}, 16)));
    EXPECT_EQ(r.header.dataStart, 5761);
    EXPECT_EQ(test::pixelValues(r.image), (std::vector<float>{-7.0f, 1234.0f}));
}

TEST(PixelDecoder, TruncatedFileCountsWholeSamplesAndTheRestEqualBzero) {
    test::TempDir dir;
    // 5 whole samples and the first byte of a sixth, of the 12 the header announces.
    std::vector<std::string> cards = fitsImageCards(16, 4, 3);
    cards.push_back(fitsIntCard("BZERO", 100));
    const std::string bytes = fitsHeader(cards) + encodeSamples({1, 2, 3, 4, 5}, 16) + "\x01";
    const ReadResult r = readFitsBytes(dir, bytes);
    EXPECT_EQ(r.count, 5);
    EXPECT_EQ(lastLine(r), "Number of 2-byte data strings read from file =  5 ");
    const std::vector<float> expected = {101, 102, 103, 104, 105, 256 + 100,
                                         100, 100, 100, 100, 100, 100};
    EXPECT_EQ(test::pixelValues(r.image), expected);

    // Nothing after the header at all: every pixel is bzero, the count 0.
    const ReadResult empty = readFitsBytes(dir, fitsHeader(cards), "empty.fit");
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(test::pixelValues(empty.image), std::vector<float>(12, 100.0f));
    EXPECT_EQ(lastLine(empty), "Number of 2-byte data strings read from file =  0 ");
}

// The image's buffer is sized without zeros: a short file read into a buffer that held a whole
// frame must still give bzero for every sample it lacks. 1024 x 1024 floats take the buffer
// into huge pages.
TEST(PixelDecoder, ABufferThatHeldAFrameGivesBzeroForAShortFilesMissingSamples) {
    test::TempDir dir;
    constexpr int kSide = 1024;
    std::vector<std::string> cards = fitsImageCards(16, kSide, kSide);
    cards.push_back(fitsIntCard("BZERO", 100));
    const std::vector<double> whole(static_cast<std::size_t>(kSide) * kSide, 7.0);
    test::writeFile(dir / "whole.fit", fitsHeader(cards) + encodeSamples(whole, 16));
    test::writeFile(dir / "short.fit", fitsHeader(cards) + encodeSamples({1, 2, 3}, 16));
    PixelImage image;
    for (const char* name : {"whole.fit", "short.fit"}) {
        FitsFile file;
        ASSERT_TRUE(file.open(dir / name));
        readPixels(file, parseHeader(readHeaderBlocks(file)), image);
    }
    ASSERT_EQ(image.pixels.size(), whole.size());
    EXPECT_EQ(image.pixels[0], 101.0f);
    EXPECT_EQ(image.pixels[2], 103.0f);
    EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), 100.0f),
              static_cast<std::ptrdiff_t>(whole.size() - 3));
}

TEST(PixelDecoder, EightBitSamplesAreUnsigned) {
    test::TempDir dir;
    const ReadResult r =
        readFitsBytes(dir, rawFile(8, 3, 1, std::string("\x00\x80\xFF", 3), -1.0, 2.0));
    EXPECT_EQ(test::pixelValues(r.image), (std::vector<float>{-1.0f, 255.0f, 509.0f}));
    EXPECT_EQ(lastLine(r), "Number of 1-byte data strings read from file =  3 ");
}

TEST(PixelDecoder, ThirtyTwoBitSamplesAreSignedAndRoundedOnceToFloat) {
    test::TempDir dir;
    const std::string data("\x80\x00\x00\x00\x7F\xFF\xFF\xFF\x00\x00\x00\x03\xFF\xFF\xFF\xFD", 16);
    const ReadResult r = readFitsBytes(dir, rawFile(32, 4, 1, data, 0.5));
    EXPECT_EQ(r.image.pixels[0], -2147483648.0f);
    EXPECT_EQ(r.image.pixels[1], static_cast<float>(2147483647.5));
    EXPECT_EQ(r.image.pixels[2], 3.5f);
    EXPECT_EQ(r.image.pixels[3], -2.5f);
    EXPECT_EQ(lastLine(r), "Number of 4-byte data strings read from file =  4 ");
}

TEST(PixelDecoder, SixtyFourBitFloatsAreNarrowedAfterScaling) {
    test::TempDir dir;
    const std::vector<double> values = {1.5, -0.25, 1e300, 0.1};
    const ReadResult r = readFitsBytes(dir, rawFile(-64, 4, 1, encodeSamples(values, -64)));
    EXPECT_EQ(r.image.pixels[0], 1.5f);
    EXPECT_EQ(r.image.pixels[1], -0.25f);
    EXPECT_EQ(r.image.pixels[2], std::numeric_limits<float>::infinity());
    EXPECT_EQ(r.image.pixels[3], 0.1f);
    EXPECT_EQ(lastLine(r), "Number of 8-byte data strings read from file =  4 ");
}

TEST(PixelDecoder, ScaleAndZeroAreAppliedInDoubleAndRoundedOnce) {
    test::TempDir dir;
    std::vector<std::string> cards = fitsImageCards(16, 2, 1);
    cards.push_back(fitsRealCard("BSCALE", 0.1));
    cards.push_back(fitsRealCard("BZERO", 16777216.0));
    const ReadResult r = readFitsBytes(dir, fitsFileBytes(cards, encodeSamples({3, 10}, 16)));
    // In single precision 16777216 + 1.0f would tie down to ...216; in double the product's
    // excess over 1 tips the one rounding up to ...218.
    EXPECT_EQ(r.image.pixels[0], 16777216.0f);
    EXPECT_EQ(r.image.pixels[1], 16777218.0f);
    EXPECT_EQ(r.image.pixels[1], static_cast<float>(double{0.1f} * 10 + 16777216.0));
}

TEST(PixelDecoder, UnknownBitpixReadsNothing) {
    test::TempDir dir;
    test::writeFile(dir / "f.fit", rawFile(24, 2, 1, std::string(6, '\x01')));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "f.fit"));
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    PixelImage image;
    image.columns = 1;
    image.rows = 1;
    image.pixels = {42.0f};
    EXPECT_EQ(readPixels(file, header, image), -1);
    EXPECT_EQ(test::pixelValues(image), std::vector<float>{42.0f});
    EXPECT_EQ(bytesPerSample(24), 0);
    EXPECT_FALSE(canDecode(header));
}

TEST(PixelDecoder, AbsurdImageSizesAreNotDecoded) {
    ImageHeader header;
    header.bitpix = 16;
    header.columns = 100000;
    header.rows = 100000;
    EXPECT_FALSE(canDecode(header));
    header.columns = -3;
    EXPECT_EQ(headerPixelCount(header), 0);
    EXPECT_TRUE(canDecode(header));
}

TEST(PixelDecoder, ImageTakesEachFilesSize) {
    test::TempDir dir;
    ReadResult r =
        readFitsBytes(dir, rawFile(16, 4, 3, encodeSamples(std::vector<double>(12, 9), 16)));
    EXPECT_EQ(r.image.pixels.size(), 12u);
    test::writeFile(dir / "small.fit", rawFile(16, 2, 2, encodeSamples({1, 2, 3, 4}, 16)));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "small.fit"));
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    EXPECT_EQ(readPixels(file, header, r.image), 4);
    EXPECT_EQ(r.image.columns, 2);
    EXPECT_EQ(r.image.rows, 2);
    EXPECT_EQ(test::pixelValues(r.image), (std::vector<float>{1, 2, 3, 4}));
}

TEST(PixelDecoder, RowRangesFillOnlyTheirRows) {
    test::TempDir dir;
    std::vector<double> values(12);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) - 4.0;
    test::writeFile(dir / "f.fit", rawFile(-32, 3, 4, encodeSamples(values, -32), 1.0));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "f.fit"));
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    // Only the window is held, addressed by image rows.
    PixelImage image;
    EXPECT_EQ(readPixelRows(file, header, 1, 2, image), 6);
    EXPECT_EQ(image.columns, 3);
    EXPECT_EQ(image.rows, 4);
    EXPECT_EQ(image.firstRow, 1);
    EXPECT_EQ(test::pixelValues(image), (std::vector<float>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(image.at(2, 2), 5.0f);
    // A range past the last row is clipped.
    EXPECT_EQ(readPixelRows(file, header, 3, 5, image), 3);
    EXPECT_EQ(image.firstRow, 3);
    EXPECT_EQ(test::pixelValues(image), (std::vector<float>{6, 7, 8}));
    EXPECT_EQ(readPixelRows(file, header, 7, 1, image), 0);
    EXPECT_TRUE(image.pixels.empty());
}

// A region holds only its rows and, in them, only its columns, addressed by image pixels; a file
// cut inside the region gives bzero for what it lacks, whatever the buffer held before.
TEST(PixelDecoder, RegionsHoldOnlyTheirRowsAndColumns) {
    test::TempDir dir;
    std::vector<double> values;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 5; ++c) values.push_back(10.0 * r + c);
    const std::string whole = rawFile(16, 5, 4, encodeSamples(values, 16, 1.0, 100.0), 100.0);
    test::writeFile(dir / "f.fit", whole);
    // Cut after sample 12 (row 2, column 2) and one byte of the next.
    test::writeFile(dir / "cut.fit", whole.substr(0, 2880 * 1 + 12 * 2 + 1));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "f.fit"));
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    ASSERT_EQ(header.dataStart, 2881);
    PixelImage image;
    EXPECT_EQ(readPixelRegion(file, header, {1, 2, 1, 3}, image), 6);
    EXPECT_EQ(image.columns, 5);
    EXPECT_EQ(image.rows, 4);
    EXPECT_EQ(test::pixelValues(image), (std::vector<float>{11, 12, 13, 21, 22, 23}));
    EXPECT_EQ(image.at(3, 2), 23.0f);
    EXPECT_TRUE(image.holdsRow(2));
    EXPECT_FALSE(image.holdsRow(3));
    EXPECT_FALSE(image.holdsColumn(0));
    EXPECT_TRUE(image.holdsColumn(3));
    EXPECT_FALSE(image.holdsColumn(4));
    // A region reaching beyond the image is clipped to it.
    EXPECT_EQ(readPixelRegion(file, header, {-5, 1, 3, 99}, image), 4);
    EXPECT_EQ(image.firstRow, 0);
    EXPECT_EQ(image.firstColumn, 3);
    EXPECT_EQ(test::pixelValues(image), (std::vector<float>{3, 4, 13, 14}));
    FitsFile cut;
    ASSERT_TRUE(cut.open(dir / "cut.fit"));
    EXPECT_EQ(readPixelRegion(cut, header, {1, 2, 1, 3}, image), 4);
    // The cut sample keeps its first byte (0xff of 22 - 100) completed with a zero byte.
    EXPECT_EQ(test::pixelValues(image), (std::vector<float>{11, 12, 13, 21, -256 + 100, 100}));
    // Nothing of the image lies in a region beyond it.
    EXPECT_EQ(readPixelRegion(file, header, {9, 12, 0, 4}, image), 0);
    EXPECT_TRUE(image.pixels.empty());
}

// The samples counted as they are read: each 16-bit and 8-bit sample at its index (the two
// ends of each range and a sample repeated over a piece's end included), and the value each
// index decodes to. A file cut short, and a format that is not counted, say their counts are
// not complete.
TEST(PixelDecoder, SamplesAreCountedAsTheyAreRead) {
    test::TempDir dir;
    constexpr int kColumns = 1000;
    constexpr int kRows = 700;  // more pixels than one piece read
    for (const int bitpix : {16, 8, -32}) {
        const int lowest = bitpix == 16 ? -32768 : 0;
        const int highest = bitpix == 16 ? 32767 : 255;
        std::vector<double> samples;
        for (int i = 0; i < kColumns * kRows; ++i)
            samples.push_back(i % 1001 == 0 ? lowest : i % 999 == 0 ? highest : (i / 7) % 200);
        const std::string data = encodeSamples(samples, bitpix, 1.0, 0.0);
        std::vector<std::string> cards = fitsImageCards(bitpix, kColumns, kRows);
        cards.push_back(fitsRealCard("BSCALE", 2.0));
        cards.push_back(fitsRealCard("BZERO", 10.0));
        for (const bool cut : {false, true}) {
            std::string bytes = fitsFileBytes(cards, data);
            if (cut) bytes.resize(bytes.size() - 2 * 2880);
            test::writeFile(dir / "c.fit", bytes);
            FitsFile file;
            ASSERT_TRUE(file.open(dir / "c.fit"));
            const ImageHeader header = parseHeader(readHeaderBlocks(file));
            PixelImage image;
            SampleCounts counts;
            readPixels(file, header, image, {}, &counts);
            EXPECT_EQ(counts.complete, bitpix != -32 && !cut) << bitpix << " " << cut;
            if (bitpix == -32 || cut) continue;
            std::vector<std::uint32_t> want(SampleCounts::kIndices, 0);
            for (const double s : samples) ++want[static_cast<std::size_t>(s - lowest)];
            EXPECT_EQ(std::vector<std::uint32_t>(counts.counts.begin(), counts.counts.end()), want)
                << bitpix;
            const SampleCoding coding = sampleCoding(header);
            EXPECT_EQ(countedSampleValue(coding, 0), 2.0 * lowest + 10.0) << bitpix;
            EXPECT_EQ(countedSampleValue(coding, static_cast<std::size_t>(highest - lowest)),
                      2.0 * highest + 10.0)
                << bitpix;
            EXPECT_EQ(countedSampleValue(coding, static_cast<std::size_t>(5 - lowest)), 20.0f);
        }
    }
}

TEST(PixelDecoder, DecodeSamplesZeroFillsBytesBeyondTheEnd) {
    const unsigned char bytes[] = {0x00, 0x02, 0x00, 0x03, 0x01};
    std::vector<float> out(4, -1.0f);
    EXPECT_EQ(decodeSamples(bytes, 5, {16, 1.0f, 10.0f}, out.data(), 4), 2);
    EXPECT_EQ(out, (std::vector<float>{12, 13, 266, 10}));
    // Fewer samples wanted than present: only those are written.
    std::vector<float> one(2, -1.0f);
    EXPECT_EQ(decodeSamples(bytes, 4, {16, 1.0f, 0.0f}, one.data(), 1), 1);
    EXPECT_EQ(one, (std::vector<float>{2, -1}));
    EXPECT_EQ(decodeSamples(bytes, 4, {12, 1.0f, 0.0f}, one.data(), 1), 0);
}

}  // namespace
}  // namespace orvel
