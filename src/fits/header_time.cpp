#include "fits/header_time.h"

#include <cmath>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "fits/fits_header.h"

namespace orvel {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMjdOfJdZero = 2400000.5;  // JD - MJD
constexpr double kLatestMjd = 1.0e7;        // days from MJD 0 (about the year 29000) beyond
                                            // which a date is not taken
constexpr double kLocalClockGap = 1800.0;   // seconds between DATE-OBS and UT-OBS that show a
                                            // local clock (zones are whole or half hours)

// Whole seconds since MJD 0 as a Gregorian calendar date and time of day.
void setMjdSeconds(long long seconds, ImageHeader& header) {
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long inDay = seconds - days * 86400;
    // Days since 1 March of year 0 (the civil-from-days method), so leap days fall last.
    const long long z = days + 678881;  // MJD 0 is 1858-11-17
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    header.year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    header.month = static_cast<int>(month);
    header.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    header.hour = static_cast<int>(inDay / 3600);
    header.minute = static_cast<int>(inDay / 60 % 60);
    header.second = static_cast<int>(inDay % 60);
    header.hasDate = true;
    header.hasTimeOfDay = true;
}

// The n digits from place `at` of a text as a number; -1 when the text is shorter or one of
// them is not a digit.
int digitsAt(std::string_view t, std::size_t at, std::size_t n) {
    if (at + n > t.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (t[i] < '0' || t[i] > '9') return -1;
        value = value * 10 + (t[i] - '0');
    }
    return value;
}

// 'YYYY-MM-DD' from place `at`; the place after it, or 0 when the text holds no date there.
std::size_t readIsoDate(std::string_view t, std::size_t at, IsoTime& r) {
    r.year = digitsAt(t, at, 4);
    r.month = digitsAt(t, at + 5, 2);
    r.day = digitsAt(t, at + 8, 2);
    if (r.year < 0 || r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31) return 0;
    if (t[at + 4] != '-' || t[at + 7] != '-') return 0;
    r.hasDate = true;
    return at + 10;
}

// 'hh:mm:ss[.fff]' from place `at`; the place after it, or 0 when the text holds no time there.
std::size_t readIsoClock(std::string_view t, std::size_t at, IsoTime& r) {
    const int h = digitsAt(t, at, 2);
    const int m = digitsAt(t, at + 3, 2);
    const int s = digitsAt(t, at + 6, 2);
    if (h < 0 || m < 0 || s < 0 || t[at + 2] != ':' || t[at + 5] != ':') return 0;
    double seconds = s;
    std::size_t end = at + 8;
    // The fraction of a second, as many digits as the writer gave.
    if (end < t.size() && t[end] == '.') {
        double scale = 0.1;
        for (++end; end < t.size() && t[end] >= '0' && t[end] <= '9'; ++end, scale /= 10.0)
            seconds += (t[end] - '0') * scale;
    }
    r.hasTime = true;
    r.secondOfDay = h * 3600.0 + m * 60.0 + seconds;
    return end;
}

// 'Z', '±HH:MM', '±HHMM' or '±HH' from place `at`; the place after it, or 0 when it is none.
std::size_t readIsoZone(std::string_view t, std::size_t at, IsoTime& r) {
    if (t[at] == 'Z') {
        r.zoned = true;
        return at + 1;
    }
    if (t[at] != '+' && t[at] != '-') return 0;
    const int hours = digitsAt(t, at + 1, 2);
    if (hours < 0) return 0;
    std::size_t end = at + 3;
    int minutes = 0;
    if (end < t.size() && t[end] == ':') ++end;
    if (const int mm = digitsAt(t, end, 2); mm >= 0) {
        minutes = mm;
        end += 2;
    }
    r.zoned = true;
    r.offsetMinutes = (t[at] == '-' ? -1 : 1) * (hours * 60 + minutes);
    r.offsetText = std::string(t.substr(at, end - at));
    return end;
}

// A moment of a date and time written in ISO form, as a modified Julian date in UTC.
double isoMjd(const IsoTime& t) {
    return static_cast<double>(daysFromCivil(t.year, t.month, t.day)) +
           (t.secondOfDay - t.offsetMinutes * 60.0) / kSecondsPerDay;
}

// A time of day (UTC) on the day that brings it nearest to a reference moment.
double nearestDay(double secondOfDay, double referenceMjd) {
    const double mjd = std::floor(referenceMjd) + secondOfDay / kSecondsPerDay;
    if (mjd - referenceMjd > 0.5) return mjd - 1.0;
    if (referenceMjd - mjd > 0.5) return mjd + 1.0;
    return mjd;
}

// A card holding a whole moment: an ISO date and time (UTC unless it names its zone).
std::optional<double> isoCard(std::string_view text, std::string_view keyword) {
    const std::optional<IsoTime> t = parseIsoTime(keywordString(text, keyword));
    if (!t || !t->hasDate || !t->hasTime) return std::nullopt;
    return isoMjd(*t);
}

std::optional<double> numberCard(std::string_view text, std::string_view keyword, double less) {
    const std::optional<double> v = keywordNumber(text, keyword);
    if (!v || !std::isfinite(*v) || *v <= less) return std::nullopt;
    return *v - less;
}

// A moment that fixes the day of a card holding a time alone: DATE-OBS (local moments brought
// to UTC; a date alone taken at its noon), else the first whole moment of the other cards.
std::optional<double> referenceMoment(std::string_view text, const std::optional<IsoTime>& obs) {
    if (obs && obs->hasDate) {
        if (obs->hasTime) return isoMjd(*obs);
        return static_cast<double>(daysFromCivil(obs->year, obs->month, obs->day)) + 0.5;
    }
    if (auto v = numberCard(text, "MJD-OBS", 0.0)) return v;
    if (auto v = numberCard(text, "JD", kMjdOfJdZero)) return v;
    if (auto v = isoCard(text, "DATE-AVG")) return v;
    return isoCard(text, "DATE-END");
}

// A card holding a UTC time of day, or a whole moment: the start of the exposure.
std::optional<double> clockCard(std::string_view text, std::string_view keyword,
                                const std::optional<double>& reference) {
    const std::optional<IsoTime> t = parseIsoTime(keywordString(text, keyword));
    if (!t || !t->hasTime) return std::nullopt;
    if (t->hasDate) return isoMjd(*t);
    if (!reference) return std::nullopt;
    return nearestDay(t->secondOfDay - t->offsetMinutes * 60.0, *reference);
}

// One way to the start of the exposure: the cards it reads, and the moment they give.
struct TimeSource {
    std::string cards;                           // as the console names them
    std::function<std::optional<double>()> mjd;  // the start, UTC; empty when it cannot tell
};

std::vector<TimeSource> timeSources(std::string_view text, const std::optional<IsoTime>& obs,
                                    const ImageHeader& header) {
    const std::optional<double> ref = referenceMoment(text, obs);
    const double exposureDays =
        header.hasExposure ? static_cast<double>(header.exposure) / kSecondsPerDay : 0.0;
    const auto less = [](std::optional<double> v, double days) {
        return v ? std::optional<double>(*v - days) : std::nullopt;
    };
    return {
        {"UT-OBS", [=] { return clockCard(text, "UT-OBS", ref); }},
        {"TIME-OBS", [=] { return clockCard(text, "TIME-OBS", ref); }},
        {"DATE-AVG less half the exposure",
         [=] { return less(isoCard(text, "DATE-AVG"), exposureDays / 2.0); }},
        {"DATE-END less the exposure",
         [=] { return less(isoCard(text, "DATE-END"), exposureDays); }},
        {"MJD-OBS", [=] { return numberCard(text, "MJD-OBS", 0.0); }},
        {"JD", [=] { return numberCard(text, "JD", kMjdOfJdZero); }},
    };
}

// A DATE-OBS without a zone that a UT-OBS beside it contradicts by half an hour or more: the
// writer put local time there.
bool contradictedByUtObs(std::string_view text, const IsoTime& obs) {
    if (obs.zoned || !obs.hasDate) return false;
    const double written = isoMjd(obs);
    const std::optional<double> ut = clockCard(text, "UT-OBS", written);
    return ut && std::fabs(*ut - written) * kSecondsPerDay >= kLocalClockGap;
}

}  // namespace

