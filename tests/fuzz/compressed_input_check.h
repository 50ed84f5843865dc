// The compressed-frame reading path run on any bytes: the bytes are written as a frame's file and
// opened as a night opens it (gzip inflated as a stream, tile headers checked before the FITS
// library decodes any tile), then its pixels read whole and by windows of rows, as the first
// frame and the later frames are. Shared by tests/fuzz/compressed_fuzz.cpp and the replay test.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fits/frame_file.h"
#include "fits/pixel_decoder.h"
#include "fits/tile_header.h"
#include "fuzz/property.h"

namespace orvel::fuzz {

// Larger images are not read whole: a claim within the ceiling would take seconds per input.
inline constexpr std::int64_t kMaxCompressedReadPixels = std::int64_t{1} << 16;

// A file of this process for the input (in memory-backed /dev/shm where there is one).
inline std::filesystem::path compressedInputPath() {
    static const std::filesystem::path path = [] {
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path dir =
            std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        return dir / ("orvel-compressed-fuzz-" + std::to_string(::getpid()) + ".fits");
    }();
    return path;
}

inline void checkCompressedFrame(const std::filesystem::path& path, std::int64_t fileBytes) {
    const FrameFile f = openCaptureFrame(path);
    if (!f.problem.empty() || !f.scan.endFound) return;
    ImageHeader h = parseHeader(f.scan);
    h.dataStart += f.headerStart;
    const std::int64_t pixels = headerPixelCount(h) * std::max(h.planes, 1);
    // A claim beyond the ceiling is taken only from a plain file, which holds what it claims.
    FUZZ_REQUIRE(pixels <= kMaxCompressedPixels || f.file.size() <= fileBytes);
    if (!canDecode(h) || pixels > kMaxCompressedReadPixels) return;
    PixelImage image;
    const std::int64_t whole = readPixels(f.file, h, image);
    FUZZ_REQUIRE(whole <= headerPixelCount(h));
    // Rows from the end back to the start, as a later frame's star and background may lie.
    PixelImage window;
    readPixelRegion(f.file, h, {h.rows - 2, h.rows - 1, 0, h.columns - 1}, window);
    readPixelRegion(f.file, h, {0, 1, 0, h.columns - 1}, window);
    // A frame whose bytes could all be made gives the same pixels whole and by windows.
    if (f.file.problem().empty() && h.rows >= 2 && h.columns > 0 &&
        whole == headerPixelCount(h)) {
        const auto row = static_cast<std::size_t>(h.columns);
        FUZZ_REQUIRE(window.pixels.size() >= row && image.pixels.size() >= row);
        FUZZ_REQUIRE(std::equal(window.pixels.begin(), window.pixels.begin() + row,
                                image.pixels.begin(),
                                [](float a, float b) { return a == b || (a != a && b != b); }));
    }
}

// Empty when every property held; otherwise the property that failed.
inline std::string checkCompressedInput(std::string_view bytes) {
    const std::filesystem::path path = compressedInputPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    try {
        checkCompressedFrame(path, static_cast<std::int64_t>(bytes.size()));
    } catch (const PropertyFailed& failed) {
        return failed.what;
    }
    return {};
}

}  // namespace orvel::fuzz
