#include "fits/pixel_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "base/numeric.h"
#include "fits/sample_format.h"

namespace orvel {

namespace {

// One linear pass with no branch per sample: the format is fixed by the template arguments.
template <typename Word, typename Value>
void decodeRun(const unsigned char* in, std::int64_t n, double scale, double zero, float* out) {
    for (std::int64_t i = 0; i < n; ++i) {
        Word w;
        std::memcpy(&w, in + i * static_cast<std::int64_t>(sizeof(Word)), sizeof(Word));
        const Value v = std::bit_cast<Value>(swapBigEndian(w));
        out[i] = f32(scale * static_cast<double>(v) + zero);
    }
}

// Picks the pass for the format once, outside the per-sample loop.
void decodeWhole(const unsigned char* in, std::int64_t n, int bitpix, double scale, double zero,
                 float* out) {
    withSampleFormat(bitpix, [&]<typename Format>(Format) {
        decodeRun<typename Format::Word, typename Format::Value>(in, n, scale, zero, out);
    });
}

// Byte offset (0-based) of sample index k (0-based) of the data array.
std::int64_t sampleOffset(const ImageHeader& header, std::int64_t k) {
    return header.dataStart - 1 + k * bytesPerSample(header.bitpix);
}

// Counts the raw samples of a piece just read, while its bytes are in cache: two counter sets
// used in turn, so that neighbouring equal samples do not wait for each other's increment.
void countRawSamples(const unsigned char* raw, std::int64_t n, int bitpix, std::uint32_t* even,
                     std::uint32_t* odd) {
    std::int64_t k = 0;
    if (bitpix == 16) {
        // The big-endian word, loaded whole, with its sign bit flipped: s + 32768.
        const auto index = [&](std::int64_t i) {
            std::uint16_t word;
            std::memcpy(&word, raw + 2 * i, sizeof word);
            return static_cast<std::size_t>(swapBigEndian(word) ^ 0x8000u);
        };
        for (; k + 2 <= n; k += 2) {
            ++even[index(k)];
            ++odd[index(k + 1)];
        }
        if (k < n) ++even[index(k)];
    } else {
        for (; k + 2 <= n; k += 2) {
            ++even[raw[k]];
            ++odd[raw[k + 1]];
        }
        if (k < n) ++even[raw[k]];
    }
}

// Samples first .. first + count - 1 of a data array.
struct SampleRange {
    std::int64_t first;
    std::int64_t count;
};

// Reads and decodes a range of samples of the data array into out, in pieces of a few
// megabytes so no copy of the whole raw array is held, counting them in counts (when given).
// Returns the whole samples the file holds of that range.
std::int64_t readAndDecode(const FitsFile& file, const ImageHeader& header, SampleRange range,
                           float* out, const DecodeProgress& progress = {},
                           SampleCounts* counts = nullptr) {
    const auto [first, count] = range;
    const int bps = bytesPerSample(header.bitpix);
    constexpr std::int64_t kPieceSamples = std::int64_t{1} << 19;
    const auto raw = std::make_unique_for_overwrite<unsigned char[]>(
        static_cast<std::size_t>(std::min(count, kPieceSamples) * bps + 1));
    // Counted in two sets, added when every piece is read.
    WorkVector<std::uint32_t> odd;
    if (counts != nullptr) {
        counts->complete = true;
        counts->counts.assign(SampleCounts::kIndices, 0);
        odd.assign(SampleCounts::kIndices, 0);
    }
    std::int64_t whole = 0;
    for (std::int64_t done = 0; done < count; done += kPieceSamples) {
        const std::int64_t n = std::min(kPieceSamples, count - done);
        const std::int64_t offset = sampleOffset(header, first + done);
        // Only the bytes the file still holds are fetched; the decoder zero-fills the rest.
        const std::int64_t available = std::max<std::int64_t>(0, file.size() - offset);
        const std::int64_t wanted = std::min(n * bps, available);
        const std::size_t got =
            wanted > 0 ? file.readAt(offset, raw.get(), static_cast<std::size_t>(wanted)) : 0;
        const std::int64_t present = decodeSamples(raw.get(), static_cast<std::int64_t>(got),
                                                   sampleCoding(header), out + done, n);
        whole += present;
        if (counts != nullptr) {
            // A sample the file lacks has no raw value: the counts no longer describe the image.
            counts->complete = counts->complete && present == n;
            countRawSamples(raw.get(), present, header.bitpix, counts->counts.data(), odd.data());
        }
        if (progress) progress(done + n);
    }
    if (counts != nullptr)
        for (std::size_t k = 0; k < SampleCounts::kIndices; ++k) counts->counts[k] += odd[k];
    return whole;
}

// Sizes the image without setting a value: the decoder writes every sample, a short file's
// missing ones included.
void sizeImage(const ImageHeader& header, PixelImage& image) {
    image.columns = std::max(header.columns, 0);
    image.rows = std::max(header.rows, 0);
    image.firstRow = 0;
    image.firstColumn = 0;
    image.heldColumns = 0;
    // Emptied first, so that a larger size copies none of the old values.
    image.pixels.clear();
    image.pixels.resize(static_cast<std::size_t>(headerPixelCount(header)));
}

// Decodes the region's columns of `rows` rows read in one piece into the image from its held
// row outRow on: bytes holds the file's bytes from the first row's first region sample on (got
// of them), the rows a whole image row apart.
std::int64_t decodeRegionRows(const unsigned char* bytes, std::int64_t got, std::int64_t rows,
                              SampleCoding coding, PixelImage& image, std::int64_t outRow) {
    const int bps = bytesPerSample(coding.bitpix);
    const std::int64_t stride = image.columns;
    const std::int64_t width = image.heldColumns;
    std::int64_t whole = 0;
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::int64_t at = r * stride * bps;
        // A row cut by the end of the file gets bzero for the samples it lacks.
        const std::int64_t present = std::clamp<std::int64_t>(got - at, 0, width * bps);
        whole += decodeSamples(bytes + std::min(at, got), present, coding,
                               image.pixels.data() + (outRow + r) * width, width);
    }
    return whole;
}

}  // namespace

