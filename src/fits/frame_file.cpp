#include "fits/frame_file.h"

#include <fitsio.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "base/typed_line.h"
#include "fits/fits_writer.h"
#include "fits/pixel_decoder.h"

namespace orvel {

namespace {

bool endsWith(const std::string& upperName, std::string_view suffix) {
    return upperName.size() >= suffix.size() &&
           std::string_view(upperName).substr(upperName.size() - suffix.size()) == suffix;
}

// The CFITSIO sample type that holds one stored sample of the BITPIX unchanged.
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
        case -64:
            return TDOUBLE;
        default:
            return 0;
    }
}

// Native samples of `width` bytes each, rewritten most significant byte first as FITS stores them.
void appendBigEndian(const std::vector<unsigned char>& native, int width,
                     std::vector<unsigned char>& out) {
    const std::size_t start = out.size();
    out.insert(out.end(), native.begin(), native.end());
    if constexpr (std::endian::native == std::endian::little) {
        for (std::size_t at = start; at < out.size(); at += static_cast<std::size_t>(width))
            std::reverse(out.begin() + static_cast<std::ptrdiff_t>(at),
                         out.begin() + static_cast<std::ptrdiff_t>(at) + width);
    }
}

// Cards ended by the end card and padded to whole blocks.
std::string headerBlocks(std::string text) {
    text += std::string("END").append(kFitsCardBytes - 3, ' ');
    const std::size_t blocks = (text.size() + kFitsBlockBytes - 1) / kFitsBlockBytes;
    text.resize(blocks * kFitsBlockBytes, ' ');
    return text;
}

// The cards of a tile-compressed image's table that describe the table or the compression,
// not the image: the image's own take their place.
bool describesCompression(std::string_view keyword) {
    static constexpr std::array<std::string_view, 32> kPrefixes = {
        "XTENSION", "BITPIX",   "NAXIS",    "PCOUNT",  "GCOUNT",   "TFIELDS",  "TTYPE",
        "TFORM",    "TUNIT",    "TDIM",     "THEAP",   "CHECKSUM", "DATASUM",  "EXTNAME",
        "ZIMAGE",   "ZBITPIX",  "ZNAXIS",   "ZTILE",   "ZCMPTYPE", "ZNAME",    "ZVAL",
        "ZQUANTIZ", "ZDITHER",  "ZSIMPLE",  "ZEXTEND", "ZBLOCKED", "ZTENSION", "ZPCOUNT",
        "ZGCOUNT",  "ZHECKSUM", "ZDATASUM", "ZBLANK"};
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view p) { return keyword.substr(0, p.size()) == p; });
}

// The header of the open image as a plain primary header would hold it: the cards as stored for
// an image HDU; for a tile-compressed one, the image's size and format and its own cards.
std::string imageHeaderText(fitsfile* f, int bitpix, int axes, const std::array<long, 3>& size,
                            int& status) {
    char* raw = nullptr;
    int count = 0;
    fits_hdr2str(f, 0, nullptr, 0, &raw, &count, &status);
    const std::string cards =
        raw ? std::string(raw, static_cast<std::size_t>(count) * kFitsCardBytes) : std::string();
    if (raw) {
        int ignored = 0;
        fits_free_memory(raw, &ignored);
    }
    if (!fits_is_compressed_image(f, &status)) return headerBlocks(cards);
    std::string text = fitsLogicalCard("SIMPLE", true) + fitsIntCard("BITPIX", bitpix) +
                       fitsIntCard("NAXIS", axes);
    for (int i = 0; i < std::min(axes, 3); ++i)
        text += fitsIntCard("NAXIS" + std::to_string(i + 1), size[static_cast<std::size_t>(i)]);
    for (std::size_t at = 0; at + kFitsCardBytes <= cards.size(); at += kFitsCardBytes) {
        const std::string_view card = std::string_view(cards).substr(at, kFitsCardBytes);
        if (!describesCompression(card.substr(0, 8))) text.append(card);
    }
    return headerBlocks(text);
}

std::string cfitsioProblem(int status) {
    std::array<char, FLEN_STATUS> text{};
    fits_get_errstatus(status, text.data());
    return std::string("it cannot be read as FITS (") + text.data() + ")";
}

