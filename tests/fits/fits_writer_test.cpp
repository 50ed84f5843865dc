// The FITS writer used by the simulator and the tests: card layout, block padding, and samples
// that the decoder turns back into the values written.
#include "fits/fits_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fits/pixel_decoder.h"

namespace orvel {
namespace {

TEST(FitsWriter, CardsFollowTheFixedFormat) {
    EXPECT_EQ(fitsIntCard("BITPIX", -32), "BITPIX  =                  -32" + std::string(50, ' '));
    EXPECT_EQ(fitsLogicalCard("SIMPLE", true).substr(0, 31), "SIMPLE  =                    T ");
    EXPECT_EQ(fitsRealCard("EXPTIME", 30.0).substr(0, 30), "EXPTIME =                  30.");
    EXPECT_EQ(fitsRealCard("BSCALE", 1e-20).substr(10, 20), std::string(14, ' ') + "1.E-20");
    EXPECT_EQ(fitsRealCard("BZERO", 0.125, "offset").substr(10, 30),
              "               0.125 / offset ");
    EXPECT_EQ(fitsStringCard("DATE-OBS", "2026-03-16T04:05:06").substr(0, 31),
              "DATE-OBS= '2026-03-16T04:05:06'");
    EXPECT_EQ(fitsStringCard("OBJECT", "a'b").substr(10, 11), "'a''b    ' ");
    for (const std::string& card : fitsImageCards(16, 3, 2)) EXPECT_EQ(card.size(), 80u);
}

TEST(FitsWriter, FreeFormatCardsPutTheValueInTheColumnGiven) {
    EXPECT_EQ(fitsFreeCard("BSCALE", "1.0", 40),
              "BSCALE  =" + std::string(30, ' ') + "1.0" + std::string(38, ' '));
    EXPECT_EQ(fitsFreeCard("BZERO", "3.2768000000000000E+04", 11, "offset").substr(0, 41),
              "BZERO   = 3.2768000000000000E+04 / offset");
    EXPECT_EQ(fitsFreeCard("NAXIS1", "4", 1).substr(0, 12), "NAXIS1  = 4 ");
    // Columns 75 to 80 hold the value; one column further it is cut.
    EXPECT_EQ(fitsFreeCard("OBJECT", "'M 42'", 75), "OBJECT  =" + std::string(65, ' ') + "'M 42'");
    EXPECT_EQ(fitsFreeCard("OBJECT", "'M 42'", 76), "OBJECT  =" + std::string(66, ' ') + "'M 42");
}

TEST(FitsWriter, HeaderEndsWithEndAndFillsWholeBlocks) {
    const std::string one = fitsHeader({fitsIntCard("BITPIX", 16)});
    EXPECT_EQ(one.size(), 2880u);
    EXPECT_EQ(one.substr(80, 80), "END" + std::string(77, ' '));
    EXPECT_EQ(one.find_first_not_of(' ', 160), std::string::npos);
    const std::string two =
        fitsHeader(std::vector<std::string>(36, fitsTextCard("COMMENT a full block")));
    EXPECT_EQ(two.size(), 5760u);
    EXPECT_EQ(two.substr(2880, 3), "END");
    EXPECT_EQ(fitsDataPadding(2880), 0);
    EXPECT_EQ(fitsDataPadding(2881), 2879);
    EXPECT_EQ(fitsFileBytes({}, "ab").size(), 5760u);
}

TEST(FitsWriter, EncodedSamplesDecodeToTheValuesWritten) {
    const std::vector<double> values = {0.0, 1.0, 255.0, 65535.0, 32768.0, 12.0};
    for (const int bitpix : {8, 16, 32, -32, -64}) {
        const double bzero = bitpix == 16 ? 32768.0 : 0.0;
        const std::vector<double> in =
            bitpix == 8 ? std::vector<double>{0.0, 1.0, 255.0, 128.0} : values;
        const std::string bytes = encodeSamples(in, bitpix, 1.0, bzero);
        ASSERT_EQ(bytes.size(), in.size() * static_cast<std::size_t>(bytesPerSample(bitpix)));
        std::vector<float> out(in.size());
        const auto n = static_cast<std::int64_t>(in.size());
        EXPECT_EQ(decodeSamples(reinterpret_cast<const unsigned char*>(bytes.data()),
                                n * bytesPerSample(bitpix),
                                {bitpix, 1.0f, static_cast<float>(bzero)}, out.data(), n),
                  n);
        for (std::size_t i = 0; i < in.size(); ++i) {
            EXPECT_EQ(out[i], static_cast<float>(in[i])) << "BITPIX " << bitpix << " value " << i;
        }
    }
}

TEST(FitsWriter, IntegerSamplesRoundHalfToEvenAndStayInRange) {
    const std::string bytes = encodeSamples({2.5, 3.5, 70000.0, -5.0, NAN}, 16, 1.0, 32768.0);
    std::vector<float> out(5);
    decodeSamples(reinterpret_cast<const unsigned char*>(bytes.data()), 10, {16, 1.0f, 32768.0f},
                  out.data(), 5);
    EXPECT_EQ(out, (std::vector<float>{2, 4, 65535, 0, 32768}));
    EXPECT_EQ(encodeSamples({-1.0, 300.0}, 8), std::string("\x00\xFF", 2));
    EXPECT_EQ(encodeSamples({1.0}, -32), std::string("\x3F\x80\x00\x00", 4));
    EXPECT_EQ(encodeSamples({-2.0}, 32, 2.0, 0.0), std::string("\xFF\xFF\xFF\xFF", 4));
}

}  // namespace
}  // namespace orvel