std::optional<IsoTime> parseIsoTime(std::string_view text) {
    IsoTime r;
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos) return std::nullopt;
    // A date, then its time after 'T' (or a blank); or a time alone.
    if (const std::size_t after = readIsoDate(text, at, r); after != 0) {
        at = after;
        if (at < text.size() && (text[at] == 'T' || text[at] == ' ') &&
            digitsAt(text, at + 1, 1) >= 0)
            ++at;
    }
    if (at < text.size() && digitsAt(text, at, 1) >= 0) {
        at = readIsoClock(text, at, r);
        if (at == 0) return std::nullopt;
        if (at < text.size() && text[at] != ' ') at = readIsoZone(text, at, r);
        if (at == 0) return std::nullopt;
    }
    if (!r.hasDate && !r.hasTime) return std::nullopt;
    // Anything but blanks after what was read makes it another form.
    if (at < text.size() && text.find_first_not_of(' ', at) != std::string_view::npos)
        return std::nullopt;
    return r;
}

long long daysFromCivil(int year, int month, int day) {
    // Days since 1 March of year 0 (the days-from-civil method), so leap days fall last.
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 678881;  // MJD 0 is 1858-11-17
}

bool setHeaderMoment(double mjd, ImageHeader& header) {
    // A date a header claims beyond any calendar in use is not a moment (and would overflow).
    if (!(std::fabs(mjd) < kLatestMjd)) return false;
    // To the millisecond: a date of eleven decimals (0.9 microseconds) written for a whole
    // second gives that second.
    const long long milli = std::llround(mjd * kSecondsPerDay * 1e3);
    const long long seconds = milli >= 0 ? milli / 1000 : (milli - 999) / 1000;
    setMjdSeconds(seconds, header);
    header.secondFraction = static_cast<double>(milli - seconds * 1000) / 1e3;
    return true;
}

void readUtcMoment(std::string_view headerText, ImageHeader& header) {
    const std::string written = keywordString(headerText, "DATE-OBS");
    const std::optional<IsoTime> obs = parseIsoTime(written);
    const bool zoned = obs && obs->hasTime && obs->offsetMinutes != 0;
    const bool local = zoned || (obs && obs->hasTime && contradictedByUtObs(headerText, *obs));
    // A UTC DATE-OBS stands; so do a date with its TIME-OBS, and forms read elsewhere.
    if (obs && obs->hasTime && !local) {
        header.secondFraction = obs->secondOfDay - std::floor(obs->secondOfDay);
        return;
    }
    if ((obs && !obs->hasTime && header.hasTimeOfDay) || (!obs && !written.empty())) return;
    std::string why;
    if (local)
        why = zoned ? " (DATE-OBS is local time, " + obs->offsetText + ")"
                    : " (DATE-OBS is local time)";
    for (const TimeSource& source : timeSources(headerText, obs, header)) {
        if (const std::optional<double> mjd = source.mjd(); mjd && setHeaderMoment(*mjd, header)) {
            header.timeCards = source.cards + why;
            return;
        }
    }
    if (!zoned) return;
    if (setHeaderMoment(isoMjd(*obs), header))
        header.timeCards = "DATE-OBS less its offset " + obs->offsetText;
}

}  // namespace orvel
