#include "night/frame_coordinates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/numeric.h"
#include "fits/fits_header.h"
#include "fits/header_time.h"
#include "night/frame_reading.h"
#include "observing/airmass.h"
#include "observing/place_of_date.h"
#include "observing/precise_airmass.h"

namespace orvel {

namespace {

constexpr double kAgreement = 1.0;     // degrees between computed and written altitude that agree
constexpr double kFarFromZone = 60.0;  // degrees from its zone's meridian a longitude is wrong
constexpr double kNearZone = 30.0;     // degrees from it a turned longitude is taken as right
constexpr double kSameCard = 0.5;      // degrees two frames' site or star cards may differ by

// The first listed frame that can be measured, or the first of all.
const ListedFile* firstFrame(const ImageFileList& files) {
    for (const ListedFile& f : files.files)
        if (f.whyLeftOut.empty() && f.bandKnown) return &f;
    return files.files.empty() ? nullptr : &files.files.front();
}

// The star's place as the chosen airmass takes it.
void offerStar(const HeaderPlace& p, const ImageHeader& header, bool wantJ2000,
               FrameCoordinates& c) {
    if (!p.rightAscension.known() || !p.declination.known()) return;
    // Values outside the sky are no place (a right ascension written in degrees is not hours).
    if (!(p.rightAscension.value > 0.0 && p.rightAscension.value < 24.0) ||
        !(std::fabs(p.declination.value) <= 90.0))
        return;
    SkyPlace place{p.rightAscension.value, p.declination.value};
    std::string how;
    const std::optional<double> jd = utcJulianDate(header, TimeReference::start);
    if (jd && !p.starOfDate && !wantJ2000) {
        place = placeOfDate(place, *jd);
        how = ", J2000 brought to the date";
    } else if (jd && p.starOfDate && wantJ2000) {
        place = placeOfJ2000(place, *jd);
        how = ", of date brought to J2000";
    }
    c.rightAscension = offeredAngle(place.rightAscension, false, p.rightAscension.card + how);
    c.declination = offeredAngle(place.declination, true, p.declination.card + how);
}

ObservingSetup setupOf(const FrameCoordinates& c) {
    ObservingSetup s;
    s.latitude = c.latitude->angle;
    s.longitude = c.longitude->angle;
    s.rightAscension = c.rightAscension->angle;
    s.declination = c.declination->angle;
    return s;
}

// Whether the longitude agrees with the first frame's altitude only with its sign turned.
bool altitudeTurns(const FrameCoordinates& c) {
    if (!c.altitude.known() || !c.latitude || !c.rightAscension || !c.declination) return false;
    ObservingSetup s = setupOf(c);
    const double asRead = firstFrameElevation(c, s);
    s.longitude = offeredAngle(-static_cast<double>(c.longitude->angle.value), true, "").angle;
    const double turned = firstFrameElevation(c, s);
    return std::fabs(asRead - c.altitude.value) > kAgreement &&
           std::fabs(turned - c.altitude.value) <= kAgreement;
}

// Whether the longitude lies far from the meridian of the zone DATE-OBS names, and near it
// turned (zones stray from their meridians by up to a few tens of degrees).
bool zoneTurns(const FrameCoordinates& c, std::string_view headerText) {
    const std::optional<IsoTime> t = parseIsoTime(keywordString(headerText, "DATE-OBS"));
    if (!t || t->offsetMinutes == 0) return false;
    const double meridian = t->offsetMinutes / 4.0;  // 15 degrees an hour
    const double lon = c.longitude->angle.value;
    return std::fabs(lon - meridian) > kFarFromZone && std::fabs(-lon - meridian) <= kNearZone;
}

// A longitude card that agrees with the altitude (or, without one, the DATE-OBS zone) only
// with its sign turned was written west positive: it is taken turned.
void checkLongitudeSign(FrameCoordinates& c, std::string_view headerText) {
    if (!c.longitude) return;
    if (c.altitude.known() ? !altitudeTurns(c) : !zoneTurns(c, headerText)) return;
    c.flippedCard = c.longitude->source;
    c.flipWitness = c.altitude.known() ? "the telescope's altitude" : "the DATE-OBS time zone";
    c.longitude = offeredAngle(-static_cast<double>(c.longitude->angle.value), true,
                               c.longitude->source + ", west positive");
}

// The first card of a later frame that differs from the first frame's, as "SITELAT 36.2".
std::string differingCard(const HeaderPlace& first, const HeaderPlace& other) {
    const auto differs = [](const CardValue& a, const CardValue& b, double scale) {
        if (!a.known() || !b.known()) return false;
        const double d = std::fabs(a.value - b.value) * scale;
        return std::min(d, 360.0 - d) > kSameCard;
    };
    const std::pair<const CardValue*, const CardValue*> pairs[] = {
        {&first.latitude, &other.latitude},
        {&first.longitude, &other.longitude},
        {&first.rightAscension, &other.rightAscension},
        {&first.declination, &other.declination}};
    for (const auto& [a, b] : pairs) {
        if (!differs(*a, *b, a == &first.rightAscension ? 15.0 : 1.0)) continue;
        char value[32];
        std::snprintf(value, sizeof value, " %g", b->value);
        return b->card + value;
    }
    return {};
}

// The later frames' cards against the first frame's: the first that differs.
std::string findDisagreement(const std::filesystem::path& folder, const ImageFileList& files,
                             const ListedFile* first, const HeaderPlace& place) {
    for (const ListedFile& f : files.files) {
        if (&f == first || !f.whyLeftOut.empty() || f.source.plane > 0 || f.source.mosaic) continue;
        const FrameFile file = openFrameFile(folder, f.source);
        if (!file.problem.empty() || !file.scan.endFound) continue;
        const std::string card = differingCard(place, readHeaderPlace(file.scan.text));
        if (!card.empty()) return f.name + " holds " + card;
    }
    return {};
}

}  // namespace

OfferedAngle offeredAngle(double value, bool signRule, std::string source) {
    OfferedAngle o;
    o.source = std::move(source);
    const bool negative = signRule && value < 0.0;
    // Whole, minutes and seconds to the hundredth, carried upwards from the rounded seconds.
    const long long hundredths = std::llround(std::fabs(value) * 360000.0);
    const long long whole = hundredths / 360000;
    const long long minutes = hundredths / 6000 % 60;
    const double seconds = static_cast<double>(hundredths % 6000) / 100.0;
    TypedAngle& a = o.angle;
    a.sign = negative ? -1.0f : 1.0f;
    a.whole = f32(negative ? -static_cast<double>(whole) : static_cast<double>(whole));
    a.minutes = f32(static_cast<double>(minutes));
    a.seconds = f32(seconds);
    const double sixty = 60.0f;
    a.value = f32(a.sign * (static_cast<double>(whole) + (a.minutes + a.seconds / sixty) / sixty));
    char text[64];
    std::snprintf(text, sizeof text, "%s%lld,%lld,%.2f", negative ? "-" : "", whole, minutes,
                  seconds);
    o.typed = text;
    // The seconds without the decimals they do not need.
    while (o.typed.back() == '0') o.typed.pop_back();
    if (o.typed.back() == '.') o.typed.pop_back();
    return o;
}

FrameCoordinates frameCoordinates(const std::filesystem::path& folder, const ImageFileList& files,
                                  bool wantJ2000) {
    FrameCoordinates c;
    const ListedFile* first = firstFrame(files);
    if (first == nullptr) return c;
    const FrameFile f = openFrameFile(folder, first->source);
    if (!f.problem.empty() || !f.scan.endFound) return c;
    c.header = frameHeader(f, first->source);
    const HeaderPlace p = readHeaderPlace(f.scan.text);
    if (p.latitude.known() && std::fabs(p.latitude.value) <= 90.0)
        c.latitude = offeredAngle(p.latitude.value, true, p.latitude.card);
    if (p.longitude.known() && std::fabs(p.longitude.value) <= 360.0) {
        // A longitude written 0 to 360 east is brought to -180..180.
        const double lon =
            p.longitude.value > 180.0 ? p.longitude.value - 360.0 : p.longitude.value;
        c.longitude = offeredAngle(lon, true, p.longitude.card);
    }
    offerStar(p, c.header, wantJ2000, c);
    c.altitude = p.altitude;
    checkLongitudeSign(c, f.scan.text);
    if (c.any()) c.disagreement = findDisagreement(folder, files, first, p);
    return c;
}

double firstFrameElevation(const FrameCoordinates& frames, const ObservingSetup& setup) {
    if (!frames.header.hasDate) return std::nan("");
    return static_cast<double>(computeAirmass(frames.header, setup).elevation);
}

}  // namespace orvel
