// A star's mean place of J2000 and its place of date (true equator and equinox of the moment),
// one from the other, by ERFA's precession-nutation matrix.
#pragma once

namespace orvel {

struct SkyPlace {
    double rightAscension = 0.0;  // hours, 0 to 24
    double declination = 0.0;     // degrees, north positive
};

// The place of date, at a UTC Julian date, of a J2000 place.
SkyPlace placeOfDate(const SkyPlace& j2000, double julianDate);

// The J2000 place of a place of date at a UTC Julian date.
SkyPlace placeOfJ2000(const SkyPlace& ofDate, double julianDate);

}  // namespace orvel