int bytesPerSample(int bitpix) {
    int bytes = 0;
    withSampleFormat(bitpix,
                     [&]<typename Format>(Format) { bytes = sizeof(typename Format::Word); });
    return bytes;
}

std::int64_t headerPixelCount(const ImageHeader& header) {
    return static_cast<std::int64_t>(std::max(header.columns, 0)) * std::max(header.rows, 0);
}

bool canDecode(const ImageHeader& header) {
    return bytesPerSample(header.bitpix) != 0 && headerPixelCount(header) <= kMaxImagePixels;
}

std::int64_t decodeSamples(const unsigned char* bytes, std::int64_t byteCount, SampleCoding coding,
                           float* out, std::int64_t sampleCount) {
    const int bitpix = coding.bitpix;
    const int bps = bytesPerSample(bitpix);
    if (bps == 0 || sampleCount <= 0) return 0;
    const double scale = coding.bscale;
    const double zero = coding.bzero;
    const std::int64_t whole = std::min(std::max<std::int64_t>(byteCount, 0) / bps, sampleCount);
    decodeWhole(bytes, whole, bitpix, scale, zero, out);
    if (whole == sampleCount) return whole;
    // A sample cut by the end of the file keeps its bytes and is completed with zeros.
    unsigned char padded[8] = {};
    const std::int64_t partial = std::max<std::int64_t>(byteCount, 0) - whole * bps;
    if (partial > 0) std::memcpy(padded, bytes + whole * bps, static_cast<std::size_t>(partial));
    decodeWhole(padded, 1, bitpix, scale, zero, out + whole);
    // Every sample after it is all zero bytes, which decodes to bzero.
    unsigned char zeros[8] = {};
    float fill = 0.0f;
    decodeWhole(zeros, 1, bitpix, scale, zero, &fill);
    std::fill(out + whole + 1, out + sampleCount, fill);
    return whole;
}

bool countsSamples(const ImageHeader& header) {
    return header.bitpix == 16 || header.bitpix == 8;
}

float countedSampleValue(SampleCoding coding, std::size_t index) {
    // The sample's own big-endian bytes, decoded as the image's are.
    unsigned char bytes[2] = {};
    if (coding.bitpix == 16) {
        bytes[0] = static_cast<unsigned char>((index >> 8) ^ 0x80u);
        bytes[1] = static_cast<unsigned char>(index & 0xffu);
    } else {
        bytes[0] = static_cast<unsigned char>(index & 0xffu);
    }
    float value = 0.0f;
    decodeSamples(bytes, sizeof bytes, coding, &value, 1);
    return value;
}

