// One simulated frame: a star with a Gaussian profile integrated over each pixel, a flat sky,
// photon noise and read noise, written row by row as a FITS file; on request a dark patch about
// the star or a ceiling on the pixel values, several planes in one file, and the traits of real
// frames (other profiles, further stars, hot pixels and cosmic rays, a converter of few bits).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"
#include "simulate/star_profiles.h"

namespace orvel::simulate {

// What one frame shows and how it is stored.
struct FrameRecipe {
    int columns = 640;             // NAXIS1
    int rows = 480;                // NAXIS2
    int bitpix = 16;               // 16 (stored shifted by BZERO 32768) or -32
    double starX = 352.3;          // star centre, pixels: column index counted from 0
    double starY = 216.6;          // star centre, pixels: row index from the first row in the file
    double fwhm = 3.0;             // full width at half maximum of the profile, pixels
    double starFlux = 1.0e5;       // star signal reaching the detector, ADU summed over the profile
    double sky = 800.0;            // sky level, ADU per pixel
    double readNoise = 8.0;        // read noise, ADU rms
    bool noise = true;             // photon and read noise on (off: exact expected values)
    std::uint64_t seed = 1;        // seed of this frame's noise
    double hollowFlux = 0.0;       // a dark patch about the star: ADU taken from the sky in a
                                   // Gaussian of width hollowFwhm (0: none)
    double hollowFwhm = 9.0;       // full width at half maximum of the dark patch, pixels
    double ceiling = 0.0;          // pixel values above it are written as it (0: no ceiling)
    double neighbourX = 0.0;       // a second star of the same profile: centre column, pixels
    double neighbourY = 0.0;       // its centre row, pixels
    double neighbourFlux = 0.0;    // its signal reaching the detector, ADU (0: no second star)
    double moffatBeta = 0.0;       // every star a Moffat profile of this beta (0: Gaussian)
    double donutInner = 0.0;       // every star a defocused ring, hole radius over outer radius
                                   // (0: focused)
    std::vector<Spot> fieldStars;  // further stars of the same profile: centre and ADU
    std::vector<Spot> defects;     // hot pixels and cosmic-ray hits: pixel and ADU added
    int adcLevels = 0;             // the camera's ADC: values rounded and held to 0..levels-1
                                   // (0: no ADC, values written as they are)
    double adcScale = 1.0;         // each ADC value is written times this
};

// Whether the stars are Gaussian, whose light is drawn row by row.
inline bool gaussianStars(const FrameRecipe& f) {
    return f.moffatBeta == 0.0 && f.donutInner == 0.0;
}

// Sigma of a Gaussian profile from its full width at half maximum.
inline double sigmaOfFwhm(double fwhm) {
    return fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
}

// Standard normal numbers by the Box-Muller transform over a 64-bit Mersenne Twister, two per
// draw; written out here so the same seed gives the same frames with every standard library.
class NormalSource {
  public:
    explicit NormalSource(std::uint64_t seed) : engine_(seed) {}
    double next() {
        if (hasSpare_) {
            hasSpare_ = false;
            return spare_;
        }
        const std::uint64_t bits = engine_();
        // Two 32-bit uniforms in (0, 1]; the first can never be 0, so its logarithm is finite.
        const double u1 = (static_cast<double>(bits >> 32) + 1.0) / 4294967296.0;
        const double u2 = static_cast<double>(bits & 0xffffffffu) / 4294967296.0;
        const double r = std::sqrt(-2.0 * std::log(u1));
        spare_ = r * std::sin(2.0 * 3.14159265358979323846 * u2);
        hasSpare_ = true;
        return r * std::cos(2.0 * 3.14159265358979323846 * u2);
    }

