// Reading a FITS primary header: finding its end block by block and taking the keywords the
// measurement needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fits/image_header.h"

namespace orvel {

constexpr int kFitsBlockBytes = 2880;  // bytes in one FITS header or data block
constexpr int kFitsCardBytes = 80;     // characters in one header card
constexpr int kFitsCardsPerBlock = kFitsBlockBytes / kFitsCardBytes;  // 36 cards per block

// The header blocks of one file as read from its start.
struct HeaderScan {
    std::string text;       // every block read, end block included, bytes as they stand
    bool endFound = false;  // the end card ("END", then blanks) was met before the end of the file
    int cardCount = 0;      // 36 x blocks read (a short last block at end of file counts too)
};

// Appends one block (2880 bytes, or fewer at the end of the file) to the scan and says whether
// it held the end card, i.e. whether the header is complete. The end card is "END" with blanks
// in columns 4 to 80 (in those of them that a block cut short by the end of the file holds):
// "ENDTIME = ..." is not one.
bool addHeaderBlock(HeaderScan& scan, std::string_view block);

// Scans the first bytes of a file block by block; stops at the block holding the end card or
// at the end of the bytes (endFound stays false then).
HeaderScan scanHeaderBlocks(std::string_view fileStart);

// Card j (from 1) of a header text, cut short or empty where the text ends.
std::string_view headerCard(std::string_view text, int j);

// The text a card's number is read from: columns 11 up to the "/" that starts the comment
// (or to the end of the card), so a value right-aligned to column 30 and one written anywhere
// after column 10 read alike.
std::string_view cardValueField(std::string_view card);

// The string value of a card: the opening quote is the first character after column 10 that is
// not a blank; two quotes inside stand for one; trailing blanks are dropped. Empty when the value
// is not a string. A string that the card ends before closing runs to the end of the card.
std::string cardString(std::string_view card);

// The header values from the BITPIX, NAXIS1 (+ next card), BSCALE, BZERO, DATE-OBS (with TIME-OBS
// for a date alone), EXPTIME, NAXIS3, IMAGETYP and SATURATE cards (defaults for those missing),
// with card count and data start. Works on whatever text the scan holds, end card or not.
//
// The first six are found as the first card that begins with the keyword; TIME-OBS, NAXIS3,
// IMAGETYP and SATURATE only in the form of a value card, the name blank-padded to 8 columns
// and "= " after it, and NAXIS3 and SATURATE only with a number for their value.
ImageHeader parseHeader(const HeaderScan& scan);

// The string value of the first value card of the keyword (name padded to 8 columns, "= "
// after it); empty when the header has none.
std::string keywordString(std::string_view headerText, std::string_view keyword);

// The whole first value card of the keyword, comment included; empty when there is none.
std::string_view keywordCard(std::string_view headerText, std::string_view keyword);

// The number of the first value card of the keyword; empty when there is none or its value
// does not begin with a number.
std::optional<double> keywordNumber(std::string_view headerText, std::string_view keyword);

// The observation time as capture programs write it, where the parsed DATE-OBS gave none: a
// DATE-OBS of the legacy form 'DD/MM/YY' (years 50 to 99 taken as 19YY, the others as 20YY)
// with TIME-OBS, or, without DATE-OBS, MJD-OBS.
void readWriterTime(std::string_view headerText, ImageHeader& header);

}  // namespace orvel