std::int64_t readPixels(const FitsFile& file, const ImageHeader& header, PixelImage& image,
                        const DecodeProgress& progress, SampleCounts* counts) {
    if (!canDecode(header)) return -1;
    sizeImage(header, image);
    return readAndDecode(file, header, {0, headerPixelCount(header)}, image.pixels.data(), progress,
                         countsSamples(header) ? counts : nullptr);
}

std::int64_t samplesInFile(const FitsFile& file, const ImageHeader& header) {
    if (!canDecode(header)) return -1;
    const std::int64_t available = std::max<std::int64_t>(0, file.size() - sampleOffset(header, 0));
    return std::min(headerPixelCount(header), available / bytesPerSample(header.bitpix));
}

std::int64_t readPixelRows(const FitsFile& file, const ImageHeader& header, int firstRow,
                           int rowCount, PixelImage& image) {
    if (!canDecode(header)) return -1;
    image.columns = std::max(header.columns, 0);
    image.rows = std::max(header.rows, 0);
    const std::int64_t first = std::clamp<std::int64_t>(firstRow, 0, image.rows);
    const std::int64_t last =
        std::clamp<std::int64_t>(std::int64_t{firstRow} + std::max(rowCount, 0), first, image.rows);
    const std::int64_t columns = image.columns;
    const std::int64_t count = (last - first) * columns;
    // Only the window is held: memory stays small whatever the frame size.
    image.firstRow = static_cast<int>(first);
    image.firstColumn = 0;
    image.heldColumns = 0;
    image.pixels.clear();
    image.pixels.resize(static_cast<std::size_t>(count));
    if (count == 0) return 0;
    return readAndDecode(file, header, {first * columns, count}, image.pixels.data());
}

std::int64_t readPixelRegion(const FitsFile& file, const ImageHeader& header,
                             const PixelRegion& region, PixelImage& image) {
    if (!canDecode(header)) return -1;
    image.columns = std::max(header.columns, 0);
    image.rows = std::max(header.rows, 0);
    const int firstRow = std::clamp(region.firstRow, 0, image.rows);
    const int lastRow = std::clamp(region.lastRow, firstRow - 1, image.rows - 1);
    const int firstColumn = std::clamp(region.firstColumn, 0, image.columns);
    const int lastColumn = std::clamp(region.lastColumn, firstColumn - 1, image.columns - 1);
    const std::int64_t rows = std::int64_t{lastRow} - firstRow + 1;
    const std::int64_t width = std::int64_t{lastColumn} - firstColumn + 1;
    image.firstRow = firstRow;
    image.firstColumn = firstColumn;
    image.heldColumns = static_cast<int>(width);
    image.pixels.clear();
    image.pixels.resize(static_cast<std::size_t>(rows * width));
    if (rows * width == 0) return 0;
    // Rows are fetched a few megabytes at a time, each piece from the region's first column of
    // its first row to its last column of its last row: one read, and only the region decoded.
    const int bps = bytesPerSample(header.bitpix);
    const std::int64_t stride = image.columns;
    const std::int64_t rowsPerPiece =
        std::max<std::int64_t>(1, (std::int64_t{4} << 20) / (stride * bps));
    // Kept from call to call on each thread, unset: every byte used is read first.
    static thread_local std::vector<unsigned char, DefaultInitAllocator<unsigned char>> raw;
    std::int64_t whole = 0;
    for (std::int64_t done = 0; done < rows; done += rowsPerPiece) {
        const std::int64_t n = std::min(rowsPerPiece, rows - done);
        const std::int64_t offset = sampleOffset(header, (firstRow + done) * stride + firstColumn);
        const std::int64_t wanted = ((n - 1) * stride + width) * bps;
        raw.resize(static_cast<std::size_t>(wanted));
        const std::int64_t available = std::clamp<std::int64_t>(file.size() - offset, 0, wanted);
        const std::size_t got =
            available > 0 ? file.readAt(offset, raw.data(), static_cast<std::size_t>(available))
                          : 0;
        whole += decodeRegionRows(raw.data(), static_cast<std::int64_t>(got), n,
                                  sampleCoding(header), image, done);
    }
    return whole;
}

}  // namespace orvel
