#include "observing/place_of_date.h"

#include <erfa.h>

#include <numbers>

namespace orvel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// The place turned by the matrix of the moment, or by its transpose (the way back). UTC stands
// for TT here: the minute between them moves a star by less than a thousandth of an arcsecond.
SkyPlace turned(const SkyPlace& from, double julianDate, bool back) {
    double rbpn[3][3];
    eraPnm06a(julianDate, 0.0, rbpn);
    double v[3];
    double w[3];
    eraS2c(from.rightAscension * 15.0 * kDegToRad, from.declination * kDegToRad, v);
    if (back)
        eraTrxp(rbpn, v, w);
    else
        eraRxp(rbpn, v, w);
    double ra = 0.0;
    double dec = 0.0;
    eraC2s(w, &ra, &dec);
    return {eraAnp(ra) / kDegToRad / 15.0, dec / kDegToRad};
}

}  // namespace

SkyPlace placeOfDate(const SkyPlace& j2000, double julianDate) {
    return turned(j2000, julianDate, false);
}

SkyPlace placeOfJ2000(const SkyPlace& ofDate, double julianDate) {
    return turned(ofDate, julianDate, true);
}

}  // namespace orvel
