#include "fits/fits_header.h"

#include <cmath>
#include <cstddef>
#include <optional>

#include "base/numeric.h"
#include "base/typed_line.h"
#include "fits/header_place.h"
#include "fits/header_time.h"

namespace orvel {

namespace {

constexpr std::size_t kKeywordColumns = 8;  // a keyword's name fills card columns 1 to 8
constexpr std::size_t kValueStart = 10;     // 0-based place of card column 11, where values begin
constexpr std::size_t kDateLength = 10;     // 'YYYY-MM-DD': anything longer holds a time of day
constexpr double kLargestGain = 20.0;       // electrons per ADU beyond which a GAIN is a setting

// How a keyword is told in a card: by its first characters (the six keywords read since the
// beginning), or in the form the FITS standard writes a value card: the name blank-padded over
// columns 1 to 8, then "= " in columns 9 and 10.
enum class KeywordForm { leading, valueCard };

bool cardHasKeyword(std::string_view card, std::string_view keyword, KeywordForm form) {
    if (card.substr(0, keyword.size()) != keyword) return false;
    if (form == KeywordForm::leading) return true;
    if (card.size() < kValueStart || card.substr(kKeywordColumns, 2) != "= ") return false;
    const std::string_view rest = card.substr(keyword.size(), kKeywordColumns - keyword.size());
    return rest.find_first_not_of(' ') == std::string_view::npos;
}

// The first card (from 1) that holds the keyword, or 0 when none does.
int findCard(std::string_view text, int cardCount, std::string_view keyword,
             KeywordForm form = KeywordForm::leading) {
    for (int j = 1; j <= cardCount; ++j) {
        if (cardHasKeyword(headerCard(text, j), keyword, form)) return j;
    }
    return 0;
}

// The number at the start of the value of card j.
double cardNumber(std::string_view text, int j) {
    return numericValue(cardValueField(headerCard(text, j)));
}

// The number of the first value card of the keyword; empty when there is no such card or its
// value does not begin with a number.
std::optional<double> valueCardNumber(std::string_view text, int cardCount,
                                      std::string_view keyword) {
    const int j = findCard(text, cardCount, keyword, KeywordForm::valueCard);
    if (j == 0) return std::nullopt;
    const LeadingNumber n = leadingNumber(cardValueField(headerCard(text, j)));
    if (n.length == 0) return std::nullopt;
    return n.value;
}

// The string value of the first value card of the keyword (empty when there is none).
std::string valueCardString(std::string_view text, int cardCount, std::string_view keyword) {
    const int j = findCard(text, cardCount, keyword, KeywordForm::valueCard);
    return j == 0 ? std::string() : cardString(headerCard(text, j));
}

// Characters first..last (from 1) of a text, as a whole number.
int fixedField(std::string_view value, std::size_t first, std::size_t last) {
    if (first > value.size()) return 0;
    return toInt(numericValue(value.substr(first - 1, last - first + 1)));
}

// 'hh:mm:ss' from character `first` of a text on; a fraction of a second is not read.
void readTimeOfDay(std::string_view value, std::size_t first, ImageHeader& header) {
    header.hasTimeOfDay = true;
    header.hour = fixedField(value, first, first + 1);
    header.minute = fixedField(value, first + 3, first + 4);
    header.second = fixedField(value, first + 6, first + 7);
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
    // 'YYYY-MM-DDThh:mm:ss' sits at fixed places in the string; separators are not checked and
    // a fraction of a second is not read.
    const std::string date = cardString(headerCard(text, j));
    header.hasDate = true;
    header.year = fixedField(date, 1, 4);
    header.month = fixedField(date, 6, 7);
    header.day = fixedField(date, 9, 10);
    if (date.size() > kDateLength) {
        readTimeOfDay(date, 12, header);
        return;
    }
    // A date alone: the time of day is in TIME-OBS, 'hh:mm:ss', when the header has one.
    const std::string time = valueCardString(text, cards, "TIME-OBS");
    if (!time.empty()) readTimeOfDay(time, 1, header);
}

void scanExptime(std::string_view text, int cards, ImageHeader& header) {
    const int j = findCard(text, cards, "EXPTIME");
    if (j != 0) {
        header.hasExposure = true;
        header.exposure = f32(cardNumber(text, j));
        return;
    }
    // Some capture programs write the exposure under EXPOSURE alone.
    if (const std::optional<double> seconds = valueCardNumber(text, cards, "EXPOSURE")) {
        header.hasExposure = true;
        header.exposure = f32(*seconds);
    }
}

// The detector's gain and read noise, which set the noise of a measured signal.
void scanDetector(std::string_view text, int cards, ImageHeader& header) {
    // EGAIN is electrons per ADU; GAIN is that only in some programs, the camera's own setting
    // (80, 0 to 600) in most: it serves without EGAIN where it is plausible as electrons per ADU.
    std::optional<double> gain = valueCardNumber(text, cards, "EGAIN");
    if (!gain) {
        gain = valueCardNumber(text, cards, "GAIN");
        if (gain && *gain > kLargestGain) {
            header.gainSetting = *gain;
            gain.reset();
        }
    }
    // A gain of 0 or less, or a negative noise, cannot describe a detector: it is not used.
    if (gain && *gain > 0.0 && std::isfinite(*gain)) header.gain = *gain;
    if (const std::optional<double> noise = valueCardNumber(text, cards, "RDNOISE");
        noise && *noise >= 0.0 && std::isfinite(*noise))
        header.readNoise = *noise;
}

// The keywords that say what kind of image the frame holds and where it saturates.
void scanImageKind(std::string_view text, int cards, ImageHeader& header) {
    if (const std::optional<double> planes = valueCardNumber(text, cards, "NAXIS3"))
        header.planes = toInt(*planes);
    header.imageType = valueCardString(text, cards, "IMAGETYP");
    if (const std::optional<double> level = valueCardNumber(text, cards, "SATURATE")) {
        header.hasSaturate = true;
        header.saturate = f32(*level);
    }
}

// The end card: "END" followed by blanks only (as far as the bytes reach).
bool isEndCard(std::string_view card) {
    return card.substr(0, 3) == "END" && card.find_first_not_of(' ', 3) == std::string_view::npos;
}

}  // namespace

bool addHeaderBlock(HeaderScan& scan, std::string_view block) {
    scan.cardCount += kFitsCardsPerBlock;
    scan.text.append(block);
    for (std::size_t at = 0; at < block.size(); at += kFitsCardBytes) {
        if (isEndCard(block.substr(at, kFitsCardBytes))) {
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
    if (card.size() <= kValueStart) return {};
    const std::string_view value = card.substr(kValueStart);
    // A value right-aligned to column 30 and one written anywhere after column 10 read alike.
    return value.substr(0, value.find('/'));
}

std::string cardString(std::string_view card) {
    if (card.size() <= kValueStart) return {};
    const std::size_t open = card.find_first_not_of(' ', kValueStart);
    if (open == std::string_view::npos || card[open] != '\'') return {};
    std::string value;
    for (std::size_t i = open + 1; i < card.size(); ++i) {
        if (card[i] == '\'') {
            // Two quotes stand for one; a single one closes the string.
            if (i + 1 == card.size() || card[i + 1] != '\'') break;
            ++i;
        }
        value += card[i];
    }
    // Trailing blanks are not part of a FITS string; leading ones are.
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

namespace {

int cardsIn(std::string_view text) {
    return static_cast<int>((text.size() + kFitsCardBytes - 1) / kFitsCardBytes);
}

// 'DD/MM/YY', the form DATE-OBS had before four-digit years.
bool isLegacyDate(std::string_view date) {
    if (date.size() != 8 || date[2] != '/' || date[5] != '/') return false;
    for (const std::size_t i : {0, 1, 3, 4, 6, 7})
        if (date[i] < '0' || date[i] > '9') return false;
    return true;
}

}  // namespace

std::string keywordString(std::string_view headerText, std::string_view keyword) {
    return valueCardString(headerText, cardsIn(headerText), keyword);
}

std::string_view keywordCard(std::string_view headerText, std::string_view keyword) {
    const int j = findCard(headerText, cardsIn(headerText), keyword, KeywordForm::valueCard);
    return j == 0 ? std::string_view() : headerCard(headerText, j);
}

std::optional<double> keywordNumber(std::string_view headerText, std::string_view keyword) {
    return valueCardNumber(headerText, cardsIn(headerText), keyword);
}

void readWriterTime(std::string_view headerText, ImageHeader& header) {
    const std::string date = keywordString(headerText, "DATE-OBS");
    if (isLegacyDate(date)) {
        const int yy = fixedField(date, 7, 8);
        header.year = yy >= 50 ? 1900 + yy : 2000 + yy;
        header.month = fixedField(date, 4, 5);
        header.day = fixedField(date, 1, 2);
        header.hasTimeOfDay = false;
        header.hour = header.minute = header.second = 0;
        const std::string time = keywordString(headerText, "TIME-OBS");
        if (!time.empty()) readTimeOfDay(time, 1, header);
        return;
    }
    if (header.hasDate) return;
    if (const std::optional<double> mjd = keywordNumber(headerText, "MJD-OBS"))
        setHeaderMoment(*mjd, header);
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
    scanImageKind(text, cards, header);
    scanDetector(text, cards, header);
    // The moment in UTC where DATE-OBS is missing or local (after the exposure, which
    // DATE-AVG and DATE-END need).
    readUtcMoment(text, header);
    // The telescope's altitude, which checks the site, the star and the times.
    const CardValue altitude = readHeaderPlace(text).altitude;
    if (altitude.known()) {
        header.telescopeAltitude = altitude.value;
        header.altitudeCard = altitude.card;
    }
    header.cardCount = scan.cardCount;
    // The pixel data begin with the block after the last header block.
    header.dataStart = static_cast<std::int64_t>(kFitsCardBytes) * scan.cardCount + 1;
    return header;
}

}  // namespace orvel
