// Turning a FITS primary data array into pixel values: big-endian samples of BITPIX 8, 16, 32,
// -32 or -64, scaled by BSCALE and shifted by BZERO, one 32-bit float per pixel.
#pragma once

#include <cstdint>
#include <functional>

#include "base/pixel_buffer.h"
#include "fits/fits_file.h"
#include "fits/image_header.h"
#include "fits/pixel_image.h"

namespace orvel {

// Largest image decoded (pixels); a header claiming more is taken as damaged.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 29;

// Bytes of one sample for a BITPIX value; 0 for a value that is not decoded.
int bytesPerSample(int bitpix);

// Pixels the header describes (columns x rows, negative sizes counting as 0).
std::int64_t headerPixelCount(const ImageHeader& header);

// Whether readPixels can decode the file this header describes: a known BITPIX and a size
// within kMaxImagePixels.
bool canDecode(const ImageHeader& header);

// How the samples of a data array are written and scaled.
struct SampleCoding {
    int bitpix = 0;       // BITPIX: the sample format
    float bscale = 1.0f;  // BSCALE: value = bscale x sample + bzero
    float bzero = 0.0f;   // BZERO
};
inline SampleCoding sampleCoding(const ImageHeader& h) {
    return {h.bitpix, h.bscale, h.bzero};
}

// Decodes sampleCount big-endian samples into out: out[k] = f32(bscale * sample + bzero),
// evaluated in double. Bytes beyond byteCount count as zero, so missing samples give bzero.
// Returns the whole samples present in the bytes (at most sampleCount); 0 and nothing written
// for an unknown BITPIX.
std::int64_t decodeSamples(const unsigned char* bytes, std::int64_t byteCount, SampleCoding coding,
                           float* out, std::int64_t sampleCount);

// Called after each piece of the image is decoded with the count of samples decoded so far
// (from the first on, in order).
using DecodeProgress = std::function<void(std::int64_t decoded)>;

// How often each sample occurs in a data array of 16-bit or 8-bit samples, counted from the
// raw bytes as they are read: the order of the samples is the order of the values whenever
// BSCALE is above 0.
struct SampleCounts {
    static constexpr std::size_t kIndices = std::size_t{1} << 16;
    bool complete = false;  // every sample of the image was counted: the file holds them all
    // Counters by index: a 16-bit sample s at s + 32768, an 8-bit sample at s; kIndices of them.
    WorkVector<std::uint32_t> counts;
};

// Whether readPixels counts the samples of this header's data array (BITPIX 16 or 8).
bool countsSamples(const ImageHeader& header);

// The value the sample counted at index decodes to.
float countedSampleValue(SampleCoding coding, std::size_t index);

// Sizes the image to the header's columns x rows, reads the whole data array from the data
// start and decodes it, telling progress (when given) as it goes, and counting the samples in
// counts (when given and countsSamples). Returns the count of whole samples read; -1 (nothing
// read, image untouched) when !canDecode.
std::int64_t readPixels(const FitsFile& file, const ImageHeader& header, PixelImage& image,
                        const DecodeProgress& progress = {}, SampleCounts* counts = nullptr);

// Whole samples of the data array that the file holds (what readPixels would count), from the
// file size alone; -1 when !canDecode.
std::int64_t samplesInFile(const FitsFile& file, const ImageHeader& header);

// Reads a window of the image: rows firstRow .. firstRow + rowCount - 1 (clipped to the
// image). The image keeps the header's columns and rows as its size but holds only those rows
// (firstRow set). No log line. Returns the whole samples read; -1 when !canDecode.
std::int64_t readPixelRows(const FitsFile& file, const ImageHeader& header, int firstRow,
                           int rowCount, PixelImage& image);

// Reads the pixels of a region (clipped to the image): the image keeps the header's size and
// holds only those rows and, within them, only those columns (firstRow, firstColumn and
// heldColumns set). Only the region's samples are decoded. No log line. Returns the samples
// of the region the file holds; -1 when !canDecode.
std::int64_t readPixelRegion(const FitsFile& file, const ImageHeader& header,
                             const PixelRegion& region, PixelImage& image);

}  // namespace orvel
