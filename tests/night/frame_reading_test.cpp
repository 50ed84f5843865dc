// A colour cube's planes read through the night's frame reading: each band's frame holds the
// samples of its own plane, whatever the bytes of one sample.
#include "night/frame_reading.h"

#include <gtest/gtest.h>

#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"
#include "night/frame_selection.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr int kColumns = 5;
constexpr int kRows = 4;

// The value of pixel i of plane p: 50 (p + 1) + i, so every plane and pixel differs (and fits
// in 8 bits).
double cubeValue(int plane, int pixel) {
    return 50.0 * (plane + 1) + pixel;
}

// A 5 x 4 x 3 cube of the given BITPIX, the planes one after the other.
std::string cubeBytes(int bitpix) {
    std::vector<double> values;
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < kColumns * kRows; ++i) values.push_back(cubeValue(p, i));
    std::vector<std::string> cards = fitsImageCards(bitpix, kColumns, kRows);
    cards[2] = fitsIntCard("NAXIS", 3);
    cards.push_back(fitsIntCard("NAXIS3", 3));
    const double bzero = bitpix == 16 ? 32768.0 : 0.0;
    cards.push_back(fitsRealCard("BZERO", bzero));
    cards.push_back(fitsStringCard("DATE-OBS", "2026-03-15T20:00:00"));
    return fitsFileBytes(cards, encodeSamples(values, bitpix, 1.0, bzero));
}

TEST(FrameReading, EachPlaneOfAColourCubeIsItsBandsFrame) {
    for (const int bitpix : {8, 16, -32, -64}) {
        test::TempDir dir;
        test::writeFile(dir / "cube.fits", cubeBytes(bitpix));
        FrameSelection selection;
        selection.patterns = {"*.fits"};
        const ImageFileList list = selectFrames(dir.path(), selection);
        ASSERT_EQ(list.files.size(), 3u) << bitpix;
        for (const ListedFile& listed : list.files) {
            const FrameFile file = openFrameFile(dir.path(), listed.source);
            ASSERT_TRUE(file.problem.empty()) << file.problem;
            const ImageHeader header = frameHeader(file, listed.source);
            EXPECT_EQ(header.planes, 1);
            PixelImage image;
            ASSERT_EQ(readPixels(file.file, header, image), kColumns * kRows) << listed.name;
            // Plane 0 is red, 1 green, 2 blue.
            const int plane = static_cast<int>(bandIndex(listed.band));
            EXPECT_EQ(listed.name, std::string("cube.fits[") + "RGB"[plane] + "]");
            for (int i = 0; i < kColumns * kRows; ++i)
                ASSERT_EQ(image.pixels[static_cast<std::size_t>(i)], cubeValue(plane, i))
                    << "BITPIX " << bitpix << ", " << listed.name << ", pixel " << i;
        }
    }
}

}  // namespace
}  // namespace orvel
