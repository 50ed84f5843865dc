// Time and sky geometry for the night simulator, computed the textbook way (Julian date from
// the calendar date, IAU 1982 sidereal time, hour angle, altitude) and kept apart from the
// program's own observing code, so that the simulated truth checks it instead of echoing it.
#pragma once

#include <erfa.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace orvel::simulate {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
constexpr double kSiderealDegreesPerDay = 360.98564736629;  // Earth's turn against the stars
constexpr std::int64_t kSecondsPerDay = 86400;

// A moment in UT as a calendar date and a whole-second time of day.
struct CivilTime {
    int year = 2000;  // Gregorian calendar
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
    int second = 0;   // 0..59
};

// Days from 1970-01-01 to a Gregorian date (negative before), exact for any year.
inline std::int64_t daysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Whole seconds since 1970-01-01 00:00:00 UT of a calendar moment.
inline std::int64_t secondsFromCivil(const CivilTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 +
           t.second;
}

// The calendar moment of a count of seconds since 1970-01-01 00:00:00 UT.
inline CivilTime civilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) rest += kSecondsPerDay, --days;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

// 'YYYY-MM-DDThh:mm:ss', the DATE-OBS form.
inline std::string isoTime(const CivilTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

// Julian date of a calendar moment (Meeus, Gregorian calendar).
inline double julianDate(const CivilTime& t) {
    int y = t.year;
    int m = t.month;
    // January and February count as months 13 and 14 of the year before.
    if (m <= 2) y -= 1, m += 12;
    const double a = std::floor(y / 100.0);
    const double b = 2.0 - a + std::floor(a / 4.0);
    const double dayStart =
        std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + t.day + b - 1524.5;
    return dayStart + (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
}

// Greenwich mean sidereal time in degrees, 0..360, by the IAU 1982 expression.
inline double gmstDegrees(double jd) {
    const double d = jd - 2451545.0;
    const double t = d / 36525.0;
    const double theta =
        280.46061837 + kSiderealDegreesPerDay * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    const double reduced = std::fmod(theta, 360.0);
    return reduced < 0.0 ? reduced + 360.0 : reduced;
}

// An angle in degrees brought to -180..180.
inline double wrap180(double degrees) {
    const double r = std::fmod(degrees + 180.0, 360.0);
    return (r < 0.0 ? r + 360.0 : r) - 180.0;
}

// Hour angle in degrees (-180..180, west positive) of a star at a moment and east longitude.
inline double hourAngleDegrees(double jd, double longitudeDeg, double raHours) {
    return wrap180(gmstDegrees(jd) + longitudeDeg - raHours * 15.0);
}

// Altitude above the horizon in degrees, from latitude, declination and hour angle.
inline double altitudeDegrees(double latitudeDeg, double declinationDeg, double hourAngleDeg) {
    const double s = std::sin(latitudeDeg * kDegree) * std::sin(declinationDeg * kDegree) +
                     std::cos(latitudeDeg * kDegree) * std::cos(declinationDeg * kDegree) *
                         std::cos(hourAngleDeg * kDegree);
    return std::asin(std::clamp(s, -1.0, 1.0)) / kDegree;
}

// Optical airmass by Hardie's polynomial in sec z - 1.
inline double hardieAirmass(double altitudeDeg) {
    const double secz = 1.0 / std::sin(altitudeDeg * kDegree);
    const double u = secz - 1.0;
    return secz - 0.0018167 * u - 0.002875 * u * u - 0.000808 * u * u * u;
}

// The star's apparent elevation in degrees at a UTC Julian date, as an observer sees it: ERFA's
// catalogue-to-observed chain from J2000 coordinates (precession, nutation, aberration, Earth
// rotation with UT1 = UTC) and refraction at sea level, 1013.25 hPa, 10 C, 0.55 micrometres.
inline double apparentElevation(double latitudeDeg, double longitudeDeg, double raHours,
                                double declinationDeg, double jd) {
    double azimuth = 0, zenith = 0, hourAngle = 0, dec = 0, ra = 0, eo = 0;
    eraAtco13(raHours * 15.0 * kDegree, declinationDeg * kDegree, 0, 0, 0, 0, jd, 0.0, 0.0,
              longitudeDeg * kDegree, latitudeDeg * kDegree, 0.0, 0.0, 0.0, 1013.25, 10.0, 0.0,
              0.55, &azimuth, &zenith, &hourAngle, &dec, &ra, &eo);
    return 90.0 - zenith / kDegree;
}

// Pickering's (2002) airmass of an apparent elevation in degrees, good down to the horizon.
inline double pickeringAirmass(double altitudeDeg) {
    if (!(altitudeDeg >= 0.0)) return std::nan("");
    return 1.0 / std::sin((altitudeDeg + 244.0 / (165.0 + 47.0 * std::pow(altitudeDeg, 1.1))) *
                          kDegree);
}

// Hour angle in degrees (0..180) at which the star sinks to the altitude; 180 when it never
// does, a negative value when it never climbs that high.
inline double hourAngleAtAltitude(double latitudeDeg, double declinationDeg, double altDeg) {
    const double c = (std::sin(altDeg * kDegree) -
                      std::sin(latitudeDeg * kDegree) * std::sin(declinationDeg * kDegree)) /
                     (std::cos(latitudeDeg * kDegree) * std::cos(declinationDeg * kDegree));
    if (c > 1.0) return -1.0;
    if (c < -1.0) return 180.0;
    return std::acos(c) / kDegree;
}

// The whole second (since 1970) of the star's upper culmination nearest to the given moment.
inline std::int64_t transitNear(std::int64_t seconds, double longitudeDeg, double raHours) {
    double t = static_cast<double>(seconds);
    // Two steps: the second only mends the drift of the first's sidereal-rate estimate.
    for (int step = 0; step < 2; ++step) {
        const double jd = 2440587.5 + t / kSecondsPerDay;
        const double h = hourAngleDegrees(jd, longitudeDeg, raHours);
        t -= h / kSiderealDegreesPerDay * kSecondsPerDay;
    }
    return static_cast<std::int64_t>(std::llround(t));
}

}  // namespace orvel::simulate
