#include "night/frame_pipeline.h"

#include <algorithm>
#include <cmath>

#include "analysis/background.h"
#include "analysis/colour_mosaic.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "analysis/star_profile.h"
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

// The pixels of `from` within one pixel of the request, those it holds, as a window of rows and
// columns in `to`.
void copyWindow(const PixelImage& from, const PixelRequest& request, PixelImage& to) {
    auto [first, last] = heldRows(request.firstRow - 1.0, request.lastRow + 1.0, from.rows);
    auto [left, right] =
        heldRows(request.firstColumn - 1.0, request.lastColumn + 1.0, from.columns);
    while (first <= last && !from.holdsRow(first)) ++first;
    while (last >= first && !from.holdsRow(last)) --last;
    left = std::max(left, from.firstColumn);
    right = std::min(right, from.firstColumn + from.rowLength() - 1);
    to.columns = from.columns;
    to.rows = from.rows;
    to.firstRow = first;
    to.firstColumn = std::min(left, right + 1);
    to.heldColumns = std::max(right - left + 1, 0);
    const auto held = static_cast<std::size_t>(std::max(last - first + 1, 0)) *
                      static_cast<std::size_t>(to.heldColumns);
    to.pixels.resize(held);
    std::size_t i = 0;
    for (int r = first; r <= last; ++r)
        for (int c = left; c <= right; ++c) to.pixels[i++] = from.at(c, r);
}

// The pixels of another source with the night's hot pixels measured as their neighbours'
// median; served as they are when none lies among them.
class HotPixelRows : public RowSource {
  public:
    HotPixelRows(RowSource& source, const std::vector<SensorPixel>& hot)
        : source_(source), hot_(hot) {}
    const PixelImage& pixels(const PixelRequest& request) override {
        const PixelImage& image = source_.pixels(request);
        const bool held = std::any_of(hot_.begin(), hot_.end(), [&](const SensorPixel& p) {
            return image.contains(p.column, p.row) && image.holdsRow(p.row) &&
                   image.holdsColumn(p.column);
        });
        if (!held) return image;
        // Only the pixels asked for (and one about them, for the medians) are copied: a whole
        // frame is served for every request.
        copyWindow(image, request, copy_);
        replaceHotPixels(copy_, hot_);
        return copy_;
    }

  private:
    RowSource& source_;
    const std::vector<SensorPixel>& hot_;
    PixelImage copy_;
};

// The night's hot pixels within the search square or the annulus's outer reach of the ring
// centre: those the measurement would have taken as light.
std::vector<SensorPixel> hotPixelsMeasured(const std::vector<SensorPixel>& hot,
                                           const SearchSquare& sq, const FrameMeasurement& m) {
    std::vector<SensorPixel> near;
    const double reach = std::max<double>(m.rings.outerRadius, m.rings.annulusOuter) + 1.0;
    for (const SensorPixel& p : hot) {
        const bool inSquare = p.column >= sq.firstColumn && p.column <= sq.lastColumn &&
                              p.row >= sq.firstRow && p.row <= sq.lastRow;
        const double d = std::hypot(static_cast<double>(p.column - m.star.brightestColumn),
                                    static_cast<double>(p.row - m.star.brightestRow));
        if (inSquare || d <= reach) near.push_back(p);
    }
    return near;
}

// The pixels about the star's search square, asked for again only when a measurement reaches
// beyond those held.
class StarRows {
  public:
    StarRows(RowSource& source, const SearchSquare& square) : source_(source), square_(square) {}
    // An image holding the square and `reach` pixels beyond it on every side.
    const PixelImage& reaching(int reach) {
        if (image_ == nullptr || reach > reach_) {
            image_ = &source_.pixels({static_cast<double>(square_.firstRow) - reach,
                                      static_cast<double>(square_.lastRow) + reach,
                                      static_cast<double>(square_.firstColumn) - reach,
                                      static_cast<double>(square_.lastColumn) + reach});
            reach_ = reach;
        }
        return *image_;
    }
    const PixelImage& held() { return *image_; }

  private:
    RowSource& source_;
    SearchSquare square_;
    const PixelImage* image_ = nullptr;
    int reach_ = 0;
};

// The background rectangle's pixels: rows trunc(y1)..trunc(y2), columns trunc(x1)..trunc(x2).
const PixelImage& backgroundPixels(RowSource& source, const StarSelection& s) {
    const auto whole = [](float v) { return std::trunc(static_cast<double>(v)); };
    return source.pixels({whole(s.y1), whole(s.y2), whole(s.x1), whole(s.x2)});
}

