#include "fits/tile_header.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <vector>

#include "fits/fits_header.h"
#include "fits/fits_writer.h"

namespace orvel {

namespace {

// The keyword of a card: columns 1 to 8 without trailing blanks.
std::string_view cardKeyword(std::string_view card) {
    std::string_view name = card.substr(0, std::min<std::size_t>(card.size(), 8));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

// Every card of the header that names the keyword, in order.
std::vector<std::string_view> cardsOf(std::string_view text, std::string_view keyword) {
    std::vector<std::string_view> cards;
    for (int j = 1;; ++j) {
        const std::string_view card = headerCard(text, j);
        if (card.empty()) break;
        if (cardKeyword(card) == keyword) cards.push_back(card);
    }
    return cards;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A card's value as a plain whole number (digits with an optional sign, nothing else), so that
// the library cannot read a value other than the one checked here.
std::optional<std::int64_t> wholeValue(std::string_view card) {
    std::string_view v = trimmed(cardValueField(card));
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (v.empty() || error != std::errc() || end != v.data() + v.size()) return std::nullopt;
    return n;
}

// The keyword's value, the same in every card that holds it and within lo..hi; `absent` when no
// card holds it; empty when a card's value is not such a number.
std::optional<std::int64_t> checkedWhole(std::string_view text, std::string_view keyword,
                                         std::int64_t lo, std::int64_t hi,
                                         std::optional<std::int64_t> absent = std::nullopt) {
    const std::vector<std::string_view> cards = cardsOf(text, keyword);
    if (cards.empty()) return absent;
    std::optional<std::int64_t> value;
    for (std::string_view card : cards) {
        const std::optional<std::int64_t> v = wholeValue(card);
        if (!v || *v < lo || *v > hi || (value && *v != *value)) return std::nullopt;
        value = v;
    }
    return value;
}

// Every card of the keyword holds the same string (upper-cased); empty when absent or not so.
std::optional<std::string> checkedString(std::string_view text, std::string_view keyword) {
    std::optional<std::string> value;
    for (std::string_view card : cardsOf(text, keyword)) {
        std::string s(trimmed(cardString(card)));
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (value && s != *value) return std::nullopt;
        value = std::move(s);
    }
    return value;
}

// Every ZIMAGE card holds the logical T.
bool marksAnImage(std::string_view text) {
    const std::vector<std::string_view> cards = cardsOf(text, "ZIMAGE");
    return !cards.empty() && std::all_of(cards.begin(), cards.end(), [](std::string_view c) {
        return trimmed(cardValueField(c)) == "T";
    });
}

// The cards of the table that describe the table or the compression, not the image.
bool describesCompression(std::string_view keyword) {
    static constexpr std::array<std::string_view, 32> kPrefixes = {
        "XTENSION", "BITPIX",   "NAXIS",    "PCOUNT",  "GCOUNT",   "TFIELDS",  "TTYPE",
        "TFORM",    "TUNIT",    "TDIM",     "THEAP",   "CHECKSUM", "DATASUM",  "EXTNAME",
        "ZIMAGE",   "ZBITPIX",  "ZNAXIS",   "ZTILE",   "ZCMPTYPE", "ZNAME",    "ZVAL",
        "ZQUANTIZ", "ZDITHER",  "ZSIMPLE",  "ZEXTEND", "ZBLOCKED", "ZTENSION", "ZPCOUNT",
        "ZGCOUNT",  "ZHECKSUM", "ZDATASUM", "ZBLANK"};
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view p) { return keyword.substr(0, p.size()) == p; });
}

// The image's header as a plain primary would hold it: its size and format, then its own cards.
std::string imageHeader(std::string_view text, const TileImage& image) {
    std::string out = fitsLogicalCard("SIMPLE", true) + fitsIntCard("BITPIX", image.bitpix) +
                      fitsIntCard("NAXIS", image.axes);
    for (int i = 0; i < image.axes; ++i)
        out +=
            fitsIntCard("NAXIS" + std::to_string(i + 1), image.size[static_cast<std::size_t>(i)]);
    for (int j = 1;; ++j) {
        const std::string_view card = headerCard(text, j);
        if (card.size() < static_cast<std::size_t>(kFitsCardBytes) || cardKeyword(card) == "END")
            break;
        if (!describesCompression(card.substr(0, 8))) out.append(card);
    }
    out += std::string("END").append(kFitsCardBytes - 3, ' ');
    out.resize((out.size() + kFitsBlockBytes - 1) / kFitsBlockBytes * kFitsBlockBytes, ' ');
    return out;
}

// The compression's own parameters (ZNAMEi / ZVALi) within what its decoder handles.
std::string parameterProblem(std::string_view text, const std::string& method) {
    for (int i = 1; i <= 9; ++i) {
        const std::string n = std::to_string(i);
        const std::optional<std::string> name = checkedString(text, "ZNAME" + n);
        if (!name) continue;
        std::optional<std::int64_t> v;
        if (*name == "BLOCKSIZE")
            v = checkedWhole(text, "ZVAL" + n, 1, 64);
        else if (*name == "BYTEPIX")
            v = checkedWhole(text, "ZVAL" + n, 1, 8);
        else if (*name == "SMOOTH")
            v = checkedWhole(text, "ZVAL" + n, 0, 1);
        else if (*name == "SCALE")
            v = checkedWhole(text, "ZVAL" + n, 0, 1'000'000);
        else
            continue;
        if (!v || (*name == "BYTEPIX" && (*v & (*v - 1)) != 0))
            return "its compressed image's " + method + " " + *name + " cannot be decoded";
    }
    return {};
}

// The image's size and tiles (ZNAXISn, ZTILEn), each positive and a tile within the image.
std::string sizeProblem(std::string_view text, TileImage& image, std::int64_t maxPixels) {
    std::int64_t pixels = 1;
    for (int i = 0; i < image.axes; ++i) {
        const std::string n = std::to_string(i + 1);
        const auto size = checkedWhole(text, "ZNAXIS" + n, 1, maxPixels);
        if (!size) return "its compressed image has no valid ZNAXIS" + n;
        pixels *= *size;  // each factor at most maxPixels, checked before the next
        if (pixels > maxPixels)
            return "its compressed image claims more than " + std::to_string(maxPixels) + " pixels";
        const auto tile = checkedWhole(text, "ZTILE" + n, 1, *size, i == 0 ? *size : 1);
        if (!tile) return "its compressed image has no valid ZTILE" + n;
        image.size[static_cast<std::size_t>(i)] = *size;
        image.tile[static_cast<std::size_t>(i)] = *tile;
    }
    return {};
}

// The table holds a row per tile, and it and its heap lie within the file.
std::string tableProblem(std::string_view text, const TileImage& image, std::int64_t bytes) {
    std::int64_t tiles = 1;
    for (int i = 0; i < 3; ++i)
        tiles *= (image.size[static_cast<std::size_t>(i)] +
                  image.tile[static_cast<std::size_t>(i)] - 1) /
                 image.tile[static_cast<std::size_t>(i)];
    const auto rowBytes = checkedWhole(text, "NAXIS1", 1, 1 << 20);
    const auto rows = checkedWhole(text, "NAXIS2", tiles, tiles);
    const auto heap = checkedWhole(text, "PCOUNT", 0, bytes, 0);
    const auto fields = checkedWhole(text, "TFIELDS", 1, 999);
    if (!rowBytes || !rows || !heap || !fields || checkedWhole(text, "NAXIS", 2, 2) != 2)
        return "its compressed image's table does not hold one row per tile";
    if (*rowBytes * *rows + *heap > bytes)
        return "its compressed image's table runs beyond the end of the file";
    return {};
}

}  // namespace

TileHeaderCheck checkTileHeader(std::string_view text, std::int64_t bytesAfterHeader,
                                std::int64_t maxPixels) {
    TileHeaderCheck check;
    TileImage& image = check.image;
    const auto fail = [&](std::string why) {
        check.problem = std::move(why);
        return check;
    };
    if (!marksAnImage(text)) return fail("its compressed table holds no image (ZIMAGE is not T)");
    const auto bitpix = checkedWhole(text, "ZBITPIX", -64, 64);
    static constexpr std::array<int, 6> kFormats = {8, 16, 32, 64, -32, -64};
    if (!bitpix || std::find(kFormats.begin(), kFormats.end(), *bitpix) == kFormats.end())
        return fail("its compressed image has no valid ZBITPIX");
    image.bitpix = static_cast<int>(*bitpix);
    const auto axes = checkedWhole(text, "ZNAXIS", 1, 3);
    if (!axes) return fail("its compressed image has no valid ZNAXIS (1 to 3 axes)");
    image.axes = static_cast<int>(*axes);
    if (std::string p = sizeProblem(text, image, maxPixels); !p.empty()) return fail(p);
    static constexpr std::array<std::string_view, 5> kMethods = {"RICE_1", "RICE_ONE", "GZIP_1",
                                                                 "GZIP_2", "HCOMPRESS_1"};
    const std::optional<std::string> method = checkedString(text, "ZCMPTYPE");
    if (!method || std::find(kMethods.begin(), kMethods.end(), *method) == kMethods.end())
        return fail("its compressed image uses a compression the program does not read");
    if (std::string p = parameterProblem(text, *method); !p.empty()) return fail(p);
    // The dither seed indexes a table of 10000 random values.
    if (!checkedWhole(text, "ZDITHER0", 0, 10000, 0))
        return fail("its compressed image has no valid ZDITHER0");
    if (std::string p = tableProblem(text, image, bytesAfterHeader); !p.empty()) return fail(p);
    image.header = imageHeader(text, image);
    return check;
}

}  // namespace orvel
