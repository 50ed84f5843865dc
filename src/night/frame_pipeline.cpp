#include "night/frame_pipeline.h"

#include <algorithm>
#include <cmath>

#include "analysis/background.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "fits/pixel_decoder.h"
#include "observing/airmass.h"

namespace orvel {

const PixelImage& FileRows::rows(double from, double to) {
    // The span is held inside the image before it becomes an integer, so no pick can overflow;
    // fmax and fmin pass over NaN, which reads nothing rather than converting it.
    const double rowCount = std::max(header_.rows, 0);
    const double first = std::fmin(std::fmax(from, 0.0), rowCount);
    const double last = std::fmin(std::fmax(to, first - 1.0), rowCount - 1.0);
    readPixelRows(file_, header_, static_cast<int>(first), static_cast<int>(last - first + 1.0),
                  buffer_);
    return buffer_;
}

FrameMeasurement measureFrame(RowSource& source, const StarSelection& selection,
                              const ObservingSetup& setup, const ImageHeader& header,
                              const std::optional<PreciseAirmassSettings>& precise) {
    FrameMeasurement m;
    // The background rectangle spans rows trunc(y1)..trunc(y2).
    const PixelImage& sky = source.rows(std::trunc(static_cast<double>(selection.y1)),
                                        std::trunc(static_cast<double>(selection.y2)));
    m.background = measureBackground(sky, selection);

    // The star is searched in one square; the rings about its brightest pixel need rows beyond.
    const SearchSquare square = searchSquare(selection, header.columns, header.rows);
    const auto starRows = [&](int reach) -> const PixelImage& {
        return source.rows(static_cast<double>(square.firstRow) - reach,
                           static_cast<double>(square.lastRow) + reach);
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
