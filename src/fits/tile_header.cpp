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

// The keyword of a card as the FITS library reads it: up to the first blank, '=' or NUL, in
// upper case; a HIERARCH card goes by the name after HIERARCH.
std::string libraryKeyword(std::string_view card) {
    std::string_view name = card.substr(0, card.find_first_of(std::string_view(" =\0", 3)));
    if (card.substr(0, 9) == "HIERARCH ") {
        const std::size_t eq = card.find('=');
        name = eq == std::string_view::npos ? card.substr(0, 8) : trimmed(card.substr(9, eq - 9));
    }
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// A card that holds a value: "= " in columns 9 and 10.
bool isValueCard(std::string_view card) {
    return card.size() >= 10 && card.substr(8, 2) == "= ";
}

// A card's value as a plain whole number (digits with an optional sign, nothing else), so that
// the library cannot read a value other than the one checked here.
std::optional<std::int64_t> wholeValue(std::string_view card) {
    if (!isValueCard(card)) return std::nullopt;
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

// Every card of the keyword holds the same string (upper-cased unless `exactCase`, for the
// values the library compares as written); empty when absent or not so.
std::optional<std::string> checkedString(std::string_view text, std::string_view keyword,
                                         bool exactCase = false) {
    std::optional<std::string> value;
    for (std::string_view card : cardsOf(text, keyword)) {
        std::string s(trimmed(cardString(card)));
        if (!exactCase)
            for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!isValueCard(card) || (value && s != *value)) return std::nullopt;
        value = std::move(s);
    }
    return value;
}

// Every ZIMAGE card holds the logical T.
bool marksAnImage(std::string_view text) {
    const std::vector<std::string_view> cards = cardsOf(text, "ZIMAGE");
    return !cards.empty() && std::all_of(cards.begin(), cards.end(), [](std::string_view c) {
        return isValueCard(c) && trimmed(cardValueField(c)) == "T";
    });
}

// The cards of the table that describe the table or the compression, not the image.
bool describesCompression(std::string_view keyword) {
    static constexpr std::array<std::string_view, 36> kPrefixes = {
        "XTENSION", "BITPIX",   "NAXIS",    "PCOUNT",   "GCOUNT",  "TFIELDS",
        "TTYPE",    "TFORM",    "TUNIT",    "TDIM",     "THEAP",   "CHECKSUM",
        "DATASUM",  "EXTNAME",  "ZIMAGE",   "ZBITPIX",  "ZNAXIS",  "ZTILE",
        "ZCMPTYPE", "ZNAME",    "ZVAL",     "ZQUANTIZ", "ZDITHER", "ZSIMPLE",
        "ZEXTEND",  "ZBLOCKED", "ZTENSION", "ZPCOUNT",  "ZGCOUNT", "ZHECKSUM",
        "ZDATASUM", "ZBLANK",   "TSCAL",    "TZERO",    "TNULL",   "TDISP"};
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view p) { return keyword.substr(0, p.size()) == p; });
}

