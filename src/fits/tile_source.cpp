#include "fits/tile_source.h"

#include <fitsio.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "fits/pixel_decoder.h"
#include "fits/rice_check.h"

namespace orvel {

namespace {

// The library's sample type that holds one stored sample of the BITPIX unchanged.
int storedType(int bitpix) {
    switch (bitpix) {
        case 8:
            return TBYTE;
        case 16:
            return TSHORT;
        case 32:
            return TINT;
        case 64:
            return TLONGLONG;
        case -32:
            return TFLOAT;
        default:
            return TDOUBLE;
    }
}

std::string libraryProblem(int status) {
    std::array<char, FLEN_STATUS> text{};
    ffgerr(status, text.data());
    return std::string("its compressed image cannot be decompressed (") + text.data() + ")";
}

fitsfile* handle(void* f) {
    return static_cast<fitsfile*>(f);
}

}  // namespace

TileSource::TileSource(std::filesystem::path path, int hdu, TileImage image, FitsFile file)
    : path_(std::filesystem::absolute(path)),
      file_(std::move(file)),
      hdu_(hdu),
      image_(std::move(image)) {
    lineBytes_ = image_.size[0] * bytesPerSample(image_.bitpix);
    lines_ = image_.size[1] * image_.size[2];
}

TileSource::~TileSource() {
    int ignored = 0;
    if (fits_ != nullptr) ffclos(handle(fits_), &ignored);
}

std::int64_t TileSource::size() const {
    return static_cast<std::int64_t>(image_.header.size()) + lines_ * lineBytes_;
}

std::string TileSource::problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

std::size_t TileSource::readAt(std::int64_t offset, void* buf, std::size_t n) {
    std::lock_guard lock(mutex_);
    const std::int64_t total = size();
    if (offset < 0 || offset >= total) return 0;
    const std::int64_t end = std::min<std::int64_t>(total, offset + static_cast<std::int64_t>(n));
    auto* out = static_cast<unsigned char*>(buf);
    const auto headerBytes = static_cast<std::int64_t>(image_.header.size());
    std::int64_t at = offset;
    // The header as rebuilt, then the rows, made when first reached.
    if (at < headerBytes) {
        const std::int64_t k = std::min(end, headerBytes) - at;
        std::memcpy(out, image_.header.data() + at, static_cast<std::size_t>(k));
        at += k;
    }
    if (at < end) {
        const std::int64_t first = (at - headerBytes) / lineBytes_;
        const std::int64_t last = (end - 1 - headerBytes) / lineBytes_;
        if (!makeLines(first, last)) return static_cast<std::size_t>(at - offset);
        std::memcpy(out + (at - offset), data_.get() + (at - headerBytes),
                    static_cast<std::size_t>(end - at));
        at = end;
    }
    return static_cast<std::size_t>(at - offset);
}

// The library's handle on the table's HDU: the file opened by its path as a plain disk file,
// no part of the name read as the library's file-name syntax.
bool TileSource::openLibraryFile() {
    if (fits_ != nullptr) return true;
    fitsfile* f = nullptr;
    int status = 0;
    int type = 0;
    if (ffdkopn(&f, path_.c_str(), READONLY, &status) == 0) ffmahd(f, hdu_, &type, &status);
    // Samples as stored: BSCALE and BZERO are applied later, by the decoder of plain files.
    if (status == 0) ffpscl(f, 1.0, 0.0, &status);
    if (status != 0) {
        problem_ = libraryProblem(status);
        int ignored = 0;
        if (f != nullptr) ffclos(f, &ignored);
        return false;
    }
    fits_ = f;
    return true;
}

// Rows first..last of the data made, whole tile rows at a time so that no tile is
// decompressed twice for one read.
bool TileSource::makeLines(std::int64_t first, std::int64_t last) {
    if (!problem_.empty()) return false;
    try {
        if (!data_) {
            data_ = std::make_unique_for_overwrite<unsigned char[]>(
                static_cast<std::size_t>(lines_ * lineBytes_));
            made_.assign(static_cast<std::size_t>(lines_), false);
        }
        const std::int64_t rows = image_.size[1], band = image_.tile[1];
        std::int64_t line = first;
        while (line <= last) {
            if (made_[static_cast<std::size_t>(line)]) {
                ++line;
                continue;
            }
            // The rows not yet made from here on, within the read and the row's plane, widened
            // to whole tile rows.
            const std::int64_t plane = line / rows, planeEnd = (plane + 1) * rows;
            std::int64_t stop = line;
            while (stop <= last && stop < planeEnd && !made_[static_cast<std::size_t>(stop)])
                ++stop;
            const std::int64_t from = plane * rows + (line - plane * rows) / band * band;
            const std::int64_t to =
                std::min(planeEnd, plane * rows + ((stop - 1 - plane * rows) / band + 1) * band);
            if (!decompressLines(from, to - from)) return false;
            line = to;
        }
        return true;
    } catch (const std::bad_alloc&) {
        problem_ = "there is not enough memory to decompress it";
        return false;
    }
}

// Whether tile `tile` (in the table's order) can be handed to the library: a Rice-coded one
// must decode within its bytes.
bool TileSource::tileDecodable(std::int64_t tile) {
    const auto t = static_cast<std::size_t>(tile);
    if (checked_[t]) return true;
    const CompressedTile& code = image_.tiles[t];
    if (code.bytes > 0 && (image_.method == "RICE_1" || image_.method == "RICE_ONE")) {
        // The tile's pixels: whole tiles, or what is left at the image's far edges.
        const auto& size = image_.size;
        const auto& step = image_.tile;
        const std::int64_t across = (size[0] + step[0] - 1) / step[0];
        const std::int64_t down = (size[1] + step[1] - 1) / step[1];
        const std::array<std::int64_t, 3> at = {tile % across, tile / across % down,
                                                tile / across / down};
        std::int64_t pixels = 1;
        for (std::size_t i = 0; i < 3; ++i) pixels *= std::min(step[i], size[i] - at[i] * step[i]);
        std::string bytes(static_cast<std::size_t>(code.bytes), '\0');
        if (file_.readAt(image_.heapStart + code.offset, bytes.data(), bytes.size()) !=
                bytes.size() ||
            !riceTileFits(bytes, pixels, image_.riceBlock, image_.riceBytes)) {
            problem_ = "its compressed image's tile " + std::to_string(tile + 1) + " is damaged";
            return false;
        }
    }
    checked_[t] = true;
    return true;
}

// Every tile that holds rows first..first + count - 1 (of one plane) checked.
bool TileSource::tilesDecodable(std::int64_t first, std::int64_t count) {
    const auto& size = image_.size;
    const auto& step = image_.tile;
    if (checked_.empty()) checked_.assign(image_.tiles.size(), false);
    const std::int64_t across = (size[0] + step[0] - 1) / step[0];
    const std::int64_t down = (size[1] + step[1] - 1) / step[1];
    const std::int64_t plane = first / size[1], row = first % size[1];
    const std::int64_t layer = plane / step[2];
    for (std::int64_t band = row / step[1]; band <= (row + count - 1) / step[1]; ++band)
        for (std::int64_t column = 0; column < across; ++column) {
            const std::int64_t tile = column + across * (band + down * layer);
            if (tile >= static_cast<std::int64_t>(image_.tiles.size()) || !tileDecodable(tile))
                return false;
        }
    return true;
}

// Rows first..first + count - 1 decompressed and stored big-endian in data_.
bool TileSource::decompressLines(std::int64_t first, std::int64_t count) {
    if (!tilesDecodable(first, count) || !openLibraryFile()) return false;
    const int width = bytesPerSample(image_.bitpix);
    const std::int64_t samples = count * image_.size[0];
    native_.resize(static_cast<std::size_t>(samples * width));
    int status = 0, anyNull = 0;
    ffgpv(handle(fits_), storedType(image_.bitpix), first * image_.size[0] + 1, samples, nullptr,
          native_.data(), &anyNull, &status);
    if (status != 0) {
        problem_ = libraryProblem(status);
        return false;
    }
    unsigned char* out = data_.get() + first * lineBytes_;
    std::memcpy(out, native_.data(), native_.size());
    // FITS stores samples most significant byte first.
    if constexpr (std::endian::native == std::endian::little)
        for (std::size_t at = 0; at < native_.size(); at += static_cast<std::size_t>(width))
            std::reverse(out + at, out + at + width);
    std::fill(made_.begin() + first, made_.begin() + first + count, true);
    return true;
}

}  // namespace orvel
