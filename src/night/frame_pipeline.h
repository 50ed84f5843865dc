// One frame's measurement, the same whether its pixels are held whole or read row by row as
// they are needed: background, star, rings, sky level, signal and airmass.
#pragma once

#include "analysis/nearby_stars.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_peaks.h"
#include "analysis/star_selection.h"
#include "fits/fits_file.h"
#include "fits/image_header.h"
#include "fits/pixel_image.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "observing/precise_airmass.h"

namespace orvel {

// A rectangle of the frame asked for: rows and columns, first and last, whole numbers any of
// which may lie far outside the frame.
struct PixelRequest {
    double firstRow = 0.0;
    double lastRow = 0.0;
    double firstColumn = 0.0;
    double lastColumn = 0.0;
};

// Serves the image pixels a measurement asks for. The image returned holds at least the pixels
// asked for that lie inside the frame, and stays valid until the next request.
class RowSource {
  public:
    virtual ~RowSource() = default;
    virtual const PixelImage& pixels(const PixelRequest& request) = 0;
};

// A frame held whole: every request is served by the whole image.
class WholeFrame : public RowSource {
  public:
    explicit WholeFrame(const PixelImage& image) : image_(image) {}
    const PixelImage& pixels(const PixelRequest&) override { return image_; }

  private:
    const PixelImage& image_;
};

// A frame read from its file only where it is measured; the pixels of each request replace
// those of the one before, in a buffer kept from frame to frame.
class FileRows : public RowSource {
  public:
    FileRows(const FitsFile& file, const ImageHeader& header, PixelImage& buffer)
        : file_(file), header_(header), buffer_(buffer) {}
    const PixelImage& pixels(const PixelRequest& request) override;

  private:
    const FitsFile& file_;
    const ImageHeader& header_;
    PixelImage& buffer_;
};

// How every frame of the night is measured beyond the described way.
struct FrameMethod {
    std::optional<PreciseAirmassSettings> precise;  // take the precise airmass as well
    std::optional<ApertureGeometry> aperture;       // one aperture for every frame; empty: the
                                                    // rings grow about each frame's star
    std::vector<SensorPixel> hotPixels;  // the night's hot pixels (full-frame places), measured
                                         // as their neighbours' median everywhere
    double starFwhm = std::nan("");      // the star's FWHM on the frame picked on, pixels (NaN:
                                         // not known, no ring centre is judged by it)
};

// A ring centre whose star is sharper than this share of the FWHM on the frame picked on is a
// cosmic ray: seeing does not halve from one frame to the next, a star's light is not one pixel.
inline constexpr double kCosmicRayFwhmShare = 0.5;

// Rows read about the star first: enough for rings up to about 20 pixels, which is where the
// growth stops for most stars. Wider rings are measured again on the rows they reach.
inline constexpr int kFirstRingReach = 32;

// Measures the frame: the background rectangle first, then the star's search square with the
// rings (or the fixed aperture) and the star's profile about any pixel in it; when they reach
// beyond the pixels held, the square they need is asked for and they are measured again. With
// precise settings the precise airmass is taken as well.
FrameMeasurement measureFrame(RowSource& source, const StarSelection& selection,
                              const ObservingSetup& setup, const ImageHeader& header,
                              const FrameMethod& method = {});

// Measures a listed frame over the rows of its file's image: the image itself, or for a raw
// colour mosaic the super-pixels of the frame's band, with the picks (made in full-frame pixels)
// taken to super-pixels.
FrameMeasurement measureListedFrame(RowSource& fileRows, const FrameRecord& frame,
                                    const StarSelection& selection, const ObservingSetup& setup,
                                    const FrameMethod& method);

// The other stars within `reach` pixels of the star's ring centre on a listed frame (in the
// frame's own pixels: super-pixels for a colour mosaic), for a star of that FWHM (pixels).
std::vector<NearbyStar> findListedNearbyStars(RowSource& fileRows, const FrameRecord& frame,
                                              const StarSelection& selection, double fwhm,
                                              double reach);

// What a patch of a frame shows: its stars and the pixels that stand out as hot pixels do.
struct FieldPatch {
    std::vector<PatchStar> stars;            // highest first, places in full-frame pixels
    std::vector<SensorPixel> hotCandidates;  // see hotPixelCandidates; none on a mosaic
};

// The patch within `reach` pixels (of the frame's own: super-pixels for a colour mosaic) of
// (column, row) on a listed frame: its stars down to `share` of the highest. (column, row) are
// full-frame pixels. The sky is the patch's own.
FieldPatch findListedPatch(RowSource& fileRows, const FrameRecord& frame, double column, double row,
                           int reach, double share);

// The star's FWHM on a listed frame (pixels; NaN when it cannot be fitted), found as
// measureListedFrame finds it, without the photometry.
double measureListedWidth(RowSource& fileRows, const FrameRecord& frame,
                          const StarSelection& selection);

}  // namespace orvel
