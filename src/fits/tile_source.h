// The bytes of a tile-compressed frame: its image header, then its samples as FITS stores them
// (big-endian), each tile decompressed by the FITS library only when a read reaches its rows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fits/byte_source.h"
#include "fits/fits_file.h"
#include "fits/tile_header.h"

namespace orvel {

class TileSource : public ByteSource {
  public:
    // The image checked by checkTileHeader and readTileTable, stored in HDU `hdu` (from 1) of
    // the file at path, open as `file`.
    TileSource(std::filesystem::path path, int hdu, TileImage image, FitsFile file);
    ~TileSource() override;
    TileSource(const TileSource&) = delete;
    TileSource& operator=(const TileSource&) = delete;

    std::int64_t size() const override;
    std::size_t readAt(std::int64_t offset, void* buf, std::size_t n) override;
    std::string problem() const override;

  private:
    bool openLibraryFile();
    bool makeLines(std::int64_t first, std::int64_t last);
    bool decompressLines(std::int64_t first, std::int64_t count);
    bool tilesDecodable(std::int64_t first, std::int64_t count);
    bool tileDecodable(std::int64_t tile);

    std::filesystem::path path_;             // the compressed file
    FitsFile file_;                          // the same, for the tiles\' codes
    int hdu_ = 2;                            // the table's HDU number, from 1
    TileImage image_;                        // size, tiles and the rebuilt header
    std::int64_t lineBytes_ = 0;             // bytes of one image row
    std::int64_t lines_ = 0;                 // rows of every plane, in file order
    void* fits_ = nullptr;                   // the library's handle, opened on the first read
    std::unique_ptr<unsigned char[]> data_;  // the samples as stored, big-endian, made as read
    std::vector<bool> made_;                 // which rows data_ holds
    std::vector<bool> checked_;              // which tiles\' codes were found decodable
    std::vector<unsigned char> native_;      // one piece of samples as the library gives them
    std::string problem_;                    // why rows could not be made
    mutable std::mutex mutex_;
};

}  // namespace orvel
