// The FITS reading and measuring path run on any bytes, with the properties it must keep.
// Shared by the fuzz targets tests/fuzz/fits_fuzz.cpp and tests/fuzz/first_image_fuzz.cpp and by
// the replay test of the saved inputs.
//
// The parameters a user would give (picks, desktop size, coordinates) are taken from the end of
// the input; the bytes before them are the image file. Its header blocks are scanned and parsed
// with the keyword lines going to an in-memory log, and the pixels are decoded when the header
// describes a decodable image small enough for the check. Then either
//   - checkFitsInput: the frame as every frame of a night is measured: the picks placed on it
//     and the frame pipeline (background and star, rings and the airmass), images of at most
//     kMaxFramePixels; or
//   - checkFirstImageInput: what the first frame alone goes through: its statistics, grey
//     levels, the screen factor and the image in a window, images of at most
//     kMaxFirstImagePixels.
// The first frame's statistics are kept apart because they cost about 5 ms per image under the
// sanitizers however small the image is (their counting tables of 2^16 buckets): with them on
// every input the header and the frame pipeline were fuzzed at a tenth of the rate.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/image_statistics.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "base/run_log.h"
#include "dialogue/first_image.h"
#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"
#include "fits/pixel_image.h"
#include "fuzz/property.h"
#include "fuzz/tail_reader.h"
#include "night/frame_pipeline.h"
#include "night/night_log.h"
#include "observing/airmass.h"
#include "platform/offscreen_window.h"