// Brighter stars about the star within the first rows read: the rings stop halfway to the
// nearest and the annulus leaves out what lies nearer to each than halfway. None, as on most
// frames, leaves the growth as it is.
RingLimit brighterNeighbours(const PixelImage& image, const StarPosition& star,
                             const SkyReference& sky) {
    const long long c = star.brightestColumn, r = star.brightestRow;
    const std::vector<PatchStar> stars =
        findPatchStars(image, regionAbout(image, c, r, kFirstRingReach), sky);
    const int own = nearestPatchStar(stars, static_cast<double>(c), static_cast<double>(r));
    RingLimit limit;
    // Stars come highest first: those before the star's own are brighter.
    for (int i = 0; i < own; ++i) {
        const PatchStar& s = stars[static_cast<std::size_t>(i)];
        const double d =
            std::hypot(s.column - static_cast<double>(c), s.row - static_cast<double>(r));
        limit.lastRing = std::min(limit.lastRing, std::max(3, static_cast<int>(d / 2.0)));
        limit.masks.push_back({s.column, s.row, d / 2.0});
    }
    return limit;
}

// The photometry about the ring centre: the rings growing, or the night's aperture (its signal
// corrected by the curve of growth of a star of that FWHM, pixels, when it asks for it).
RingPhotometry measurePhotometry(StarRows& rows, const StarPosition& star,
                                 const std::optional<ApertureGeometry>& aperture, double fwhm,
                                 const SkyReference& sky) {
    const int xc = star.brightestColumn, yc = star.brightestRow;
    if (aperture) {
        const ApertureGeometry& g = *aperture;
        std::optional<RingPhotometry> r = measureFixedAperture(rows.held(), xc, yc, g, fwhm);
        if (!r) r = measureFixedAperture(rows.reaching(apertureReach(g)), xc, yc, g, fwhm);
        return std::move(*r);
    }
    const RingLimit limit = brighterNeighbours(rows.held(), star, sky);
    std::optional<RingPhotometry> r = measureRings(rows.held(), xc, yc, limit);
    if (!r) r = measureRings(rows.reaching(ringReach()), xc, yc, limit);
    return std::move(*r);
}

// The star's profile about the ring centre, over wider rows when it reaches beyond those held.
StarProfile measureProfile(StarRows& rows, const StarPosition& star, float sky) {
    const int xc = star.brightestColumn, yc = star.brightestRow;
    std::optional<StarProfile> p = measureStarProfile(rows.held(), xc, yc, sky);
    if (!p) p = measureStarProfile(rows.reaching(kMaxProfileReach + 2), xc, yc, sky);
    return p.value_or(StarProfile{});
}

// The frame's own pixels handed to measure(rows, selection, header): the file's image, or for
// a raw colour mosaic the super-pixels of the frame's band with the picks (made in full-frame
// pixels) and the frame's size taken to super-pixels.
template <typename Measure>
auto onFramePixels(RowSource& fileRows, const FrameRecord& frame, const StarSelection& selection,
                   Measure measure) {
    if (!frame.source.mosaic) return measure(fileRows, selection, frame.header);
    // The picks and the frame at half the size: one super-pixel is 2 x 2 frame pixels.
    ImageHeader half = frame.header;
    half.columns /= 2;
    half.rows /= 2;
    StarSelection scaled = selection;
    scaled.screenFactor /= 2.0f;
    for (float* v : {&scaled.x1, &scaled.y1, &scaled.x2, &scaled.y2}) *v /= 2.0f;
    MosaicRows rows(fileRows, *frame.source.mosaic, bandLetter(frame.band), half);
    return measure(rows, scaled, half);
}

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
                                    const FrameMethod& method) {
    HotPixelRows clean(fileRows, method.hotPixels);
    return onFramePixels(clean, frame, selection,
                         [&](RowSource& rows, const StarSelection& picks, const ImageHeader& h) {
                             return measureFrame(rows, picks, setup, h, method);
                         });
}

std::vector<NearbyStar> findListedNearbyStars(RowSource& fileRows, const FrameRecord& frame,
                                              const StarSelection& selection, double fwhm,
                                              double reach) {
    return onFramePixels(
        fileRows, frame, selection,
        [&](RowSource& rows, const StarSelection& picks, const ImageHeader& h) {
            const BackgroundStats sky = measureBackground(backgroundPixels(rows, picks), picks);
            const float level = sky.median;
            StarRows near(rows, searchSquare(picks, h.columns, h.rows));
            const StarPosition star =
                locateStar(near.reaching(kFirstRingReach), picks, level, sky.standardDeviation);
            // The rows within reach of the ring centre, and those of the 3 x 3 means' edges.
            const int rowsNeeded = static_cast<int>(std::ceil(std::fmin(reach, 1000.0))) + 2;
            return findNearbyStars(near.reaching(std::max(kFirstRingReach, rowsNeeded)),
                                   star.brightestColumn, star.brightestRow, fwhm, reach);
        });
}

