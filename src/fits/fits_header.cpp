#include "fits/fits_header.h"

#include <cstddef>

#include "base/typed_line.h"
#include "base/numeric.h"

namespace orvel {

namespace {

// Whether a card's first characters equal the keyword over exactly the keyword's length.
bool cardStartsWith(std::string_view card, std::string_view keyword) {
    return card.substr(0, keyword.size()) == keyword;
}

// The first card (from 1) that begins with the keyword, or 0 when none does.
int findCard(std::string_view text, int cardCount, std::string_view keyword) {
    for (int j = 1; j <= cardCount; ++j) {
        if (cardStartsWith(headerCard(text, j), keyword)) return j;
    }
    return 0;
}

// The number at the start of the value field of card j.
double cardNumber(std::string_view text, int j) {
    return numericValue(cardValueField(headerCard(text, j)));
}

// Characters first..last (from 1) of a value field, as a whole number.
int fixedField(std::string_view value, std::size_t first, std::size_t last) {
    if (first > value.size()) return 0;
    return toInt(numericValue(value.substr(first - 1, last - first + 1)));
}

void scanBitpix(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "BITPIX");
    if (j == 0) return;
    header.hasBitpix = true;
    header.bitpix = toInt(cardNumber(text, j));
}

void scanNaxis1(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "NAXIS1");
    if (j == 0) return;
    // The rows come from the card after NAXIS1 whatever it is called (normally NAXIS2).
    header.hasSize = true;
    header.columns = toInt(cardNumber(text, j));
    header.rows = toInt(cardNumber(text, j + 1));
}

void scanBscale(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "BSCALE");
    if (j == 0) return;
    header.hasBscale = true;
    header.bscale = f32(cardNumber(text, j));
}

void scanBzero(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "BZERO");
    if (j == 0) return;
    header.hasBzero = true;
    header.bzero = f32(cardNumber(text, j));
}

void scanDateObs(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "DATE-OBS");
    if (j == 0) return;
    // 'YYYY-MM-DDThh:mm:ss' sits at fixed places after the opening quote; a fraction of a
    // second lies beyond the field and is not read.
    const std::string_view value = cardValueField(headerCard(text, j));
    header.hasDate = true;
    header.year = fixedField(value, 2, 5);
    header.month = fixedField(value, 7, 8);
    header.day = fixedField(value, 10, 11);
    header.hour = fixedField(value, 13, 14);
    header.minute = fixedField(value, 16, 17);
    header.second = fixedField(value, 19, 20);
    header.hasTimeOfDay = value.size() > 11 && (value[11] == 'T' || value[11] == 't');
}

void scanExptime(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "EXPTIME");
    if (j == 0) return;
    header.hasExposure = true;
    header.exposure = f32(cardNumber(text, j));
}

}  // namespace

bool addHeaderBlock(HeaderScan& scan, std::string_view block) {
    scan.cardCount += kFitsCardsPerBlock;
    scan.text.append(block);
    for (std::size_t at = 0; at < block.size(); at += kFitsCardBytes) {
        if (block.substr(at, 3) == "END") {
            scan.endFound = true;
            break;
        }
    }
    return scan.endFound;
}

HeaderScan scanHeaderBlocks(std::string_view fileStart) {
    HeaderScan scan;
    // Blocks are taken one after the other until one holds the end card or the bytes run out.
    for (std::size_t at = 0; at < fileStart.size(); at += kFitsBlockBytes) {
        if (addHeaderBlock(scan, fileStart.substr(at, kFitsBlockBytes))) break;
    }
    return scan;
}

std::string_view headerCard(std::string_view text, int j) {
    if (j < 1) return {};
    const std::size_t start = static_cast<std::size_t>(j - 1) * kFitsCardBytes;
    if (start >= text.size()) return {};
    return text.substr(start, kFitsCardBytes);
}

std::string_view cardValueField(std::string_view card) {
    if (card.size() <= 10) return {};
    return card.substr(10, 20);
}

ImageHeader parseHeader(const HeaderScan& scan) {
    // Every file starts from the defaults, so a keyword missing here never inherits the
    // previous file's value.
    ImageHeader header;
    const std::string_view text = scan.text;
    const int cards = scan.cardCount;
    scanBitpix(text, cards, header);
    scanNaxis1(text, cards, header);
    scanBscale(text, cards, header);
    scanBzero(text, cards, header);
    scanDateObs(text, cards, header);
    scanExptime(text, cards, header);
    header.cardCount = scan.cardCount;
    // The pixel data begin with the block after the last header block.
    header.dataStart = static_cast<std::int64_t>(kFitsCardBytes) * scan.cardCount + 1;
    return header;
}

}  // namespace orvel
