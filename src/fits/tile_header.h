// The header of a tile-compressed image (an image stored as a binary table of compressed tiles),
// checked card by card before the FITS library is given it: the library divides by tile sizes
// and block sizes and allocates what the header claims.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

// Pixels a compressed frame may claim before any frame of the night has set the size: the
// largest astronomical sensors made hold about 150 million.
constexpr std::int64_t kMaxCompressedPixels = 200'000'000;

// Where one tile's compressed bytes lie in the table's heap.
struct CompressedTile {
    std::int64_t bytes = 0;   // length (0: the tile is kept in another column)
    std::int64_t offset = 0;  // from the heap's start
};

struct TileImage {
    int bitpix = 0;                             // ZBITPIX: the image's sample format
    int axes = 0;                               // ZNAXIS: 1 to 3
    std::array<std::int64_t, 3> size{1, 1, 1};  // ZNAXISn: pixels along each axis (1 beyond axes)
    std::array<std::int64_t, 3> tile{1, 1, 1};  // ZTILEn: a tile's pixels along each axis
    std::string header;          // the image's own header as a plain primary holds it: whole blocks
    std::string method;          // ZCMPTYPE, upper case: RICE_1 (or RICE_ONE), GZIP_1 or GZIP_2
    int riceBlock = 32;          // RICE_1: pixels per block (ZVAL1)
    int riceBytes = 4;           // RICE_1: bytes per coded pixel (ZVAL2, 4 when absent)
    std::int64_t heapStart = 0;  // the heap's offset in the file (set by readTileTable)
    std::vector<CompressedTile> tiles;  // each tile's COMPRESSED_DATA bytes, in tile order
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

// Checks the rows of that table (`rows`: its NAXIS1 x NAXIS2 bytes as the file holds them, the
// table starting at byte `tableStart` of the file): every variable-length array a row points to
// (the compressed bytes of a tile, its scaling) lies within the heap, so that no tile makes the
// library allocate or read more than the file holds; and keeps where each tile's compressed
// bytes lie. Empty when all is well; otherwise why the file is not used.
std::string readTileTable(std::string_view text, std::string_view rows, std::int64_t tableStart,
                          TileImage& image);

// Bytes of the table's rows (NAXIS1 x NAXIS2) of a header checkTileHeader accepted.
std::int64_t tileTableBytes(std::string_view text);

}  // namespace orvel
