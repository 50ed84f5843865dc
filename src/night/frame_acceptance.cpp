#include "night/frame_acceptance.h"

#include "base/number_format.h"
#include "fits/pixel_decoder.h"

namespace orvel {

namespace {

std::string sizeText(int columns, int rows) {
    return formatShort(columns) + "x" + formatShort(rows);
}

}  // namespace

std::string headerProblem(const ImageHeader& h, const ReferenceSize& reference) {
    if (bytesPerSample(h.bitpix) == 0)
        return "its BITPIX value" + formatShort(h.bitpix) + "is not 8, 16, 32, -32 or -64";
    if (h.columns <= 0 || h.rows <= 0)
        return "its image size" + sizeText(h.columns, h.rows) +
               "is not a positive number of columns and rows";
    if (!canDecode(h)) return "its image is too large to be read";
    if (reference.known && (h.columns != reference.columns || h.rows != reference.rows))
        return "its image size" + sizeText(h.columns, h.rows) + "differs from the first image's" +
               sizeText(reference.columns, reference.rows);
    if (!h.hasDate) return "it has no DATE-OBS";
    if (h.month < 1 || h.month > 12)
        return "its DATE-OBS month" + formatShort(h.month) + "is outside 1-12";
    return {};
}

}  // namespace orvel
