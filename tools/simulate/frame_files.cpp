#include "simulate/frame_files.h"

#include <fitsio.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"
#include "simulate/frame_traits.h"
#include "simulate/header_styles.h"

namespace orvel::simulate {

namespace {

constexpr double kCeiling = 65535.0;  // the 16-bit ceiling after BZERO, DC
constexpr double kDarkLevel = 100.0;  // level of the master dark, ADU per pixel
constexpr const char* kCubeName = "NIGHT_RGB.fit";
constexpr const char* kDarkName = "master_dark_sub.fit";

// The cards every written file has after its image cards: scaling, moment and exposure (with
// the site, star and altitude of a --header-style).
// With --meridian-flip, the side of the pier the telescope is on.
void addExposureCards(std::vector<std::string>& cards, const NightOptions& o, const Frame& f) {
    cards.push_back(fitsRealCard("BSCALE", 1.0));
    cards.push_back(fitsRealCard("BZERO", o.bitpix == 16 ? 32768.0 : 0.0));
    addStyleCards(cards, o, f);
    if (o.flipHours)
        cards.push_back(fitsStringCard("PIERSIDE", afterFlip(o, f) ? "WEST" : "EAST",
                                       "side of the pier the telescope is on"));
}

std::vector<std::string> frameCards(const NightOptions& o, const Frame& f) {
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    addExposureCards(cards, o, f);
    static const char* kWords[3] = {"Red", "Green", "Blue"};
    const bool letter = o.names == "classic" || o.names == "light";
    cards.push_back(
        fitsStringCard(o.filterCard, letter ? std::string(1, kBands[f.band]) : kWords[f.band]));
    // A 16-bit frame's ceiling is its format's; a float frame says where it clipped.
    if (f.kind == FileKind::saturate && o.bitpix == -32)
        cards.push_back(fitsRealCard("SATURATE", kCeiling, "DC at which pixels saturate"));
    return cards;
}

// The star hidden in a dark patch: a Gaussian hollow three times the star's width, half the
// sky deep at its centre, with a faint trace of the star at its place whose brightest pixel
// stands ten noise sigmas above the sky, so that the brightest pixel near the star (where the
// rings are centred) is the patch's centre and the signal in the rings is negative.
void hideStar(FrameRecipe& s) {
    const double depth = 0.5 * s.sky;
    s.hollowFwhm = 3.0 * s.fwhm;
    const double hollowSigma = sigmaOfFwhm(s.hollowFwhm);
    s.hollowFlux = depth * 2.0 * kPi * hollowSigma * hollowSigma;
    const double noise = std::sqrt(std::max(s.sky, 0.0) + s.readNoise * s.readNoise);
    s.starFlux = (depth + 10.0 * noise) / peakShare(s);
}

// The star of a spoilt frame: clipped at the ceiling, or hidden.
void shapeStar(FrameRecipe& s, FileKind kind) {
    if (kind == FileKind::saturate) {
        // So bright that the brightest pixel's expected value is four times the ceiling.
        s.starFlux = (4.0 * kCeiling - s.sky) / peakShare(s);
        s.ceiling = kCeiling;
    } else if (kind == FileKind::hideStar) {
        hideStar(s);
    }
}

}  // namespace

FrameRecipe frameRecipe(const NightOptions& o, const Frame& f, int index) {
    FrameRecipe s;
    s.columns = o.columns;
    s.rows = o.rows;
    s.bitpix = o.bitpix;
    const Spot resting = restingPlace(o);
    s.starX = resting.x;
    s.starY = resting.y;
    s.fwhm = f.fwhm;
    s.starFlux = f.flux;
    s.sky = f.sky;
    if (f.neighbourFlux > 0.0) {
        s.neighbourX = s.starX + o.neighbourDistance;
        s.neighbourY = s.starY;
        s.neighbourFlux = f.neighbourFlux;
    }
    s.readNoise = o.readNoise;
    s.noise = o.noise;
    // Each frame has its own stream, so any frame can be made again on its own.
    s.seed = o.seed * 1000003u + static_cast<std::uint64_t>(index);
    addTraits(o, f, index, s);
    shapeStar(s, f.kind);
    return s;
}

namespace {

// The plain file a compressed one is made from: its name without ".gz" or ".fz".
std::filesystem::path plainPath(const std::filesystem::path& path) {
    std::string name = path.string();
    name.resize(name.size() - 3);
    return name;
}

// The plain file gzip-compressed at path, as gzip writes it.
bool gzipFile(const std::filesystem::path& plain, const std::filesystem::path& path) {
    std::ifstream in(plain, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    gzFile out = gzopen(path.c_str(), "wb6");
    if (out == nullptr) return false;
    const bool written = gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                         static_cast<int>(bytes.size());
    return gzclose(out) == Z_OK && written && in.good();
}

// Replaces the plain file by its compressed copy at path: gzip for .gz, RICE tiles of one row
// each (fpack's defaults) for .fz. Both opened as plain disk files, whatever their names hold.
bool compressFile(const std::filesystem::path& path) {
    const std::filesystem::path plain = plainPath(path);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    bool done = false;
    if (path.extension() == ".fz") {
        fitsfile* in = nullptr;
        fitsfile* out = nullptr;
        int status = 0, ignored = 0;
        fits_open_diskfile(&in, plain.c_str(), READONLY, &status);
        fits_create_diskfile(&out, path.c_str(), &status);
        fits_set_compression_type(out, RICE_1, &status);
        fits_img_compress(in, out, &status);
        if (out) fits_close_file(out, &status);
        if (in) fits_close_file(in, &ignored);
        done = status == 0;
    } else {
        done = gzipFile(plain, path);
    }
    std::filesystem::remove(plain, ec);
    return done;
}

// The three bands of one exposure of a colour camera (frames[i] red, then green and blue) as one
// file: a 3-plane cube, or a raw RGGB mosaic.
bool writeColourFile(const std::filesystem::path& folder, const NightOptions& o,
                     const std::vector<Frame>& frames, int i) {
    const Frame& first = frames[static_cast<std::size_t>(i)];
    std::vector<FrameRecipe> planes;
    for (int b = 0; b < 3; ++b)
        planes.push_back(frameRecipe(o, frames[static_cast<std::size_t>(i + b)], i + b));
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    const bool cube = o.colour == "cube";
    if (cube) {
        cards[2] = fitsIntCard("NAXIS", 3);
        cards.push_back(fitsIntCard("NAXIS3", 3, "planes R, G and B"));
    }
    addExposureCards(cards, o, first);
    if (!cube) {
        cards.push_back(fitsStringCard("BAYERPAT", "RGGB", "colour of the first 2 x 2 pixels"));
        cards.push_back(fitsIntCard("XBAYROFF", 0));
        cards.push_back(fitsIntCard("YBAYROFF", 0));
    }
    const std::filesystem::path path = folder / first.file;
    const std::filesystem::path written = o.compress.empty() ? path : plainPath(path);
    if (!writePlanes(written, planes, cards, !cube)) return false;
    return o.compress.empty() || compressFile(path);
}

// Writes frame `index` (0-based) of the night; a cut frame keeps its header and half its data
// bytes. A spoilt star's truth becomes the signal actually put in the frame.
bool writeNightFrame(const std::filesystem::path& folder, const NightOptions& o, Frame& f,
                     int index) {
    const FrameRecipe shown = frameRecipe(o, f, index);
    if (f.kind == FileKind::saturate || f.kind == FileKind::hideStar)
        f.flux = shown.starFlux - shown.hollowFlux;
    const std::vector<std::string> cards = frameCards(o, f);
    const std::filesystem::path path = folder / f.name;
    if (!o.compress.empty()) return writeFrame(plainPath(path), shown, cards) && compressFile(path);
    if (!writeFrame(path, shown, cards)) return false;
    if (f.kind != FileKind::cut) return true;
    const std::int64_t dataBytes =
        static_cast<std::int64_t>(o.columns) * o.rows * bytesPerSample(o.bitpix);
    std::error_code ec;
    std::filesystem::resize_file(
        path, fitsHeader(cards).size() + static_cast<std::uintmax_t>(dataBytes / 2), ec);
    return !ec;
}

// The colour cube: three planes, R, G and B, of the star at the first frame's moment, each with
// its own noise stream (after the frames' streams). Its truth row has no single flux.
std::optional<Frame> writeCube(const std::filesystem::path& folder, const NightOptions& o,
                               const Frame& first, int count) {
    Frame cube = first;
    cube.name = kCubeName;
    cube.kind = FileKind::frame;
    std::vector<FrameRecipe> planes;
    for (int b = 0; b < 3; ++b) {
        FrameRecipe s = frameRecipe(o, cube, count + b);
        s.starFlux = o.flux[b] * std::exp(-o.k[b] * first.airmass);
        s.neighbourFlux = o.neighbourFlux * std::exp(-o.k[b] * first.airmass);
        planes.push_back(s);
    }
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    cards[2] = fitsIntCard("NAXIS", 3);
    cards.push_back(fitsIntCard("NAXIS3", 3, "planes R, G and B"));
    addExposureCards(cards, o, first);
    if (!writePlanes(folder / cube.name, planes, cards)) return std::nullopt;
    cube.kind = FileKind::cube;
    cube.flux = std::nan("");
    cube.neighbourFlux = std::nan("");
    return cube;
}

// The master dark: a flat dark level with its noise and no star, taken two minutes before the
// first frame, with the next noise stream after the cube's.
std::optional<Frame> writeDark(const std::filesystem::path& folder, const NightOptions& o,
                               const Frame& first, int count) {
    Frame dark = first;
    dark.name = kDarkName;
    dark.kind = FileKind::frame;
    dark.time = civilFromSeconds(secondsFromCivil(first.time) - 120);
    dark.elevation = elevationAt(skyOf(o), dark.time);
    dark.airmass = hardieAirmass(dark.elevation);
    FrameRecipe s = frameRecipe(o, dark, count + 3);
    s.starFlux = 0.0;
    s.neighbourFlux = 0.0;
    s.fieldStars.clear();
    s.sky = kDarkLevel;
    std::vector<std::string> cards = fitsImageCards(o.bitpix, o.columns, o.rows);
    addExposureCards(cards, o, dark);
    cards.push_back(fitsStringCard("IMAGETYP", "Dark Frame"));
    if (!writeFrame(folder / dark.name, s, cards)) return std::nullopt;
    dark.kind = FileKind::dark;
    dark.flux = 0.0;
    dark.fwhm = std::nan("");
    dark.sky = kDarkLevel;
    dark.neighbourFlux = 0.0;
    return dark;
}

}  // namespace

// The night's frames, then the cube and the dark when asked for; the files written in order.
// `first` is the first frame as planned, the moment of the cube and the dark.
std::optional<std::vector<Frame>> writeFiles(const NightOptions& o, std::vector<Frame> frames,
                                             const Frame& first) {
    const std::filesystem::path folder = o.out;
    const int count = static_cast<int>(frames.size());
    for (int i = 0; i < count; ++i) {
        Frame& f = frames[static_cast<std::size_t>(i)];
        const bool written = o.colour.empty() ? writeNightFrame(folder, o, f, i)
                                              : i % 3 != 0 || writeColourFile(folder, o, frames, i);
        if (!written) {
            std::cerr << "orvel-simulate: cannot write " << (folder / f.name).string() << "\n";
            return std::nullopt;
        }
    }
    for (const auto& [wanted, writer] : {std::pair{o.cube, &writeCube}, {o.dark, &writeDark}}) {
        if (!wanted) continue;
        const std::optional<Frame> extra = writer(folder, o, first, count);
        if (!extra) {
            std::cerr << "orvel-simulate: cannot write the extra files in " << o.out << "\n";
            return std::nullopt;
        }
        frames.push_back(*extra);
    }
    return frames;
}

}  // namespace orvel::simulate
