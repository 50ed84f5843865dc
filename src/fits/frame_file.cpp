#include "fits/frame_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "base/typed_line.h"
#include "fits/gzip_source.h"
#include "fits/pixel_decoder.h"
#include "fits/tile_header.h"
#include "fits/tile_source.h"

namespace orvel {

namespace {

// Header bytes a gzip frame is inflated to before its header has told its size: some hundred
// thousand cards.
constexpr std::int64_t kMaxHeaderBytes = std::int64_t{8} << 20;

bool endsWith(const std::string& upperName, std::string_view suffix) {
    return upperName.size() >= suffix.size() &&
           std::string_view(upperName).substr(upperName.size() - suffix.size()) == suffix;
}

bool startsWithGzip(const FitsFile& file) {
    std::array<unsigned char, 2> magic{};
    return file.readAt(0, magic.data(), magic.size()) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

// The header of the extension right after a primary header that describes no data, when that
// extension is an image; a tile-compressed image says so by "compressed" instead.
enum class Extension { none, image, compressed };
Extension imageExtension(const HeaderScan& extension) {
    const std::string kind = upperCase(keywordString(extension.text, "XTENSION"));
    if (kind == "IMAGE") return Extension::image;
    const int j = [&] {
        for (int c = 1; c <= extension.cardCount; ++c)
            if (headerCard(extension.text, c).substr(0, 8) == "ZIMAGE  ") return c;
        return 0;
    }();
    if (kind == "BINTABLE" && j > 0) return Extension::compressed;
    return Extension::none;
}

// The tile-compressed image of the extension at `offset`, checked before the library reads it
// and then decompressed only where it is read.
void openTiles(const std::filesystem::path& path, const HeaderScan& table, std::int64_t offset,
               FrameFile& frame) {
    const std::int64_t after =
        frame.file.size() - offset - static_cast<std::int64_t>(table.text.size());
    TileHeaderCheck check = checkTileHeader(table.text, after, kMaxCompressedPixels);
    if (!check.problem.empty()) {
        frame.problem = std::move(check.problem);
        return;
    }
    // Every tile's compressed bytes within the heap, before the library reads any of them.
    const std::int64_t tableStart = offset + static_cast<std::int64_t>(table.text.size());
    std::string rows(static_cast<std::size_t>(tileTableBytes(table.text)), '\0');
    rows.resize(frame.file.readAt(tableStart, rows.data(), rows.size()));
    if (std::string p = readTileTable(table.text, rows, tableStart, check.image); !p.empty()) {
        frame.problem = std::move(p);
        return;
    }
    frame.scan.text = check.image.header;
    frame.scan.cardCount = static_cast<int>(frame.scan.text.size()) / kFitsCardBytes;
    frame.scan.endFound = true;
    frame.headerStart = 0;
    auto tiles =
        std::make_shared<TileSource>(path, 2, std::move(check.image), std::move(frame.file));
    frame.file.openSource(std::move(tiles));
}

// The image of the bytes frame.file holds: the primary, the image extension after an empty
// primary, or a tile-compressed image there (only in a file read from disk: `tiles`).
void locateImage(const std::filesystem::path& path, bool tiles, FrameFile& frame) {
    frame.scan = readHeaderBlocks(frame.file);
    // A primary without data (NAXIS = 0) leaves the image to the extension after it.
    const std::optional<double> axes = keywordNumber(frame.scan.text, "NAXIS");
    if (!frame.scan.endFound || !axes || *axes != 0.0) return;
    const auto offset = static_cast<std::int64_t>(frame.scan.text.size());
    HeaderScan extension = readHeaderBlocks(frame.file, offset);
    switch (extension.endFound ? imageExtension(extension) : Extension::none) {
        case Extension::image:
            frame.scan = std::move(extension);
            frame.headerStart = offset;
            return;
        case Extension::compressed:
            if (tiles)
                openTiles(path, extension, offset, frame);
            else
                frame.problem = "it holds a tile-compressed image inside gzip, which is not read";
            return;
        case Extension::none:
            return;
    }
}

// Bytes of the header and the data a frame's header claims; -1 beyond the ceiling.
std::int64_t claimedBytes(const FrameFile& frame) {
    const ImageHeader h = parseHeader(frame.scan);
    const std::int64_t pixels =
        std::int64_t{std::max(h.columns, 0)} * std::max(h.rows, 0) * std::max(h.planes, 1);
    if (pixels > kMaxCompressedPixels) return -1;
    return frame.headerStart + (h.dataStart - 1) + pixels * std::max(bytesPerSample(h.bitpix), 1);
}

// A gzip frame, inflated as a stream: to its headers now, to its pixels as they are read, and
// never beyond what its header claims.
FrameFile inflated(const std::filesystem::path& path, FitsFile compressed) {
    FrameFile frame;
    auto source = std::make_shared<GzipSource>(std::move(compressed), kMaxHeaderBytes);
    frame.file.openSource(source);
    locateImage(path, false, frame);
    if (frame.problem.empty() && !source->problem().empty() && !frame.scan.endFound)
        frame.problem = source->problem();
    if (!frame.problem.empty() || !frame.scan.endFound) return frame;
    const std::int64_t claim = claimedBytes(frame);
    if (claim < 0)
        frame.problem = "its header claims more than " + std::to_string(kMaxCompressedPixels) +
                        " pixels, more than a compressed frame may hold";
    else
        source->setSize(claim);
    return frame;
}

}  // namespace

bool hasFitsExtension(const std::string& name) {
    std::string upper = upperCase(name);
    if (endsWith(upper, ".GZ") || endsWith(upper, ".FZ")) upper.resize(upper.size() - 3);
    return endsWith(upper, ".FIT") || endsWith(upper, ".FITS") || endsWith(upper, ".FTS");
}

FrameFile openCaptureFrame(const std::filesystem::path& path) {
    FrameFile frame;
    if (!frame.file.open(path)) {
        frame.problem = "it cannot be opened";
        return frame;
    }
    if (startsWithGzip(frame.file)) return inflated(path, std::move(frame.file));
    if (endsWith(upperCase(path.filename().string()), ".GZ")) {
        frame.problem = "it cannot be read as FITS (it is not gzip data)";
        return frame;
    }
    locateImage(path, true, frame);
    return frame;
}

}  // namespace orvel
