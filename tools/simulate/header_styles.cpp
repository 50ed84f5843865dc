#include "simulate/header_styles.h"

#include <erfa.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "fits/fits_writer.h"

namespace orvel::simulate {

namespace {

// The star's place in both frames of reference the programs write, degrees (right ascension
// in hours).
struct StarPlaces {
    double raJ2000 = 0, decJ2000 = 0;  // mean place of J2000
    double raDate = 0, decDate = 0;    // place of date (true equator and equinox)
};

// The place of date from the J2000 one or back, by the precession-nutation matrix of the moment.
StarPlaces starPlaces(const NightOptions& o, const Sky& sky, double jd) {
    double rbpn[3][3];
    eraPnm06a(jd, 0.0, rbpn);
    double given[3], other[3];
    eraS2c(sky.ra * 15.0 * kDegree, sky.dec * kDegree, given);
    // The simulator's coordinates are J2000 for the precise truth, of date for the described.
    if (o.preciseTruth)
        eraRxp(rbpn, given, other);
    else
        eraTrxp(rbpn, given, other);
    double ra = 0, dec = 0;
    eraC2s(other, &ra, &dec);
    const double raHours = eraAnp(ra) / kDegree / 15.0;
    if (o.preciseTruth) return {sky.ra, sky.dec, raHours, dec / kDegree};
    return {raHours, dec / kDegree, sky.ra, sky.dec};
}

// How a sexagesimal value is written: sign, padding, separator and decimals of the seconds.
struct Sexagesimal {
    bool plus = false;        // '+' before a positive value
    bool padded = true;       // two digits for the degrees or hours ('09'), else as they come
    bool blankPad = false;    // the degrees padded with a blank (' 9') instead of a zero
    bool zeroMinutes = true;  // two digits for minutes and seconds
    int decimals = 0;         // decimals of the seconds
};

std::string sexagesimal(double value, const Sexagesimal& form) {
    const long long scale = std::llround(std::pow(10.0, form.decimals));
    // Rounded once, in units of the last decimal, so 59.999 seconds carry into the minute.
    const long long units = std::llround(std::fabs(value) * 3600.0 * static_cast<double>(scale));
    const long long whole = units / (3600 * scale);
    const long long minutes = units / (60 * scale) % 60;
    const double seconds = static_cast<double>(units % (60 * scale)) / static_cast<double>(scale);
    char head[16];
    std::snprintf(head, sizeof head,
                  form.blankPad ? "%2lld"
                  : form.padded ? "%02lld"
                                : "%lld",
                  whole);
    char tail[32];
    const int width = form.zeroMinutes ? (form.decimals > 0 ? form.decimals + 3 : 2) : 0;
    std::snprintf(tail, sizeof tail, form.zeroMinutes ? " %02lld %0*.*f" : " %lld %*.*f", minutes,
                  width, form.decimals, seconds);
    const char* sign = value < 0.0 ? "-" : (form.plus ? "+" : "");
    std::string text(sign);
    text.append(head).append(tail);
    return text;
}

std::string isoWithFraction(std::int64_t seconds, int decimals) {
    std::string text = isoTime(civilFromSeconds(seconds));
    if (decimals > 0) text.append(1, '.').append(static_cast<std::size_t>(decimals), '0');
    return text;
}

// The UTC moments of the exposure's start and end, seconds since 1970.
struct Moments {
    std::int64_t start = 0;  // the exposure's start, seconds since 1970 (UTC)
    std::int64_t end = 0;    // its end, seconds since 1970
    double mjd = 0;          // the start as a modified Julian date, days
};

Moments momentsOf(const NightOptions& o, const Frame& f) {
    const std::int64_t start = secondsFromCivil(f.time);
    const auto exposure = static_cast<std::int64_t>(std::llround(o.exptime));
    return {start, start + exposure, static_cast<double>(start) / 86400.0 + 40587.0};
}

// The local time of a site whose zone is its longitude's whole hours: '-0700' and the moment.
std::string localDateObs(const Sky& sky, std::int64_t start) {
    const int hours = static_cast<int>(std::lround(sky.lon / 15.0));
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d00", hours < 0 ? '-' : '+', std::abs(hours));
    return isoWithFraction(start + hours * 3600, 0) + ".000" + zone;
}

void addTimeCards(std::vector<std::string>& c, const NightOptions& o, const Frame& f,
                  const Sky& sky) {
    const std::string& s = o.headerStyle;
    const Moments m = momentsOf(o, f);
    if (s == "local-time") {
        c.push_back(fitsStringCard("DATE-OBS", localDateObs(sky, m.start), "local time"));
        const CivilTime t = civilFromSeconds(m.start);
        char clock[16];
        std::snprintf(clock, sizeof clock, "%02d:%02d:%02d.000", t.hour, t.minute, t.second);
        c.push_back(fitsStringCard("UT-OBS", clock, "UTC at the exposure start"));
        c.push_back(fitsCard("MJD-OBS", [&] {
            char v[32];
            std::snprintf(v, sizeof v, "%.3f", m.mjd);
            return std::string(v);
        }()));
    } else {
        const int decimals = s == "sharpcap" ? 7 : (s == "nina" ? 3 : 0);
        // A style's DATE-OBS is the start; --stamp middle is for the plain cards.
        c.push_back(fitsStringCard("DATE-OBS", isoWithFraction(m.start, decimals), "UTC start"));
    }
    if (s == "sharpcap" || s == "pixinsight")
        c.push_back(fitsStringCard("DATE-END", isoWithFraction(m.end, s == "sharpcap" ? 7 : 0)));
    if (s == "sharpcap") {
        const std::int64_t twice = m.start + m.end;  // the middle, to the half second
        std::string avg = isoWithFraction(twice / 2, 0) + (twice % 2 ? ".5000000" : ".0000000");
        c.push_back(fitsStringCard("DATE-AVG", avg));
    }
    if (s == "maxim") c.push_back(fitsRealCard("JD", m.mjd + 2400000.5, "start"));
    if (s == "sgp")
        c.push_back(fitsRealCard("EXPOSURE", o.exptime, "seconds"));
    else
        c.push_back(fitsRealCard("EXPTIME", o.exptime, "seconds"));
}

void addSiteCards(std::vector<std::string>& c, const std::string& s, const Sky& sky) {
    if (s == "nina" || s == "seestar" || s == "ekos") {
        c.push_back(fitsRealCard("SITELAT", sky.lat, "degrees, north positive"));
        c.push_back(fitsRealCard("SITELONG", sky.lon, "degrees, east positive"));
        if (s != "seestar") c.push_back(fitsRealCard("SITEELEV", 1500.0, "metres"));
    } else if (s == "sgp") {
        const Sexagesimal loose{.padded = false, .zeroMinutes = false, .decimals = 3};
        c.push_back(fitsStringCard("SITELAT", sexagesimal(sky.lat, loose)));
        c.push_back(fitsStringCard("SITELONG", sexagesimal(sky.lon, loose)));
        c.push_back(fitsRealCard("SITEELEV", 1500.0));
    } else if (s == "maxim" || s == "apt") {
        const Sexagesimal form{.plus = s == "apt", .decimals = s == "apt" ? 3 : 0};
        c.push_back(fitsStringCard("SITELAT", sexagesimal(sky.lat, form)));
        c.push_back(fitsStringCard("SITELONG", sexagesimal(sky.lon, form)));
    } else if (s == "theskyx") {
        // SITELONG west positive, beside the standard east-positive OBSGEO-L.
        const Sexagesimal form{.plus = true, .decimals = 2};
        c.push_back(fitsStringCard("SITELAT", sexagesimal(sky.lat, form)));
        c.push_back(fitsStringCard("SITELONG", sexagesimal(-sky.lon, form), "west positive"));
        c.push_back(fitsRealCard("OBSGEO-B", sky.lat));
        c.push_back(fitsRealCard("OBSGEO-L", sky.lon));
    } else if (s == "pixinsight") {
        c.push_back(fitsRealCard("OBSGEO-B", sky.lat));
        c.push_back(fitsRealCard("OBSGEO-L", sky.lon));
        c.push_back(fitsRealCard("OBSGEO-H", 1500.0));
    } else if (s == "local-time") {
        c.push_back(fitsRealCard("LATITUDE", sky.lat, "degrees"));
        c.push_back(fitsRealCard("LONGITUD", -sky.lon, "degrees, west positive"));
    } else if (s == "zeros") {
        c.push_back(fitsStringCard("SITELAT", "00 00 00"));
        c.push_back(fitsStringCard("SITELONG", "00 00 00"));
    }
}

// OBJCTRA and OBJCTDEC as the style writes them.
void addObjectStrings(std::vector<std::string>& c, const std::string& s, double ra, double dec,
                      std::string_view comment = {}) {
    Sexagesimal raForm{.decimals = 2};
    Sexagesimal decForm{.plus = true, .decimals = 1};
    if (s == "nina") raForm.decimals = decForm.decimals = 0;
    if (s == "ekos") raForm.blankPad = true, decForm.plus = false;
    if (s == "sgp") raForm.padded = decForm.padded = false;
    c.push_back(fitsStringCard("OBJCTRA", sexagesimal(ra, raForm), comment));
    c.push_back(fitsStringCard("OBJCTDEC", sexagesimal(dec, decForm), comment));
}

void addStarCards(std::vector<std::string>& c, const std::string& s, const StarPlaces& p) {
    if (s == "sharpcap") {
        // The place of date, marked so.
        c.push_back(fitsRealCard("RA", p.raDate * 15.0, "Epoch : JNOW"));
        c.push_back(fitsRealCard("DEC", p.decDate, "Epoch : JNOW"));
        addObjectStrings(c, s, p.raDate, p.decDate, "Epoch : JNOW");
        c.push_back(fitsRealCard("EQUINOX", 2026.2));
        return;
    }
    if (s == "zeros") {
        c.push_back(fitsStringCard("OBJCTRA", "00 00 00"));
        c.push_back(fitsStringCard("OBJCTDEC", "00 00 00"));
        return;
    }
    const bool degrees =
        s == "nina" || s == "sgp" || s == "seestar" || s == "pixinsight" || s == "local-time";
    if (degrees) {
        c.push_back(fitsRealCard("RA", p.raJ2000 * 15.0, "degrees, J2000"));
        c.push_back(fitsRealCard("DEC", p.decJ2000, "degrees, J2000"));
    }
    if (s != "seestar" && s != "pixinsight" && s != "local-time")
        addObjectStrings(c, s, p.raJ2000, p.decJ2000);
    if (s == "seestar" || s == "pixinsight" || s == "local-time")
        c.push_back(fitsRealCard("EQUINOX", 2000.0));
}

void addAltitudeCards(std::vector<std::string>& c, const NightOptions& o, const Frame& f) {
    const std::string& s = o.headerStyle;
    const double secz = 1.0 / std::sin(f.elevation * kDegree);
    if (s == "nina") c.push_back(fitsRealCard("CENTALT", f.elevation, "degrees"));
    if (s == "local-time") c.push_back(fitsRealCard("TELALT", f.elevation, "degrees"));
    if (s == "maxim") {
        char alt[24];
        std::snprintf(alt, sizeof alt, "%.4f", f.elevation);
        c.push_back(fitsStringCard("OBJCTALT", alt, "degrees"));
    }
    if (s == "nina" || s == "sgp" || s == "ekos")
        c.push_back(fitsRealCard("AIRMASS", secz, "sec z"));
    // The side of the pier; with --meridian-flip it is written with the flip.
    if ((s == "nina" || s == "ekos") && !o.flipHours)
        c.push_back(fitsStringCard("PIERSIDE", "WEST"));
    // The camera's gain setting (a ZWO camera's 0 to 600), with electrons per ADU beside it
    // only in N.I.N.A.'s frames.
    if (s == "nina" || s == "seestar") c.push_back(fitsRealCard("GAIN", 80.0, "camera setting"));
    if (s == "nina") c.push_back(fitsRealCard("EGAIN", 1.0, "electrons per ADU"));
}

}  // namespace

void addStyleCards(std::vector<std::string>& cards, const NightOptions& o, const Frame& f) {
    const std::string& s = o.headerStyle;
    if (s.empty()) {
        cards.push_back(fitsStringCard("DATE-OBS", isoTime(f.time), "UT at the exposure start"));
        cards.push_back(fitsRealCard("EXPTIME", o.exptime, "seconds"));
        return;
    }
    const Sky sky = skyOf(o);
    addTimeCards(cards, o, f, sky);
    addSiteCards(cards, s, sky);
    addStarCards(cards, s, starPlaces(o, sky, julianDate(f.time)));
    addAltitudeCards(cards, o, f);
}

}  // namespace orvel::simulate
