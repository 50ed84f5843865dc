// Building FITS files: header cards in the fixed layout, the blank-padded header with its end
// card, and big-endian data samples. Used by the night simulator and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

// A card: keyword in columns 1-8, "= " in 9-10, then the value as given (a quoted string starts
// in column 11, anything else is right-aligned to end in column 30), then " / comment" when a
// comment is given; blank-padded (or cut) to 80 characters.
std::string fitsCard(std::string_view keyword, std::string_view value,
                     std::string_view comment = {});
std::string fitsIntCard(std::string_view keyword, long long value, std::string_view comment = {});
// A real value with up to 15 significant digits, always with a decimal point, exponent as "E".
std::string fitsRealCard(std::string_view keyword, double value, std::string_view comment = {});
// A string value in quotes (inner quotes doubled, padded to at least 8 characters).
std::string fitsStringCard(std::string_view keyword, std::string_view value,
                           std::string_view comment = {});
std::string fitsLogicalCard(std::string_view keyword, bool value, std::string_view comment = {});
// A card in free format: keyword in columns 1-8, "= " in 9-10, the value as given starting in
// card column `column` (11 to 80; a column before 11 counts as 11), then " / comment" when a
// comment is given; blank-padded (or cut) to 80 characters.
std::string fitsFreeCard(std::string_view keyword, std::string_view value, int column,
                         std::string_view comment = {});
// Any text as a card of its own (COMMENT lines, or deliberately odd cards), padded to 80.
std::string fitsTextCard(std::string_view text);

// The cards of a simple primary image: SIMPLE, BITPIX, NAXIS = 2, NAXIS1, NAXIS2.
std::vector<std::string> fitsImageCards(int bitpix, int columns, int rows);

// The cards, then the END card, blank-padded to a whole number of 2880-byte blocks.
std::string fitsHeader(const std::vector<std::string>& cards);

// Zero bytes that complete a data array of the given length to whole 2880-byte blocks.
std::int64_t fitsDataPadding(std::int64_t dataBytes);

// Writes n values as big-endian samples of the BITPIX format: sample = (value - bzero) / bscale,
// rounded half to even and limited to the type's range for the integer formats (NaN gives 0).
// out must hold n x bytes-per-sample bytes; an unknown BITPIX writes nothing.
void encodeSamples(const double* values, std::int64_t n, int bitpix, double bscale, double bzero,
                   unsigned char* out);
// The same into a string (no block padding).
std::string encodeSamples(const std::vector<double>& values, int bitpix, double bscale = 1.0,
                          double bzero = 0.0);

// A whole file: header from the cards, then the data padded to whole blocks.
std::string fitsFileBytes(const std::vector<std::string>& cards, std::string_view data);

}  // namespace orvel
