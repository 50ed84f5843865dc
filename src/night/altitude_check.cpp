#include "night/altitude_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "base/numeric.h"
#include "fits/header_time.h"
#include "observing/airmass.h"

namespace orvel {

namespace {

constexpr double kAgreement = 1.0;  // degrees of median disagreement still taken as agreement
constexpr int kLargestZone = 14;    // hours: the farthest a clock on a zone can be from UTC

// The median disagreement of the elevations one way of computing them gives.
double disagreement(const NightRecord& night, const std::function<double(const FrameRecord&)>& e) {
    std::vector<double> off;
    for (const FrameRecord& f : night.frames)
        if (f.measured() && std::isfinite(f.header.telescopeAltitude))
            off.push_back(e(f) - f.header.telescopeAltitude);
    return off.empty() ? 0.0 : medianOf(off);
}

// The frame's moment moved by whole hours, as a clock on another zone would have written it.
ImageHeader shifted(const ImageHeader& h, int hours) {
    ImageHeader moved = h;
    const double mjd = static_cast<double>(daysFromCivil(h.year, h.month, h.day)) +
                       (h.hour * 3600.0 + h.minute * 60.0 + h.second) / 86400.0;
    setHeaderMoment(mjd + hours / 24.0, moved);
    return moved;
}

// What would make the elevations agree: the longitude turned, or the times moved by a zone.
std::string likelyCause(const NightRecord& night, const ObservingSetup& setup) {
    ObservingSetup turned = setup;
    turned.longitude.value = -turned.longitude.value;
    const auto turnedElevation = [&](const FrameRecord& f) {
        return static_cast<double>(computeAirmass(f.header, turned).elevation);
    };
    if (std::fabs(disagreement(night, turnedElevation)) <= kAgreement)
        return "the longitude's sign or convention (west is negative here)";
    for (int hours = -kLargestZone; hours <= kLargestZone; ++hours) {
        const auto moved = [&](const FrameRecord& f) {
            return static_cast<double>(computeAirmass(shifted(f.header, hours), setup).elevation);
        };
        if (hours != 0 && std::fabs(disagreement(night, moved)) <= kAgreement)
            return "a time zone, or the star's right ascension: the elevations agree with the "
                   "times " +
                   std::to_string(std::abs(hours)) + " hours " + (hours > 0 ? "later" : "earlier");
    }
    return "the wrong star, or the site";
}

}  // namespace

std::string frameAltitudeNote(const FrameRecord& frame) {
    if (!frame.measured() || !std::isfinite(frame.header.telescopeAltitude)) return {};
    const double computed = frame.measurement->fittedElevation();
    if (!(std::fabs(computed - frame.header.telescopeAltitude) > kAgreement)) return {};
    char text[160];
    std::snprintf(text, sizeof text,
                  "its computed elevation %.1f degrees differs from the telescope's %s %.1f",
                  computed, frame.header.altitudeCard.c_str(), frame.header.telescopeAltitude);
    return text;
}

std::string altitudeWarning(const NightRecord& night, const ObservingSetup& setup) {
    std::string card;
    for (const FrameRecord& f : night.frames)
        if (f.measured() && !f.header.altitudeCard.empty()) card = f.header.altitudeCard;
    if (card.empty()) return {};
    const double off =
        disagreement(night, [](const FrameRecord& f) { return f.measurement->fittedElevation(); });
    if (!(std::fabs(off) > kAgreement)) return {};
    char text[160];
    std::snprintf(text, sizeof text,
                  "Warning: the star's computed elevations differ from the telescope's %s by a "
                  "median of %.1f degrees; the likely cause: ",
                  card.c_str(), off);
    return text + likelyCause(night, setup) + ".";
}

}  // namespace orvel