namespace orvel::fuzz {

// Larger images are not decoded. Rings that never settle grow to their limit on a frame of any
// size, and each ring walks the rows of its square that lie in the frame: the bounds keep such
// inputs to about a millisecond; statistics, grey levels and the window grow with the pixels.
inline constexpr std::int64_t kMaxFramePixels = std::int64_t{1} << 12;       // 64 x 64
inline constexpr std::int64_t kMaxFirstImagePixels = std::int64_t{1} << 16;  // 256 x 256

// What the user (or the command line) would give, read from the end of the input.
struct FuzzPicks {
    bool rawValues = false;       // picks are any float bits, not window pixels
    std::int32_t starColumn = 0;  // window pixels before mapping into the picture
    std::int32_t starRow = 0;
    std::int32_t backgroundColumn = 0;
    std::int32_t backgroundRow = 0;
    std::uint32_t rawBits[4] = {};  // star x, y, background x, y as float bits
    int desktopWidth = 0;           // pixels; 0 or less means no desktop
    int desktopHeight = 0;
    float latitude = 0.0f;        // degrees
    float longitude = 0.0f;       // degrees
    float rightAscension = 0.0f;  // hours
    float declination = 0.0f;     // degrees
};

inline FuzzPicks readPicks(TailReader& in) {
    FuzzPicks p;
    p.rawValues = in.boolean();
    p.starColumn = in.integral<std::int32_t>();
    p.starRow = in.integral<std::int32_t>();
    p.backgroundColumn = in.integral<std::int32_t>();
    p.backgroundRow = in.integral<std::int32_t>();
    for (std::uint32_t& bits : p.rawBits) bits = in.integral<std::uint32_t>();
    p.desktopWidth = in.integralInRange<int>(-1, 4000);
    p.desktopHeight = in.integralInRange<int>(-1, 3000);
    p.latitude = in.floatInRange(-90.0f, 90.0f);
    p.longitude = in.floatInRange(-180.0f, 180.0f);
    p.rightAscension = in.floatInRange(0.0f, 24.0f);
    p.declination = in.floatInRange(-90.0f, 90.0f);
    return p;
}

// A window pixel within, or up to 20 pixels beyond, the reduced picture of `extent` pixels.
inline float windowPixel(std::int32_t raw, int extent, int screenFactor) {
    const std::int64_t span = std::int64_t{extent} / screenFactor + 40;
    return static_cast<float>(std::int64_t{raw} % span - 20);
}

inline StarSelection fuzzSelection(const FuzzPicks& p, const PixelImage& image, int sf) {
    StarSelection s;
    s.screenFactor = static_cast<float>(sf);
    if (p.rawValues) {
        s.starX = std::bit_cast<float>(p.rawBits[0]);
        s.starY = std::bit_cast<float>(p.rawBits[1]);
        s.backgroundX = std::bit_cast<float>(p.rawBits[2]);
        s.backgroundY = std::bit_cast<float>(p.rawBits[3]);
    } else {
        s.starX = windowPixel(p.starColumn, image.columns, sf);
        s.starY = windowPixel(p.starRow, image.rows, sf);
        s.backgroundX = windowPixel(p.backgroundColumn, image.columns, sf);
        s.backgroundY = windowPixel(p.backgroundRow, image.rows, sf);
    }
    placeBackgroundRectangle(s, image.columns, image.rows);
    return s;
}

inline ObservingSetup fuzzSetup(const FuzzPicks& p) {
    ObservingSetup setup;
    setup.latitude.value = p.latitude;
    setup.longitude.value = p.longitude;
    setup.rightAscension.value = p.rightAscension;
    setup.declination.value = p.declination;
    return setup;
}

// The end card as the FITS standard writes it: "END" and blanks after it.
inline bool isFitsEndCard(std::string_view card) {
    if (card.substr(0, 3) != "END") return false;
    for (std::size_t i = 3; i < card.size(); ++i)
        if (card[i] != ' ') return false;
    return true;
}

// The header ends with the first block that holds an end card, and only there; without one the
// whole file is the header text.
inline void checkHeaderEnd(std::string_view file, const HeaderScan& scan) {
    bool seen = false;
    for (std::size_t at = 0; at < scan.text.size(); at += kFitsCardBytes) {
        if (at % kFitsBlockBytes == 0) FUZZ_REQUIRE(!seen);
        seen = seen || isFitsEndCard(std::string_view(scan.text).substr(at, kFitsCardBytes));
    }
    FUZZ_REQUIRE(seen == scan.endFound);
    FUZZ_REQUIRE(scan.endFound || scan.text.size() == file.size());
}

// A card's number is read from column 11 up to the first "/" (or the end of the card); its
// string is what lies between the quotes, without trailing blanks.
inline void checkCardValues(std::string_view card) {
    const std::string_view value = cardValueField(card);
    if (card.size() <= 10) {
        FUZZ_REQUIRE(value.empty());
    } else {
        FUZZ_REQUIRE(card.substr(10, value.size()) == value);
        FUZZ_REQUIRE(value.find('/') == std::string_view::npos);
        FUZZ_REQUIRE(10 + value.size() == card.size() || card[10 + value.size()] == '/');
    }
    const std::string text = cardString(card);
    FUZZ_REQUIRE(text.size() + 11 <= card.size() || text.empty());
    FUZZ_REQUIRE(text.empty() || text.back() != ' ');
}

// Blocks, keyword scans and card positions agree with the bytes.
inline void checkHeader(std::string_view file, const HeaderScan& scan, const ImageHeader& header) {
    FUZZ_REQUIRE(scan.text.size() <= file.size());
    FUZZ_REQUIRE(file.substr(0, scan.text.size()) == scan.text);
    FUZZ_REQUIRE(scan.cardCount % kFitsCardsPerBlock == 0);
    FUZZ_REQUIRE(header.cardCount == scan.cardCount);
    FUZZ_REQUIRE(header.dataStart == std::int64_t{kFitsCardBytes} * scan.cardCount + 1);
    checkHeaderEnd(file, scan);
    for (int j = 0; j <= scan.cardCount + 1; ++j) {
        const std::string_view card = headerCard(scan.text, j);
        FUZZ_REQUIRE(card.size() <= static_cast<std::size_t>(kFitsCardBytes));
        checkCardValues(card);
    }
    // A time of day belongs to a date; without DATE-OBS every date and time field stays 0.
    FUZZ_REQUIRE(header.hasDate || !header.hasTimeOfDay);
    if (!header.hasDate) {
        for (const int field :
             {header.year, header.month, header.day, header.hour, header.minute, header.second})
            FUZZ_REQUIRE(field == 0);
    }
    FUZZ_REQUIRE(header.hasSaturate || header.saturate == 0.0f);
    FUZZ_REQUIRE(header.imageType.empty() || header.imageType.back() != ' ');
}

// Decodes the data array of an image of at most maxPixels straight from the input bytes.
inline bool decodeFuzzImage(std::string_view file, const ImageHeader& header,
                            std::int64_t maxPixels, PixelImage& image) {
    if (!canDecode(header) || header.columns <= 0 || header.rows <= 0) return false;
    const std::int64_t count = headerPixelCount(header);
    if (count > maxPixels) return false;
    image.columns = header.columns;
    image.rows = header.rows;
    image.pixels.assign(static_cast<std::size_t>(count), -1.0f);
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    const std::int64_t offset = header.dataStart - 1;
    const std::int64_t available = offset < size ? size - offset : 0;
    const auto* bytes =
        reinterpret_cast<const unsigned char*>(file.data()) + (available > 0 ? offset : 0);
    const std::int64_t whole =
        decodeSamples(bytes, available, sampleCoding(header), image.pixels.data(), count);
    FUZZ_REQUIRE(whole == std::min(count, available / bytesPerSample(header.bitpix)));
    return true;
}

// The screen factor of the first frame's window, which places the picks on the image.
inline int fuzzScreenFactor(const FuzzPicks& p, const PixelImage& image, RunLog& log) {
    const ScreenFactor factor =
        screenFactor(image.columns, image.rows, p.desktopWidth, p.desktopHeight);
    logScreenFactor(log, factor);
    FUZZ_REQUIRE(factor.factor >= 1);
    return factor.factor;
}

// The frame pipeline as the night runs it on a frame held whole, and its log lines.
inline void measureFuzzFrame(const FuzzPicks& p, const PixelImage& image, const ImageHeader& header,
                             RunLog& log) {
    const StarSelection selection = fuzzSelection(p, image, fuzzScreenFactor(p, image, log));
    WholeFrame source(image);
    const FrameMeasurement m = measureFrame(source, selection, fuzzSetup(p), header);
    logMeasurement(log, m);
    FUZZ_REQUIRE(m.background.taken >= 0 && m.background.taken <= m.background.planned);
    FUZZ_REQUIRE(m.rings.innerRadius >= 3 && m.rings.innerRadius <= kMaxRings + 1);
    FUZZ_REQUIRE(m.rings.rings.size() == static_cast<std::size_t>(std::min(
                                             static_cast<int>(m.rings.innerRadius), kMaxRings)));
    FUZZ_REQUIRE(std::isfinite(m.rings.magnitude));
}

// The first frame: statistics, grey levels and the window the picks are made in.
inline void showFuzzFirstImage(const FuzzPicks& p, const PixelImage& image, const ImageHeader&,
                               RunLog& log) {
    const FirstImageStats stats = analyseFirstImage(image);
    logFirstImage(log, stats);
    FUZZ_REQUIRE(stats.pixelCount == static_cast<std::int64_t>(image.pixels.size()));
    FUZZ_REQUIRE(stats.includedCount <= stats.pixelCount);
    // Black to white; only a stretch between infinite cuts has no grey level.
    for (const float v : image.pixels) {
        const float g = greyLevel(v, stats.p1, stats.p999);
        FUZZ_REQUIRE(std::isnan(g) || (g >= 0.0f && g <= 255.0f));
    }
    const int sf = fuzzScreenFactor(p, image, log);
    OffscreenWindow window;
    // Every decodable frame can be shown for the picks, however small.
    FUZZ_REQUIRE(showFirstImage(window, image, stats.p1, stats.p999, sf, "fuzz"));
}

// Reads the header of the file part of an input and, for an image of at most maxPixels, hands
// the decoded image to `measure`; empty when every property held, else the failed one.
template <typename Measure>
std::string checkInput(std::string_view input, std::int64_t maxPixels, Measure measure) {
    try {
        TailReader in(input);
        const FuzzPicks picks = readPicks(in);
        const std::string_view file = in.rest();
        RunLog log = RunLog::inMemory();
        const HeaderScan scan = scanHeaderBlocks(file);
        const ImageHeader header = parseHeader(scan);
        logHeader(log, scan.text, header);
        checkHeader(file, scan, header);
        PixelImage image;
        if (decodeFuzzImage(file, header, maxPixels, image)) measure(picks, image, header, log);
    } catch (const PropertyFailed& failed) {
        return failed.what;
    }
    return {};
}

// Any bytes as a frame of the night: header, pixels and the frame pipeline.
inline std::string checkFitsInput(std::string_view input) {
    return checkInput(input, kMaxFramePixels, measureFuzzFrame);
}

// Any bytes as the first frame of the night: header, pixels, statistics and window.
inline std::string checkFirstImageInput(std::string_view input) {
    return checkInput(input, kMaxFirstImagePixels, showFuzzFirstImage);
}

}  // namespace orvel::fuzz
