// The site, the star and the telescope's altitude as capture programs write them in a header.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// One value read from a card, with the card's name.
struct CardValue {
    double value = std::nan("");  // in the unit of the field that holds it
    std::string card;             // the keyword it was read from; empty when none held it

    bool known() const { return !card.empty(); }
};

struct HeaderPlace {
    CardValue latitude;        // site latitude, degrees, north positive
    CardValue longitude;       // site longitude, degrees, east positive as read (a west-positive
                               // writer is found out only against the altitudes)
    CardValue rightAscension;  // the star's right ascension, hours
    CardValue declination;     // the star's declination, degrees, north positive
    bool starOfDate = false;   // the star's cards give its place of date (JNow), not J2000
    CardValue altitude;        // the telescope's altitude, degrees (from AIRMASS as the
                               // elevation of that sec z when no altitude card is there)
};

// A card's angle: a number, or a sexagesimal string ('51 3 0.000', '+51:03:00', '149 03 52 E'),
// blank- or colon-separated, the sign on the degrees, N/E positive and S/W negative. Empty when
// the text is neither.
std::optional<double> angleOfText(std::string_view text);

// The cards of the site (OBSGEO-B/L, SITELAT/SITELONG, LAT-OBS/LONG-OBS, LATITUDE/LONGITUD), the
// star (OBJCTRA/OBJCTDEC, else RA/DEC in degrees) and the altitude (CENTALT, TELALT, OBJCTALT,
// ALTITUDE, else AIRMASS), the first card of each list that holds a value. Zeros are taken as
// missing, since programs write them outside a sequence.
HeaderPlace readHeaderPlace(std::string_view headerText);

}  // namespace orvel
