// What tells one exposure from another, so that the same exposure found twice in a folder (a
// frame and the compressed copy fpack leaves beside it) is measured once.
#pragma once

#include <string>
#include <string_view>

#include "fits/image_header.h"

namespace orvel {

struct ExposureIdentity {
    std::string moment;  // the moment the header names: the parsed time to the second with the
                         // fraction of a second as written, or DATE-OBS and TIME-OBS as written
                         // when they name no moment; empty when the header names no time at all
    int columns = 0;     // pixels per row of the file's image
    int rows = 0;        // rows of the file's image

    bool known() const { return !moment.empty(); }
};

// The identity of the exposure whose header values and text are given. A header without
// DATE-OBS (nor MJD-OBS, for a capture file) has an unknown identity.
ExposureIdentity exposureIdentity(const ImageHeader& header, std::string_view headerText);

// Whether two identities are the same exposure: both known, the same moment and the same size,
// a positive one.
bool sameExposure(const ExposureIdentity& a, const ExposureIdentity& b);

}  // namespace orvel