// The stored samples of the open image, in file order, as native bytes.
bool readStoredSamples(fitsfile* f, int bitpix, long long count, std::vector<unsigned char>& out,
                       int& status) {
    const int width = bytesPerSample(bitpix);
    out.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(width));
    // The samples as stored: BSCALE and BZERO are applied later, by the same decoder as for
    // plain files.
    fits_set_bscale(f, 1.0, 0.0, &status);
    int anyNull = 0;
    fits_read_img(f, storedType(bitpix), 1, count, nullptr, out.data(), &anyNull, &status);
    return status == 0;
}

// The image of a compressed file, decompressed by CFITSIO and rebuilt as header and samples.
FrameFile decompressed(const std::filesystem::path& path) {
    FrameFile frame;
    fitsfile* f = nullptr;
    int status = 0;
    // The first HDU that holds an image: the primary, or the compressed image extension.
    if (fits_open_image(&f, path.c_str(), READONLY, &status)) {
        frame.problem = cfitsioProblem(status);
        return frame;
    }
    int bitpix = 0, axes = 0;
    std::array<long, 3> size{};
    fits_get_img_param(f, 3, &bitpix, &axes, size.data(), &status);
    long long count = axes > 0 ? 1 : 0;
    for (int i = 0; i < std::min(axes, 3); ++i)
        count *= std::max(size[static_cast<std::size_t>(i)], 0L);
    const std::string header = imageHeaderText(f, bitpix, axes, size, status);
    std::vector<unsigned char> native;
    if (status == 0 && storedType(bitpix) != 0 && count <= 3 * kMaxImagePixels)
        readStoredSamples(f, bitpix, count, native, status);
    if (status == 0) {
        frame.scan.text = header;
        frame.scan.cardCount = static_cast<int>(frame.scan.text.size()) / kFitsCardBytes;
        frame.scan.endFound = true;
        std::vector<unsigned char> bytes(frame.scan.text.begin(), frame.scan.text.end());
        appendBigEndian(native, std::max(bytesPerSample(bitpix), 1), bytes);
        frame.file.openBytes(std::move(bytes));
    } else {
        frame.problem = cfitsioProblem(status);
    }
    int ignored = 0;
    fits_close_file(f, &ignored);
    return frame;
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
    if (kind == "BINTABLE" && j > 0 &&
        cardValueField(headerCard(extension.text, j)).find('T') != std::string_view::npos)
        return Extension::compressed;
    return Extension::none;
}

}  // namespace

bool hasFitsExtension(const std::string& name) {
    std::string upper = upperCase(name);
    if (endsWith(upper, ".GZ") || endsWith(upper, ".FZ")) upper.resize(upper.size() - 3);
    return endsWith(upper, ".FIT") || endsWith(upper, ".FITS") || endsWith(upper, ".FTS");
}

FrameFile openCaptureFrame(const std::filesystem::path& path) {
    const std::string upper = upperCase(path.filename().string());
    if (endsWith(upper, ".GZ") || endsWith(upper, ".FZ")) return decompressed(path);
    FrameFile frame;
    if (!frame.file.open(path)) {
        frame.problem = "it cannot be opened";
        return frame;
    }
    if (startsWithGzip(frame.file)) return decompressed(path);
    frame.scan = readHeaderBlocks(frame.file);
    // A primary without data (NAXIS = 0) leaves the image to the extension after it.
    const std::optional<double> axes = keywordNumber(frame.scan.text, "NAXIS");
    if (!frame.scan.endFound || !axes || *axes != 0.0) return frame;
    const auto offset = static_cast<std::int64_t>(frame.scan.text.size());
    HeaderScan extension = readHeaderBlocks(frame.file, offset);
    switch (extension.endFound ? imageExtension(extension) : Extension::none) {
        case Extension::image:
            frame.scan = std::move(extension);
            frame.headerStart = offset;
            return frame;
        case Extension::compressed:
            return decompressed(path);
        case Extension::none:
            return frame;
    }
    return frame;
}

}  // namespace orvel
