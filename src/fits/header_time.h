// The moment an exposure started, in UTC, from the time cards capture programs write: DATE-OBS
// with or without a zone, UT-OBS, TIME-OBS, DATE-AVG, DATE-END, MJD-OBS and JD.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fits/image_header.h"

namespace orvel {

// A date and time written in ISO form, 'YYYY-MM-DD', 'YYYY-MM-DDThh:mm:ss[.fff]', or a time
// alone 'hh:mm:ss[.fff]', with the zone the text names.
struct IsoTime {
    bool hasDate = false;      // the text begins with a date
    bool hasTime = false;      // it holds a time of day
    int year = 0;              // the date as written (0 without one)
    int month = 0;             // 1 to 12
    int day = 0;               // 1 to 31
    double secondOfDay = 0.0;  // seconds since the day's midnight, in the text's own zone
    bool zoned = false;        // a zone follows the time: 'Z' or an offset
    int offsetMinutes = 0;     // the zone's offset from UTC, minutes, east positive (0 for Z)
    std::string offsetText;    // the offset as written ('-0700'); empty for Z or no zone
};

// The text read as an ISO date and time; empty when it is not one (a legacy 'DD/MM/YY' is not).
std::optional<IsoTime> parseIsoTime(std::string_view text);

// Days from 1858-11-17 (the modified Julian date's origin) to 0h of a Gregorian date.
long long daysFromCivil(int year, int month, int day);

// A modified Julian date (UTC) set into the header's date and time fields, to the millisecond;
// the fraction of a second goes to secondFraction. A date more than 10 million days from MJD 0
// (or not finite) leaves the header as it is and gives false.
bool setHeaderMoment(double mjd, ImageHeader& header);

// The exposure's start in UTC, where DATE-OBS is missing or holds local time: from the first of
// UT-OBS, TIME-OBS, DATE-AVG (less half the exposure), DATE-END (less the exposure), MJD-OBS
// and JD that the header holds, else from DATE-OBS less its offset. A DATE-OBS in UTC only gains
// its fraction of a second. header.timeCards names the cards used when they were not a UTC
// DATE-OBS. Call after the exposure is known.
void readUtcMoment(std::string_view headerText, ImageHeader& header);

}  // namespace orvel
