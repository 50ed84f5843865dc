#include "night/frame_pipeline.h"

#include <algorithm>
#include <cmath>

#include "analysis/background.h"
#include "analysis/colour_mosaic.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "fits/pixel_decoder.h"
#include "observing/airmass.h"

namespace orvel {

namespace {

// A whole number of rows first..last held inside 0..rowCount - 1 (last < first when none is).
std::pair<int, int> heldRows(double from, double to, int rowCount) {
    // fmax and fmin pass over NaN, which reads nothing rather than converting it.
    const double count = std::max(rowCount, 0);
    const double first = std::fmin(std::fmax(from, 0.0), count);
    const double last = std::fmin(std::fmax(to, first - 1.0), count - 1.0);
    return {static_cast<int>(first), static_cast<int>(last)};
}

// One colour's super-pixels of a mosaic, computed from the full-frame pixels they cover.
class MosaicRows : public RowSource {
  public:
    MosaicRows(RowSource& full, const MosaicLayout& layout, char colour, const ImageHeader& half)
        : full_(full), layout_(layout), colour_(colour), half_(half) {}
    const PixelImage& pixels(const PixelRequest& request) override {
        const auto [first, last] = heldRows(request.firstRow, request.lastRow, half_.rows);
        const auto [left, right] = heldRows(request.firstColumn, request.lastColumn, half_.columns);
        const PixelImage& full =
            full_.pixels({2.0 * first, 2.0 * last + 1.0, 2.0 * left, 2.0 * right + 1.0});
        superPixels(full, layout_, colour_, {first, last, left, right}, image_);
        return image_;
    }

  private:
    RowSource& full_;
    MosaicLayout layout_;
    char colour_;
    ImageHeader half_;
    PixelImage image_;
};

}  // namespace

const PixelImage& FileRows::pixels(const PixelRequest& request) {
    // The span is held inside the image before it becomes an integer, so no pick can overflow.
    const auto [first, last] = heldRows(request.firstRow, request.lastRow, header_.rows);
    const auto [left, right] = heldRows(request.firstColumn, request.lastColumn, header_.columns);
    readPixelRegion(file_, header_, {first, last, left, right}, buffer_);
    return buffer_;
}

FrameMeasurement measureListedFrame(RowSource& fileRows, const FrameRecord& frame,
                                    const StarSelection& selection, const ObservingSetup& setup,
                                    const std::optional<PreciseAirmassSettings>& precise) {
    if (!frame.source.mosaic)
        return measureFrame(fileRows, selection, setup, frame.header, precise);
    // The picks and the frame at half the size: one super-pixel is 2 x 2 frame pixels.
    ImageHeader half = frame.header;
    half.columns /= 2;
    half.rows /= 2;
    StarSelection scaled = selection;
    scaled.screenFactor /= 2.0f;
    for (float* v : {&scaled.x1, &scaled.y1, &scaled.x2, &scaled.y2}) *v /= 2.0f;
    MosaicRows rows(fileRows, *frame.source.mosaic, bandLetter(frame.band), half);
    return measureFrame(rows, scaled, setup, half, precise);
}

FrameMeasurement measureFrame(RowSource& source, const StarSelection& selection,
                              const ObservingSetup& setup, const ImageHeader& header,
                              const std::optional<PreciseAirmassSettings>& precise) {
    FrameMeasurement m;
    // The background rectangle spans rows trunc(y1)..trunc(y2), columns trunc(x1)..trunc(x2).
    const auto whole = [](float v) { return std::trunc(static_cast<double>(v)); };
    const PixelImage& sky = source.pixels(
        {whole(selection.y1), whole(selection.y2), whole(selection.x1), whole(selection.x2)});
    m.background = measureBackground(sky, selection);

    // The star is searched in one square; the rings about its brightest pixel need pixels
    // beyond it on every side.
    const SearchSquare square = searchSquare(selection, header.columns, header.rows);
    const auto starRows = [&](int reach) -> const PixelImage& {
        return source.pixels({static_cast<double>(square.firstRow) - reach,
                              static_cast<double>(square.lastRow) + reach,
                              static_cast<double>(square.firstColumn) - reach,
                              static_cast<double>(square.lastColumn) + reach});
    };
    const PixelImage& near = starRows(kFirstRingReach);
    m.star = locateStar(near, selection, m.background.median);
    std::optional<RingPhotometry> rings =
        measureRings(near, m.star.brightestColumn, m.star.brightestRow);
    if (!rings)
        rings = measureRings(starRows(ringReach()), m.star.brightestColumn, m.star.brightestRow);
    m.rings = std::move(*rings);
    m.sky = computeAirmass(header, setup);
    // A date ERFA cannot convert gives no elevation, so the frame is left out, not fitted with
    // the described airmass among precise ones.
    if (precise)
        m.precise = computePreciseAirmass(header, setup, *precise)
                        .value_or(PreciseSky{std::nan(""), std::nan(""), std::nan("")});
    return m;
}

}  // namespace orvel
