#include "fits/fits_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"
#include "fits/sample_format.h"

namespace orvel {

namespace {

constexpr std::size_t kValueEnd = 30;  // card column where a right-aligned value ends

// A card cut or padded with blanks to its 80 bytes. Not inlined: GCC 12 at -O2 and above
// warns falsely about the resize of a string it has followed through the card's building.
[[gnu::noinline]] std::string padCard(std::string card) {
    card.resize(kFitsCardBytes, ' ');
    return card;
}

// Integer samples are rounded half to even and held inside the type's range.
template <typename Value>
Value toSample(double s) {
    if constexpr (std::is_floating_point_v<Value>) {
        return static_cast<Value>(s);
    } else {
        if (std::isnan(s)) return 0;
        const double r = std::nearbyint(s);
        const double lo = std::numeric_limits<Value>::min();
        const double hi = std::numeric_limits<Value>::max();
        return static_cast<Value>(std::clamp(r, lo, hi));
    }
}

template <typename Word, typename Value>
void encodeRun(const double* values, std::int64_t n, double scale, double zero,
               unsigned char* out) {
    for (std::int64_t i = 0; i < n; ++i) {
        const Word w =
            swapBigEndian(std::bit_cast<Word>(toSample<Value>((values[i] - zero) / scale)));
        std::memcpy(out + i * static_cast<std::int64_t>(sizeof(Word)), &w, sizeof(Word));
    }
}

}  // namespace

std::string fitsCard(std::string_view keyword, std::string_view value, std::string_view comment) {
    std::string card(keyword.substr(0, 8));
    card.resize(8, ' ');
    card += "= ";
    if (!value.empty() && value.front() == '\'') {
        card += value;
    } else {
        // Numbers and logicals end in column 30, the fixed format readers expect.
        const std::size_t width = kValueEnd - card.size();
        if (value.size() < width) card.append(width - value.size(), ' ');
        card += value;
    }
    if (!comment.empty()) {
        card += " / ";
        card += comment;
    }
    return padCard(std::move(card));
}

std::string fitsIntCard(std::string_view keyword, long long value, std::string_view comment) {
    return fitsCard(keyword, std::to_string(value), comment);
}

std::string fitsRealCard(std::string_view keyword, double value, std::string_view comment) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string text = buf;
    // A FITS real carries a decimal point, which tells it from an integer.
    if (std::isfinite(value) && text.find('.') == std::string::npos) {
        const std::size_t e = text.find('E');
        const std::size_t at = e == std::string::npos ? text.size() : e;
        text = text.substr(0, at) + '.' + text.substr(at);
    }
    return fitsCard(keyword, text, comment);
}

std::string fitsStringCard(std::string_view keyword, std::string_view value,
                           std::string_view comment) {
    std::string quoted = "'";
    for (const char c : value) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    // The standard asks for at least eight characters between the quotes.
    if (quoted.size() < 9) quoted.resize(9, ' ');
    quoted += '\'';
    return fitsCard(keyword, quoted, comment);
}

std::string fitsLogicalCard(std::string_view keyword, bool value, std::string_view comment) {
    return fitsCard(keyword, value ? "T" : "F", comment);
}

std::string fitsFreeCard(std::string_view keyword, std::string_view value, int column,
                         std::string_view comment) {
    std::string card(keyword.substr(0, 8));
    card.resize(8, ' ');
    card += "= ";
    // Blanks up to the column before the value's first character.
    if (column > static_cast<int>(card.size()) + 1)
        card.append(static_cast<std::size_t>(column - 1) - card.size(), ' ');
    card += value;
    if (!comment.empty()) {
        card += " / ";
        card += comment;
    }
    return padCard(std::move(card));
}

std::string fitsTextCard(std::string_view text) {
    return padCard(std::string(text));
}

std::vector<std::string> fitsImageCards(int bitpix, int columns, int rows) {
    return {fitsLogicalCard("SIMPLE", true), fitsIntCard("BITPIX", bitpix), fitsIntCard("NAXIS", 2),
            fitsIntCard("NAXIS1", columns), fitsIntCard("NAXIS2", rows)};
}

std::string fitsHeader(const std::vector<std::string>& cards) {
    std::string header;
    for (const std::string& card : cards) header += padCard(card);
    header += fitsTextCard("END");
    const std::size_t blocks = (header.size() + kFitsBlockBytes - 1) / kFitsBlockBytes;
    header.resize(blocks * kFitsBlockBytes, ' ');
    return header;
}

std::int64_t fitsDataPadding(std::int64_t dataBytes) {
    const std::int64_t rest = dataBytes % kFitsBlockBytes;
    return rest == 0 ? 0 : kFitsBlockBytes - rest;
}

void encodeSamples(const double* values, std::int64_t n, int bitpix, double bscale, double bzero,
                   unsigned char* out) {
    withSampleFormat(bitpix, [&]<typename Format>(Format) {
        encodeRun<typename Format::Word, typename Format::Value>(values, n, bscale, bzero, out);
    });
}

std::string encodeSamples(const std::vector<double>& values, int bitpix, double bscale,
                          double bzero) {
    std::string bytes(values.size() * static_cast<std::size_t>(bytesPerSample(bitpix)), '\0');
    encodeSamples(values.data(), static_cast<std::int64_t>(values.size()), bitpix, bscale, bzero,
                  reinterpret_cast<unsigned char*>(bytes.data()));
    return bytes;
}

std::string fitsFileBytes(const std::vector<std::string>& cards, std::string_view data) {
    std::string file = fitsHeader(cards);
    file += data;
    file.append(static_cast<std::size_t>(fitsDataPadding(static_cast<std::int64_t>(data.size()))),
                '\0');
    return file;
}

}  // namespace orvel