  private:
    std::mt19937_64 engine_;
    double spare_ = 0.0;
    bool hasSpare_ = false;
};

// Share of a unit Gaussian (centre c, sigma s) falling in the pixel [i - 0.5, i + 0.5].
inline double pixelShare(int i, double c, double s) {
    const double k = 1.0 / (s * std::sqrt(2.0));
    return 0.5 * (std::erf((i + 0.5 - c) * k) - std::erf((i - 0.5 - c) * k));
}

// The profile's shares along one axis: zero outside a window of about five sigma.
inline std::vector<double> axisShares(int length, double centre, double sigma) {
    std::vector<double> shares(static_cast<std::size_t>(std::max(length, 0)), 0.0);
    const int reach = static_cast<int>(std::ceil(6.0 * sigma)) + 2;
    const int first = std::max(0, static_cast<int>(std::floor(centre)) - reach);
    const int last = std::min(length - 1, static_cast<int>(std::ceil(centre)) + reach);
    for (int i = first; i <= last; ++i)
        shares[static_cast<std::size_t>(i)] = pixelShare(i, centre, sigma);
    return shares;
}

// Share of the star's profile falling in its brightest pixel (the one holding its centre).
inline double peakShare(const FrameRecipe& f) {
    const double sigma = sigmaOfFwhm(f.fwhm);
    const int cx = static_cast<int>(std::lround(f.starX));
    const int cy = static_cast<int>(std::lround(f.starY));
    return pixelShare(cx, f.starX, sigma) * pixelShare(cy, f.starY, sigma);
}

// The largest expected pixel value of the frame (sky plus the star's brightest pixel).
inline double expectedPeak(const FrameRecipe& f) {
    return f.sky + f.starFlux * peakShare(f);
}

// Adds a Gaussian star of `flux` centred at (x, y) to the canvas.
inline void addGaussian(Canvas& c, double fwhm, const Spot& star) {
    const std::vector<double> xs = axisShares(c.columns, star.x, sigmaOfFwhm(fwhm));
    const std::vector<double> ys = axisShares(c.rows, star.y, sigmaOfFwhm(fwhm));
    for (std::size_t r = 0; r < ys.size(); ++r) {
        if (ys[r] == 0.0) continue;
        for (std::size_t col = 0; col < xs.size(); ++col)
            c.value[r * xs.size() + col] += star.flux * ys[r] * xs[col];
    }
}

// What is drawn on a whole canvas rather than row by row: stars of another profile than a
// Gaussian, the field stars and the sensor's defects. Empty when there is none of them.
inline Canvas frameCanvas(const FrameRecipe& f) {
    Canvas c;
    const bool gaussian = gaussianStars(f);
    if (gaussian && f.fieldStars.empty() && f.defects.empty()) return c;
    c = {f.columns, f.rows, std::vector<double>(static_cast<std::size_t>(f.columns) * f.rows)};
    const ProfileShape shape{f.fwhm, f.moffatBeta, f.donutInner};
    std::vector<Spot> stars = f.fieldStars;
    if (!gaussian) {
        stars.push_back({f.starX, f.starY, f.starFlux});
        stars.push_back({f.neighbourX, f.neighbourY, f.neighbourFlux});
    }
    for (const Spot& s : stars) {
        if (s.flux == 0.0) continue;
        if (gaussian)
            addGaussian(c, f.fwhm, s);
        else
            addSampledProfile(c, shape, s.x, s.y, s.flux);
    }
    // A defect lights the one pixel it falls in; one outside the frame is lost.
    for (const Spot& d : f.defects) {
        const int col = static_cast<int>(std::lround(d.x)),
                  row = static_cast<int>(std::lround(d.y));
        if (col >= 0 && col < f.columns && row >= 0 && row < f.rows)
            c.value[static_cast<std::size_t>(row) * f.columns + col] += d.flux;
    }
    return c;
}

// The expected value of every pixel, row by row: the sky, the star, any second star and any
// dark patch.
class FrameModel {
  public:
    explicit FrameModel(const FrameRecipe& f)
        : frame_(f),
          starFlux_(gaussianStars(f) ? f.starFlux : 0.0),
          xs_(axisShares(f.columns, f.starX, sigmaOfFwhm(f.fwhm))),
          ys_(axisShares(f.rows, f.starY, sigmaOfFwhm(f.fwhm))),
          canvas_(frameCanvas(f)) {
        if (f.neighbourFlux != 0.0 && gaussianStars(f)) {
            neighbourXs_ = axisShares(f.columns, f.neighbourX, sigmaOfFwhm(f.fwhm));
            neighbourYs_ = axisShares(f.rows, f.neighbourY, sigmaOfFwhm(f.fwhm));
        }
        if (f.hollowFlux == 0.0) return;
        hollowXs_ = axisShares(f.columns, f.starX, sigmaOfFwhm(f.hollowFwhm));
        hollowYs_ = axisShares(f.rows, f.starY, sigmaOfFwhm(f.hollowFwhm));
    }

    // Row r's expected values into row (columns values).
    void expectedRow(int r, double* row) const {
        const auto y = static_cast<std::size_t>(r);
        const double rowShare = ys_[y] * starFlux_;
        for (std::size_t c = 0; c < xs_.size(); ++c) row[c] = frame_.sky + rowShare * xs_[c];
        if (!canvas_.value.empty()) {
            const double* drawn = canvas_.value.data() + y * xs_.size();
            for (std::size_t c = 0; c < xs_.size(); ++c) row[c] += drawn[c];
        }
        if (!neighbourYs_.empty()) {
            const double neighbourShare = neighbourYs_[y] * frame_.neighbourFlux;
            for (std::size_t c = 0; c < xs_.size(); ++c) row[c] += neighbourShare * neighbourXs_[c];
        }
        if (hollowYs_.empty()) return;
        const double hollowShare = hollowYs_[y] * frame_.hollowFlux;
        for (std::size_t c = 0; c < xs_.size(); ++c) row[c] -= hollowShare * hollowXs_[c];
    }

  private:
    const FrameRecipe& frame_;
    double starFlux_;  // the star's flux drawn row by row, ADU (0 when on the canvas)
    std::vector<double> xs_, ys_;
    Canvas canvas_;
    std::vector<double> neighbourXs_, neighbourYs_;
    std::vector<double> hollowXs_, hollowYs_;
};

// One image plane's values row by row, noise included, from the plane's own noise stream.
class PlaneRows {
  public:
    explicit PlaneRows(const FrameRecipe& f)
        : frame_(f), model_(f), normal_(f.seed), row_(static_cast<std::size_t>(f.columns)) {}

