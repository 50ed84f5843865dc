// Reading a FITS primary header: finding its end block by block and taking the six keywords
// the measurement needs.
#pragma once

#include <cstdint>
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
    bool endFound = false;  // a card starting with "END" was met before the end of the file
    int cardCount = 0;      // 36 x blocks read (a short last block at end of file counts too)
};

// Appends one block (2880 bytes, or fewer at the end of the file) to the scan and says whether
// it held the end card, i.e. whether the header is complete.
bool addHeaderBlock(HeaderScan& scan, std::string_view block);

// Scans the first bytes of a file block by block; stops at the block holding the end card or
// at the end of the bytes (endFound stays false then).
HeaderScan scanHeaderBlocks(std::string_view fileStart);

// Card j (from 1) of a header text, cut short or empty where the text ends.
std::string_view headerCard(std::string_view text, int j);

// The 20-character value field of a card: card columns 11 to 30.
std::string_view cardValueField(std::string_view card);

// The header values from the BITPIX, NAXIS1 (+ next card), BSCALE, BZERO, DATE-OBS and EXPTIME
// cards (defaults for those missing), with card count and data start. Works on whatever text
// the scan holds, end card or not.
ImageHeader parseHeader(const HeaderScan& scan);

}  // namespace orvel
