// The moment of a frame in UTC from each time card capture programs write, through the header
// bytes and the log's time lines. Every expected moment is worked by hand from the card.
#include <gtest/gtest.h>

#include <tuple>

#include "fits/fits_writer.h"
#include "fits_test_util.h"

namespace orvel {
namespace {

using Moment = std::tuple<int, int, int, int, int, int>;

struct Read {
    ImageHeader header;
    std::vector<std::string> lines;  // the header's log lines
    Moment moment() const {
        const ImageHeader& h = header;
        return {h.year, h.month, h.day, h.hour, h.minute, h.second};
    }
};

Read readCards(const std::vector<std::string>& cards) {
    std::vector<std::string> all = fitsImageCards(16, 4, 4);
    all.insert(all.end(), cards.begin(), cards.end());
    Read r;
    r.lines = test::headerLogLines(fitsHeader(all), r.header);
    return r;
}

bool hasLine(const Read& r, const std::string& line) {
    return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end();
}

TEST(HeaderTime, ADateObsWithAnOffsetIsBroughtToUtcAndLoggedSo) {
    // 18:33:43.317 at UTC-7 is 01:33:43.317 UTC the next day.
    const Read r = readCards({fitsStringCard("DATE-OBS", "2017-12-19T18:33:43.317-0700")});
    EXPECT_EQ(r.moment(), (Moment{2017, 12, 20, 1, 33, 43}));
    EXPECT_NEAR(r.header.secondFraction, 0.317, 1e-9);
    EXPECT_EQ(r.header.timeCards, "DATE-OBS less its offset -0700");
    EXPECT_TRUE(hasLine(r, "Year, month, day =  2017  12  20 "));
    EXPECT_TRUE(hasLine(r, "Hour, minutes, seconds =  1  33  43 "));
    // East of Greenwich, with a colon: 23:30 at UTC+5:30 is 18:00 UTC.
    EXPECT_EQ(readCards({fitsStringCard("DATE-OBS", "2026-03-15T23:30:00+05:30")}).moment(),
              (Moment{2026, 3, 15, 18, 0, 0}));
}

TEST(HeaderTime, AUtcDateObsStandsWithOrWithoutItsZ) {
    const Read z = readCards({fitsStringCard("DATE-OBS", "2026-03-15T23:30:00.250Z"),
                              fitsStringCard("UT-OBS", "01:00:00")});
    EXPECT_EQ(z.moment(), (Moment{2026, 3, 15, 23, 30, 0}));
    EXPECT_NEAR(z.header.secondFraction, 0.25, 1e-9);
    EXPECT_EQ(z.header.timeCards, "");
    EXPECT_EQ(readCards({fitsStringCard("DATE-OBS", "2026-03-15T23:30:00"),
                         fitsRealCard("MJD-OBS", 51544.0)})
                  .moment(),
              (Moment{2026, 3, 15, 23, 30, 0}));
}

TEST(HeaderTime, UtObsServesALocalDateObsOnTheUtcDay) {
    // Local 18:33 on the 19th at UTC-7: UT-OBS 01:33 falls on the 20th.
    const Read r = readCards({fitsStringCard("DATE-OBS", "2017-12-19T18:33:43.317-07:00"),
                              fitsStringCard("UT-OBS", "01:33:44.5")});
    EXPECT_EQ(r.moment(), (Moment{2017, 12, 20, 1, 33, 44}));
    EXPECT_EQ(r.header.timeCards, "UT-OBS (DATE-OBS is local time, -07:00)");
}

TEST(HeaderTime, ADateObsWithoutZoneThatUtObsContradictsIsLocal) {
    // 21:35 written in DATE-OBS, 04:35 in UT-OBS: seven hours apart, the UTC day the next one.
    const Read r = readCards(
        {fitsStringCard("DATE-OBS", "2026-03-15T21:35:51"), fitsStringCard("UT-OBS", "04:35:51")});
    EXPECT_EQ(r.moment(), (Moment{2026, 3, 16, 4, 35, 51}));
    EXPECT_EQ(r.header.timeCards, "UT-OBS (DATE-OBS is local time)");
    // A UT-OBS that agrees (to the second written) leaves DATE-OBS as it is.
    const Read same = readCards({fitsStringCard("DATE-OBS", "2026-03-15T21:35:51.4"),
                                 fitsStringCard("UT-OBS", "21:35:51")});
    EXPECT_EQ(same.moment(), (Moment{2026, 3, 15, 21, 35, 51}));
    EXPECT_EQ(same.header.timeCards, "");
}

TEST(HeaderTime, TimeObsTakesTheDayNearestTheOtherCards) {
    // MJD-OBS 61115.0 is 2026-03-16 0h; TIME-OBS 23:59 lies one minute before it.
    const Read r =
        readCards({fitsStringCard("TIME-OBS", "23:59:00"), fitsRealCard("MJD-OBS", 61115.0)});
    EXPECT_EQ(r.moment(), (Moment{2026, 3, 15, 23, 59, 0}));
    EXPECT_EQ(r.header.timeCards, "TIME-OBS");
    // Alone, a time of day has no date.
    EXPECT_FALSE(readCards({fitsStringCard("TIME-OBS", "23:59:00")}).header.hasDate);
}

TEST(HeaderTime, DateAvgAndDateEndGiveTheStartThroughTheExposure) {
    const Read avg = readCards(
        {fitsStringCard("DATE-AVG", "2026-03-16T03:00:15.0000000"), fitsRealCard("EXPTIME", 30.0)});
    EXPECT_EQ(avg.moment(), (Moment{2026, 3, 16, 3, 0, 0}));
    EXPECT_EQ(avg.header.timeCards, "DATE-AVG less half the exposure");
    // EXPOSURE stands in for EXPTIME, and is logged as the exposure.
    const Read end = readCards(
        {fitsStringCard("DATE-END", "2026-03-16T03:00:30"), fitsRealCard("EXPOSURE", 30.0)});
    EXPECT_EQ(end.moment(), (Moment{2026, 3, 16, 3, 0, 0}));
    EXPECT_EQ(end.header.timeCards, "DATE-END less the exposure");
    EXPECT_TRUE(hasLine(end, "Exposure time (sec) =  30 "));
}

TEST(HeaderTime, MjdObsAndJdServeInThatOrder) {
    // MJD 61115.125 is 2026-03-16 03:00 (astropy's Time); JD = MJD + 2400000.5.
    const Read mjd = readCards({fitsRealCard("MJD-OBS", 61115.125)});
    EXPECT_EQ(mjd.moment(), (Moment{2026, 3, 16, 3, 0, 0}));
    EXPECT_EQ(mjd.header.timeCards, "MJD-OBS");
    const Read jd = readCards({fitsRealCard("JD", 2461115.625)});
    EXPECT_EQ(jd.moment(), (Moment{2026, 3, 16, 3, 0, 0}));
    EXPECT_EQ(jd.header.timeCards, "JD");
    // A date beyond any calendar is no moment.
    EXPECT_FALSE(readCards({fitsRealCard("MJD-OBS", 1e300)}).header.hasDate);
    EXPECT_FALSE(readCards({fitsRealCard("JD", -1e300)}).header.hasDate);
    // A UT-OBS is preferred to a coarse MJD-OBS of three decimals.
    EXPECT_EQ(readCards({fitsStringCard("UT-OBS", "03:00:07"), fitsRealCard("MJD-OBS", 61115.125),
                         fitsRealCard("JD", 2461115.0)})
                  .moment(),
              (Moment{2026, 3, 16, 3, 0, 7}));
}

}  // namespace
}  // namespace orvel