    // Row r (rows are asked for in order, so the noise stream stays the frame's own).
    const std::vector<double>& row(int r) {
        model_.expectedRow(r, row_.data());
        const double readVariance = frame_.readNoise * frame_.readNoise;
        for (double& value : row_) {
            // Photon noise (normal approximation, gain 1 electron per ADU) and read noise
            // add their variances.
            if (frame_.noise)
                value += std::sqrt(std::max(value, 0.0) + readVariance) * normal_.next();
            if (frame_.ceiling > 0.0) value = std::min(value, frame_.ceiling);
            // The camera's converter gives whole counts within its range, then scales them.
            if (frame_.adcLevels > 0)
                value =
                    std::clamp(std::round(value), 0.0, frame_.adcLevels - 1.0) * frame_.adcScale;
        }
        return row_;
    }

  private:
    const FrameRecipe& frame_;
    FrameModel model_;
    NormalSource normal_;
    std::vector<double> row_;
};

// Encodes one row of values in the plane's format and writes it; false on a write error.
inline bool writeRow(std::FILE* out, const FrameRecipe& f, const std::vector<double>& row) {
    const double bzero = f.bitpix == 16 ? 32768.0 : 0.0;
    std::vector<unsigned char> bytes(row.size() *
                                     static_cast<std::size_t>(bytesPerSample(f.bitpix)));
    encodeSamples(row.data(), static_cast<std::int64_t>(row.size()), f.bitpix, 1.0, bzero,
                  bytes.data());
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Writes one image plane's rows after what the file already holds; false on a write error.
inline bool writePlane(std::FILE* out, const FrameRecipe& f) {
    PlaneRows rows(f);
    bool ok = true;
    for (int r = 0; r < f.rows && ok; ++r) ok = writeRow(out, f, rows.row(r));
    return ok;
}

// Writes a raw colour mosaic, RGGB from the first pixel: each pixel takes its colour's plane
// (planes R, G, B, all of one size and format), every plane's noise stream run in full.
inline bool writeMosaicPlane(std::FILE* out, const std::vector<FrameRecipe>& planes) {
    std::vector<PlaneRows> bands;
    for (const FrameRecipe& p : planes) bands.emplace_back(p);
    const FrameRecipe& f = planes.front();
    std::vector<double> mosaic(static_cast<std::size_t>(f.columns));
    bool ok = true;
    for (int r = 0; r < f.rows && ok; ++r) {
        const std::vector<double>& red = bands[0].row(r);
        const std::vector<double>& green = bands[1].row(r);
        const std::vector<double>& blue = bands[2].row(r);
        for (std::size_t c = 0; c < mosaic.size(); ++c) {
            const bool evenRow = r % 2 == 0, evenColumn = c % 2 == 0;
            mosaic[c] =
                evenRow && evenColumn ? red[c] : (!evenRow && !evenColumn ? blue[c] : green[c]);
        }
        ok = writeRow(out, f, mosaic);
    }
    return ok;
}

// Writes a file of one or more image planes (all of the first plane's size and format) with
// the given header cards; false when the file cannot be written.
inline bool writePlanes(const std::filesystem::path& path, const std::vector<FrameRecipe>& planes,
                        const std::vector<std::string>& cards, bool mosaic = false) {
    const auto closer = [](std::FILE* p) {
        if (p != nullptr) std::fclose(p);
    };
    std::unique_ptr<std::FILE, decltype(closer)> out(std::fopen(path.c_str(), "wb"), closer);
    if (!out) return false;
    // A large buffer turns the row writes into few big writes.
    std::setvbuf(out.get(), nullptr, _IOFBF, 1 << 22);
    const std::string header = fitsHeader(cards);
    bool ok = std::fwrite(header.data(), 1, header.size(), out.get()) == header.size();
    std::int64_t dataBytes = 0;
    for (const FrameRecipe& plane : planes) {
        if (mosaic) break;
        if (ok) ok = writePlane(out.get(), plane);
        dataBytes +=
            static_cast<std::int64_t>(plane.columns) * plane.rows * bytesPerSample(plane.bitpix);
    }
    if (mosaic) {
        ok = ok && writeMosaicPlane(out.get(), planes);
        dataBytes = static_cast<std::int64_t>(planes.front().columns) * planes.front().rows *
                    bytesPerSample(planes.front().bitpix);
    }
    const std::vector<char> padding(static_cast<std::size_t>(fitsDataPadding(dataBytes)), '\0');
    // Data that fill whole blocks need no padding (and an empty vector may hold no buffer).
    if (ok && !padding.empty())
        ok = std::fwrite(padding.data(), 1, padding.size(), out.get()) == padding.size();
    return std::fclose(out.release()) == 0 && ok;
}

// Writes the frame with the given header cards; false when the file cannot be written.
inline bool writeFrame(const std::filesystem::path& path, const FrameRecipe& f,
                       const std::vector<std::string>& cards) {
    return writePlanes(path, {f}, cards);
}

}  // namespace orvel::simulate
