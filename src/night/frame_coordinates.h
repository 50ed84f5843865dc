// The site and the star as the night's frames give them, read from the first frame's header
// before any question is asked, and the telescope's altitude that checks them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "fits/header_place.h"
#include "fits/image_header.h"
#include "night/discovery.h"
#include "observing/observing_setup.h"

namespace orvel {

// One coordinate the frames offer.
struct OfferedAngle {
    TypedAngle angle;    // as it would be typed: fields to the hundredth of a second, and value
    std::string source;  // the cards it came from, as the console and the log name them
                         // ("SITELAT", "OBJCTRA, J2000 brought to the date")
    std::string typed;   // the fields as they would be typed: "31,40,48"
};

struct FrameCoordinates {
    std::optional<OfferedAngle> latitude;        // degrees, north positive
    std::optional<OfferedAngle> longitude;       // degrees, east positive (flipped when the
                                                 // altitude shows a west-positive card)
    std::optional<OfferedAngle> rightAscension;  // hours
    std::optional<OfferedAngle> declination;     // degrees
    std::string flipWitness;   // what showed it: "the telescope's altitude" or "the DATE-OBS
                               // time zone"
    std::string flippedCard;   // the longitude card that agreed with the altitude only negated
                               // (written west positive); empty when none
    std::string disagreement;  // "NAME holds SITELAT 36.2" for the first later frame whose
                               // site or star cards differ from the first's by more than half
                               // a degree; empty when all agree
    ImageHeader header;        // the first frame's header values (its moment)
    CardValue altitude;        // the telescope's altitude in that frame, degrees

    bool any() const { return latitude || longitude || rightAscension || declination; }
};

// A decimal angle as typed fields (whole, minutes, seconds to the hundredth) and the line that
// types it; the sign rule for all but the right ascension.
OfferedAngle offeredAngle(double value, bool signRule, std::string source);

// What the first frame in the list (the first that can be measured) offers, and whether the
// other frames' headers agree with it. The star is given as the airmass takes typed
// coordinates: J2000 cards brought to the place of date at the frame's moment (the described
// airmass, or --equinox date), a place of date brought back to J2000 when `wantJ2000`.
FrameCoordinates frameCoordinates(const std::filesystem::path& folder, const ImageFileList& files,
                                  bool wantJ2000);

// The star's elevation, degrees, computed for the first frame's moment as the night's
// airmasses are (NaN when the frame has no moment).
double firstFrameElevation(const FrameCoordinates& frames, const ObservingSetup& setup);

}  // namespace orvel