// Every card the library reads while decoding has the name this check reads it by.
std::string nameProblem(std::string_view text) {
    for (int j = 1;; ++j) {
        const std::string_view card = headerCard(text, j);
        if (card.size() < static_cast<std::size_t>(kFitsCardBytes)) return {};
        const std::string name = libraryKeyword(card);
        if (name == "END") return {};
        const bool scaling = name == "BSCALE" || name == "BZERO" || name == "BLANK";
        if (name != cardKeyword(card) && (describesCompression(name) || scaling))
            return "its compressed image's header card " + std::to_string(j) +
                   " is not written as a FITS keyword";
    }
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

// The Rice code's parameters within what its decoder handles. The library takes ZVAL1 as the
// block size and ZVAL2 as the bytes per pixel whatever ZNAME1 and ZNAME2 say (ZNAME2 =
// 'NOISEBIT' marks a file older than ZVAL2's meaning), so these are the values checked.
std::string parameterProblem(std::string_view text, TileImage& image) {
    if (image.method != "RICE_1" && image.method != "RICE_ONE") return {};
    const auto block = checkedWhole(text, "ZVAL1", 1, 64);
    if (!block) return "its compressed image's Rice block size (ZVAL1) cannot be decoded";
    image.riceBlock = static_cast<int>(*block);
    if (checkedString(text, "ZNAME2", true) != "NOISEBIT") {
        const auto bytes = checkedWhole(text, "ZVAL2", 1, 4, 4);
        if (!bytes || *bytes == 3)
            return "its compressed image's Rice bytes per pixel (ZVAL2) cannot be decoded";
        image.riceBytes = static_cast<int>(*bytes);
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
    if (!rowBytes || !rows || !heap || !fields || checkedWhole(text, "NAXIS", 2, 2) != 2 ||
        checkedWhole(text, "GCOUNT", 1, 1, 1) != 1)
        return "its compressed image's table does not hold one row per tile";
    if (*rowBytes * *rows + *heap > bytes)
        return "its compressed image's table runs beyond the end of the file";
    return {};
}

// One field of a table row as its TFORM says: bytes in the row, and for a variable-length
// array its descriptor size (8 for P, 16 for Q) and the bytes of one element.
struct TableField {
    std::int64_t bytes = 0;
    int descriptor = 0;
    int element = 0;
};

int elementBytes(char type) {
    switch (type) {
        case 'L':
        case 'B':
        case 'A':
        case 'X':
            return 1;
        case 'I':
            return 2;
        case 'J':
        case 'E':
            return 4;
        case 'K':
        case 'D':
        case 'C':
            return 8;
        case 'M':
            return 16;
        default:
            return 0;
    }
}

// The field a TFORM value describes ("1PB(95)", "8A", "1QD"); empty when it is none.
std::optional<TableField> tableField(std::string_view form) {
    std::size_t at = 0;
    std::int64_t repeat = 0;
    while (at < form.size() && form[at] >= '0' && form[at] <= '9' && repeat < (1 << 24))
        repeat = repeat * 10 + (form[at++] - '0');
    if (at == 0) repeat = 1;
    if (at >= form.size()) return std::nullopt;
    const char type = form[at];
    TableField field;
    if (type == 'P' || type == 'Q') {
        field.descriptor = type == 'P' ? 8 : 16;
        field.element = at + 1 < form.size() ? elementBytes(form[at + 1]) : 0;
        if (repeat > 1 || field.element == 0) return std::nullopt;
        field.bytes = repeat * field.descriptor;
        return field;
    }
    const int width = elementBytes(type);
    if (width == 0) return std::nullopt;
    field.bytes = type == 'X' ? (repeat + 7) / 8 : repeat * width;
    return field;
}

// A big-endian signed integer of `bytes` bytes.
std::int64_t bigEndian(std::string_view b, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    if (bytes == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return static_cast<std::int64_t>(v);
}

}  // namespace

std::int64_t tileTableBytes(std::string_view text) {
    const auto rowBytes = checkedWhole(text, "NAXIS1", 1, 1 << 20);
    const auto rows = checkedWhole(text, "NAXIS2", 1, kMaxCompressedPixels);
    return rowBytes && rows ? *rowBytes * *rows : 0;
}

std::string readTileTable(std::string_view text, std::string_view rows, std::int64_t tableStart,
                          TileImage& image) {
    const std::string bad = "its compressed image's table points outside its heap";
    const std::int64_t tableBytes = tileTableBytes(text);
    const auto rowBytes = checkedWhole(text, "NAXIS1", 1, 1 << 20);
    const auto fields = checkedWhole(text, "TFIELDS", 1, 999);
    const auto heapSize = checkedWhole(text, "PCOUNT", 0, std::int64_t{1} << 50, 0);
    if (!rowBytes || !fields || !heapSize || static_cast<std::int64_t>(rows.size()) < tableBytes)
        return bad;
    const auto heapStart =
        checkedWhole(text, "THEAP", tableBytes, tableBytes + *heapSize, tableBytes);
    if (!heapStart) return bad;
    // Where the heap's usable bytes end, counted from its own start.
    const std::int64_t heapEnd = tableBytes + *heapSize - *heapStart;
    std::int64_t at = 0;
    std::vector<std::pair<std::int64_t, TableField>> arrays;
    std::optional<std::size_t> compressed;  // which of the arrays holds the tiles' codes
    for (int n = 1; n <= *fields; ++n) {
        const std::optional<std::string> form = checkedString(text, "TFORM" + std::to_string(n));
        const std::optional<TableField> field = form ? tableField(*form) : std::nullopt;
        if (!field) return "its compressed image's table has no valid TFORM" + std::to_string(n);
        if (field->descriptor > 0) {
            if (checkedString(text, "TTYPE" + std::to_string(n)) == "COMPRESSED_DATA")
                compressed = arrays.size();
            arrays.emplace_back(at, *field);
        }
        at += field->bytes;
    }
    if (!compressed) return "its compressed image's table has no COMPRESSED_DATA column";
    image.heapStart = tableStart + *heapStart;
    image.tiles.clear();
    if (at != *rowBytes) return "its compressed image's table rows are not NAXIS1 bytes long";
    for (std::int64_t row = 0; row < tableBytes; row += *rowBytes) {
        for (std::size_t a = 0; a < arrays.size(); ++a) {
            const auto& [place, field] = arrays[a];
            const auto first = static_cast<std::size_t>(row + place);
            const int width = field.descriptor / 2;
            const std::int64_t count = bigEndian(rows, first, width);
            const std::int64_t offset = bigEndian(rows, first + width, width);
            if (count < 0 || offset < 0 || count > heapEnd / field.element ||
                offset > heapEnd - count * field.element)
                return bad;
            if (a == *compressed) image.tiles.push_back({count * field.element, offset});
        }
    }
    return {};
}

TileHeaderCheck checkTileHeader(std::string_view text, std::int64_t bytesAfterHeader,
                                std::int64_t maxPixels) {
    TileHeaderCheck check;
    TileImage& image = check.image;
    const auto fail = [&](std::string why) {
        check.problem = std::move(why);
        return check;
    };
    if (std::string p = nameProblem(text); !p.empty()) return fail(p);
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
    static constexpr std::array<std::string_view, 4> kMethods = {"RICE_1", "RICE_ONE", "GZIP_1",
                                                                 "GZIP_2"};
    // The library compares the method's name as written.
    const std::optional<std::string> method = checkedString(text, "ZCMPTYPE", true);
    if (!method || std::find(kMethods.begin(), kMethods.end(), *method) == kMethods.end())
        return fail("its compressed image uses a compression the program does not read");
    image.method = *method;
    if (std::string p = parameterProblem(text, image); !p.empty()) return fail(p);
    // The dither seed indexes a table of 10000 random values.
    if (!checkedWhole(text, "ZDITHER0", 0, 10000, 0))
        return fail("its compressed image has no valid ZDITHER0");
    if (std::string p = tableProblem(text, image, bytesAfterHeader); !p.empty()) return fail(p);
    image.header = imageHeader(text, image);
    return check;
}

}  // namespace orvel
