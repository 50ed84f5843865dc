#include "fits/header_place.h"

#include <array>
#include <cctype>
#include <numbers>
#include <vector>

#include "base/typed_line.h"
#include "fits/fits_header.h"

namespace orvel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// A keyword's value as an angle: a string read as degrees (or hours), minutes and seconds, or a
// number. Empty when the header has no such card or its value reads as neither.
std::optional<double> cardAngle(std::string_view text, std::string_view keyword) {
    const std::string written = keywordString(text, keyword);
    if (!written.empty()) return angleOfText(written);
    return keywordNumber(text, keyword);
}

// The first keyword of the list whose value is an angle other than 0.
CardValue firstAngle(std::string_view text, std::initializer_list<std::string_view> keywords) {
    for (const std::string_view keyword : keywords) {
        const std::optional<double> v = cardAngle(text, keyword);
        if (v && std::isfinite(*v) && *v != 0.0) return {*v, std::string(keyword)};
    }
    return {};
}

// Whether the card of the keyword says in its comment that it holds the place of date.
bool markedOfDate(std::string_view text, std::string_view keyword) {
    const std::string card = upperCase(keywordCard(text, keyword));
    return card.find("JNOW") != std::string::npos;
}

// The star: OBJCTRA/OBJCTDEC (a string in hours, or a number in degrees), else RA/DEC.
void readStar(std::string_view text, HeaderPlace& p) {
    for (const auto& [ra, dec] : std::array<std::pair<std::string_view, std::string_view>, 2>{
             {{"OBJCTRA", "OBJCTDEC"}, {"RA", "DEC"}}}) {
        const CardValue r = firstAngle(text, {ra});
        const CardValue d = firstAngle(text, {dec});
        if (!r.known() || !d.known()) continue;
        // A string is written in hours; a number in degrees.
        const bool hours = !keywordString(text, ra).empty();
        p.rightAscension = {hours ? r.value : r.value / 15.0, r.card};
        p.declination = d;
        const std::optional<double> equinox = keywordNumber(text, "EQUINOX");
        p.starOfDate = markedOfDate(text, ra) || (equinox && std::fabs(*equinox - 2000.0) > 0.5);
        return;
    }
}

}  // namespace

std::optional<double> angleOfText(std::string_view text) {
    std::string rest(text);
    double sign = 1.0;
    // A hemisphere letter at the end gives the sign.
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    if (!rest.empty() && std::string_view("NSEWnsew").find(rest.back()) != std::string::npos) {
        if (std::toupper(static_cast<unsigned char>(rest.back())) == 'S' ||
            std::toupper(static_cast<unsigned char>(rest.back())) == 'W')
            sign = -1.0;
        rest.pop_back();
    }
    const std::size_t first = rest.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    // The sign stands before the degrees, also when they are 0 ('-0 30 00').
    if (rest[first] == '-' || rest[first] == '+') {
        if (rest[first] == '-') sign = -sign;
        rest[first] = ' ';
    }
    for (char& c : rest)
        if (c == ':') c = ' ';
    double value = 0.0;
    double unit = 1.0;
    std::size_t at = 0;
    for (int part = 0; part < 3; ++part, unit /= 60.0) {
        at = rest.find_first_not_of(' ', at);
        if (at == std::string::npos) break;
        const LeadingNumber n = leadingNumber(std::string_view(rest).substr(at));
        if (n.length == 0 || n.value < 0.0) return std::nullopt;
        value += n.value * unit;
        at += n.length;
    }
    if (at != std::string::npos && rest.find_first_not_of(' ', at) != std::string::npos)
        return std::nullopt;
    return sign * value;
}

HeaderPlace readHeaderPlace(std::string_view headerText) {
    HeaderPlace p;
    p.latitude = firstAngle(headerText, {"OBSGEO-B", "SITELAT", "LAT-OBS", "LATITUDE"});
    p.longitude = firstAngle(headerText, {"OBSGEO-L", "SITELONG", "LONG-OBS", "LONGITUD"});
    readStar(headerText, p);
    p.altitude = firstAngle(headerText, {"CENTALT", "TELALT", "OBJCTALT", "ALTITUDE"});
    if (!p.altitude.known()) {
        // The altitude whose sec z the airmass is (a few hundredths of a degree off the
        // refined airmass formulas, far inside the check's tolerance).
        const std::optional<double> x = keywordNumber(headerText, "AIRMASS");
        if (x && *x >= 1.0) p.altitude = {90.0 - std::acos(1.0 / *x) / kDegToRad, "AIRMASS"};
    }
    return p;
}

}  // namespace orvel