FieldPatch findListedPatch(RowSource& fileRows, const FrameRecord& frame, double column, double row,
                           int reach, double share) {
    StarSelection at;
    at.starX = static_cast<float>(column);
    at.starY = static_cast<float>(row);
    return onFramePixels(
        fileRows, frame, at, [&](RowSource& rows, const StarSelection& picks, const ImageHeader&) {
            // The frame's own pixels per full-frame pixel: 1, or 1/2 on a mosaic's colour.
            const double own = picks.screenFactor;
            const double c = std::round(own * column), r = std::round(own * row);
            const PixelImage& image = rows.pixels({r - reach, r + reach, c - reach, c + reach});
            const PixelRegion area = regionAbout(image, std::llround(c), std::llround(r), reach);
            const SkyReference sky = areaSky(image, area);
            FieldPatch patch{brightPatchStars(findPatchStars(image, area, sky), share), {}};
            for (PatchStar& s : patch.stars) {
                s.column /= own;
                s.row /= own;
                for (auto& [pc, pr] : s.peaks) {
                    pc = std::llround(static_cast<double>(pc) / own);
                    pr = std::llround(static_cast<double>(pr) / own);
                }
            }
            // A mosaic's super-pixel mixes four sensor pixels: its hot pixels are not looked for.
            if (own == 1.0) patch.hotCandidates = hotPixelCandidates(image, area, sky);
            return patch;
        });
}

double measureListedWidth(RowSource& fileRows, const FrameRecord& frame,
                          const StarSelection& selection) {
    return onFramePixels(
        fileRows, frame, selection,
        [](RowSource& rows, const StarSelection& picks, const ImageHeader& h) {
            // The star as measureFrame finds it: the brightest pixel above the background.
            const BackgroundStats sky = measureBackground(backgroundPixels(rows, picks), picks);
            const float level = sky.median;
            StarRows near(rows, searchSquare(picks, h.columns, h.rows));
            const StarPosition star =
                locateStar(near.reaching(kFirstRingReach), picks, level, sky.standardDeviation);
            return measureProfile(near, star, level).fwhm;
        });
}

namespace {

// The star's part of a measurement: its place, its rings or aperture and its profile, over the
// pixels about the search square.
void measureStar(RowSource& source, const StarSelection& selection, const ImageHeader& header,
                 const FrameMethod& method, FrameMeasurement& m) {
    // The star is searched in one square; the rings about its brightest pixel need rows beyond,
    // a fixed aperture as far as its annulus reaches.
    StarRows near(source, searchSquare(selection, header.columns, header.rows));
    const int reach = method.aperture ? std::max(kFirstRingReach, apertureReach(*method.aperture))
                                      : kFirstRingReach;
    m.star = locateStar(near.reaching(reach), selection, m.background.median,
                        m.background.standardDeviation);
    m.profile = measureProfile(near, m.star, m.background.median);
    m.rings = measurePhotometry(near, m.star, method.aperture, m.profile.fwhm,
                                {m.background.median, m.background.standardDeviation});
}

// A ring centre whose profile is far sharper than the star's on the frame picked on is a
// cosmic ray on the star, brighter than its peak, too close to it to stand out alone.
bool sharperThanTheStar(const FrameMeasurement& m, const FrameMethod& method) {
    return std::isfinite(method.starFwhm) && m.star.brightestValue > -64000.0f &&
           !(m.profile.fwhm >= kCosmicRayFwhmShare * method.starFwhm);
}

}  // namespace

FrameMeasurement measureFrame(RowSource& source, const StarSelection& selection,
                              const ObservingSetup& setup, const ImageHeader& header,
                              const FrameMethod& method) {
    FrameMeasurement m;
    m.background = measureBackground(backgroundPixels(source, selection), selection);
    measureStar(source, selection, header, method, m);
    if (sharperThanTheStar(m, method)) {
        // Measured again with that pixel as its neighbours' median, and named in the note.
        const std::vector<SensorPixel> hit = {{m.star.brightestColumn, m.star.brightestRow}};
        HotPixelRows patched(source, hit);
        FrameMeasurement again = m;
        measureStar(patched, selection, header, method, again);
        again.rings.replaced.insert(
            again.rings.replaced.begin(),
            ReplacedPixel{hit[0].column, hit[0].row, m.star.brightestValue, std::nanf("")});
        m = std::move(again);
    }
    m.hotPixels = hotPixelsMeasured(method.hotPixels,
                                    searchSquare(selection, header.columns, header.rows), m);
    m.sky = computeAirmass(header, setup);
    // A date ERFA cannot convert gives no elevation, so the frame is left out, not fitted with
    // the described airmass among precise ones.
    if (method.precise)
        m.precise = computePreciseAirmass(header, setup, *method.precise)
                        .value_or(PreciseSky{std::nan(""), std::nan(""), std::nan("")});
    return m;
}

}  // namespace orvel
