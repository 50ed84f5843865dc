// The header of a tile-compressed image (an image stored as a binary table of compressed tiles),
// checked card by card before the FITS library is given it: the library divides by tile sizes
// and block sizes and allocates what the header claims.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvel {

// Pixels a compressed frame may claim before any frame of the night has set the size: the
// largest astronomical sensors made hold about 150 million.
constexpr std::int64_t kMaxCompressedPixels = 200'000'000;

struct TileImage {
    int bitpix = 0;                             // ZBITPIX: the image's sample format
    int axes = 0;                               // ZNAXIS: 1 to 3
    std::array<std::int64_t, 3> size{1, 1, 1};  // ZNAXISn: pixels along each axis (1 beyond axes)
    std::array<std::int64_t, 3> tile{1, 1, 1};  // ZTILEn: a tile's pixels along each axis
    std::string header;  // the image's own header as a plain primary holds it: whole blocks
};

struct TileHeaderCheck {
    TileImage image;      // valid when problem is empty
    std::string problem;  // why the file is not used ("its compressed image ..."), or empty
};

// Checks the table header `text` of a tile-compressed image: an image is there (ZIMAGE = T,
// ZNAXIS 1 to 3, every ZNAXISn > 0, at most `maxPixels`), tiles and compression parameters are
// positive and within the image, the compression is one the program reads, and the table and
// its heap lie within the `bytesAfterHeader` the file holds. Every card of each keyword is
// checked, since a reader may take any of them.
TileHeaderCheck checkTileHeader(std::string_view text, std::int64_t bytesAfterHeader,
                                std::int64_t maxPixels);

}  // namespace orvel
