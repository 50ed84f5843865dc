#include "night/exposure_identity.h"

#include <cmath>
#include <cstdint>

#include "fits/fits_header.h"
#include "night/frame_acceptance.h"
#include "observing/calendar.h"

namespace orvel {

namespace {

// Days beyond which an MJD-OBS in milliseconds no longer fits a 64-bit count.
constexpr double kLargestMjd = 1e8;

// The fraction of a second a written time holds after its seconds, trailing zeros dropped
// ("20:00:07.50" gives "5", "20:00:07" nothing): whole seconds alone would make frames taken
// within one second the same moment.
std::string secondFraction(std::string_view time) {
    const std::size_t colon = time.rfind(':');
    if (colon == std::string_view::npos) return {};
    const std::size_t dot = time.find('.', colon);
    if (dot == std::string_view::npos) return {};
    std::string digits;
    for (const char c : time.substr(dot + 1)) {
        if (c < '0' || c > '9') break;
        digits += c;
    }
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return digits;
}

// The parsed moment of a date that names one: minutes since J2000.0's day count, so that
// 24:00:00 is the next day's 0 h, then the second (a leap second stays its own) and fraction.
std::string parsedMoment(const ImageHeader& h, std::string_view fraction) {
    const std::int64_t day = static_cast<std::int64_t>(std::floor(yearStart(h.year))) +
                             monthStart(h.month, isLeapYear(h.year)).value_or(0) + h.day;
    const std::int64_t minutes = day * 1440 + h.hour * 60 + h.minute;
    std::string moment = "T";
    moment.append(std::to_string(minutes)).append(":").append(std::to_string(h.second));
    return moment.append(".").append(fraction);
}

}  // namespace

ExposureIdentity exposureIdentity(const ImageHeader& header, std::string_view headerText) {
    ExposureIdentity id;
    id.columns = header.columns;
    id.rows = header.rows;
    const std::string date = keywordString(headerText, "DATE-OBS");
    const std::string time = keywordString(headerText, "TIME-OBS");
    const std::optional<double> mjd = keywordNumber(headerText, "MJD-OBS");
    if (header.hasDate && dateProblem(header).empty()) {
        // A capture file may give its moment as MJD-OBS alone: compared to the millisecond.
        if (date.empty() && mjd && std::fabs(*mjd) < kLargestMjd)
            id.moment = std::string("M").append(std::to_string(std::llround(*mjd * 86400e3)));
        else  // a date that names a moment is compared as that moment, however it is written
            id.moment = parsedMoment(
                header, secondFraction(date.find(':') != std::string::npos ? date : time));
        return id;
    }
    // Otherwise only the same words name the same moment; no DATE-OBS at all names none.
    if (!date.empty()) id.moment = "W" + date + "|" + time;
    return id;
}

bool sameExposure(const ExposureIdentity& a, const ExposureIdentity& b) {
    // A header that describes no image is left out for that reason, not as a copy.
    return a.known() && a.moment == b.moment && a.columns == b.columns && a.rows == b.rows &&
           a.columns > 0 && a.rows > 0;
}

}  // namespace orvel
