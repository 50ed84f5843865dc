// The site, the star and the altitude read from header bytes as capture programs write them.
// Expected values worked by hand from the cards (degrees + minutes/60 + seconds/3600).
#include "fits/header_place.h"

#include <gtest/gtest.h>

#include "fits/fits_header.h"
#include "fits/fits_writer.h"

namespace orvel {
namespace {

HeaderPlace placeOf(const std::vector<std::string>& cards) {
    return readHeaderPlace(scanHeaderBlocks(fitsHeader(cards)).text);
}

TEST(HeaderPlace, SexagesimalStringsInTheirWritersForms) {
    // Unpadded, blank-separated (SGP); signed with decimals (APT); colon-separated with a
    // hemisphere letter.
    EXPECT_NEAR(*angleOfText("51 3 0.000"), 51.05, 1e-12);
    EXPECT_NEAR(*angleOfText("+51 03 00.000"), 51.05, 1e-12);
    EXPECT_NEAR(*angleOfText("-0 30 00"), -0.5, 1e-12);
    EXPECT_NEAR(*angleOfText("31:40:48"), 31.68, 1e-12);
    EXPECT_NEAR(*angleOfText("110 52 48 W"), -110.88, 1e-12);
    EXPECT_NEAR(*angleOfText("33 52 07S"), -(33.0 + 52.0 / 60 + 7.0 / 3600), 1e-12);
    EXPECT_NEAR(*angleOfText(" 4 36 07.37"), 4.0 + 36.0 / 60 + 7.37 / 3600, 1e-12);
    EXPECT_FALSE(angleOfText("high").has_value());
    EXPECT_FALSE(angleOfText("").has_value());
}

TEST(HeaderPlace, EachCardOfTheTableInItsOrderOfPreference) {
    const HeaderPlace nina =
        placeOf({fitsRealCard("SITELAT", 31.68), fitsRealCard("SITELONG", -110.88),
                 fitsRealCard("RA", 97.8958), fitsRealCard("DEC", 4.9778),
                 fitsStringCard("OBJCTRA", "06 31 35"), fitsStringCard("OBJCTDEC", "+04 58 40"),
                 fitsRealCard("CENTALT", 45.5)});
    EXPECT_EQ(nina.latitude.card, "SITELAT");
    EXPECT_DOUBLE_EQ(nina.longitude.value, -110.88);
    // The target's strings before the mount's degrees: 6h31m35s, +4 58 40.
    EXPECT_EQ(nina.rightAscension.card, "OBJCTRA");
    EXPECT_NEAR(nina.rightAscension.value, 6.0 + 31.0 / 60 + 35.0 / 3600, 1e-12);
    EXPECT_NEAR(nina.declination.value, 4.0 + 58.0 / 60 + 40.0 / 3600, 1e-12);
    EXPECT_FALSE(nina.starOfDate);
    EXPECT_DOUBLE_EQ(nina.altitude.value, 45.5);
    // OBSGEO-L (east positive) wins over TheSkyX's west-positive SITELONG.
    const HeaderPlace sky =
        placeOf({fitsStringCard("SITELONG", "+122 30 00.00"), fitsRealCard("OBSGEO-L", -122.5)});
    EXPECT_EQ(sky.longitude.card, "OBSGEO-L");
    EXPECT_DOUBLE_EQ(sky.longitude.value, -122.5);
    // RA in degrees becomes hours; a card marked JNOW, or an EQUINOX of date, is of date.
    const HeaderPlace now =
        placeOf({fitsRealCard("RA", 90.0, "Epoch : JNOW"), fitsRealCard("DEC", -20.0)});
    EXPECT_DOUBLE_EQ(now.rightAscension.value, 6.0);
    EXPECT_TRUE(now.starOfDate);
    EXPECT_TRUE(placeOf({fitsRealCard("RA", 90.0), fitsRealCard("DEC", -20.0),
                         fitsRealCard("EQUINOX", 2025.215)})
                    .starOfDate);
    // An AIRMASS of 2 is the altitude of sec z = 2: 30 degrees.
    EXPECT_NEAR(placeOf({fitsRealCard("AIRMASS", 2.0)}).altitude.value, 30.0, 1e-9);
}

TEST(HeaderPlace, ZerosAreMissing) {
    const HeaderPlace p =
        placeOf({fitsStringCard("SITELAT", "00 00 00"), fitsRealCard("SITELONG", 0.0),
                 fitsStringCard("OBJCTRA", "00 00 00"), fitsStringCard("OBJCTDEC", "00 00 00"),
                 fitsRealCard("LAT-OBS", 35.0)});
    EXPECT_EQ(p.latitude.card, "LAT-OBS");
    EXPECT_FALSE(p.longitude.known());
    EXPECT_FALSE(p.rightAscension.known());
    EXPECT_FALSE(p.declination.known());
}

}  // namespace
}  // namespace orvel
