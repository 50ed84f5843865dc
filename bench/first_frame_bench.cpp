// Times the first-frame statistics of a FITS frame against one read-and-decode of it.
// Usage: first_frame_bench FILE [REPEATS]
// Prints: columns rows, the first read-and-decode and statistics (a fresh buffer, as a run has
// them), and the best of REPEATS of each (the buffer reused, the cache warm), in seconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "analysis/image_statistics.h"
#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvel;
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_frame_bench FILE [REPEATS]\n");
        return 2;
    }
    const int repeats = std::max(argc > 2 ? std::atoi(argv[2]) : 5, 1);
    FitsFile file;
    if (!file.open(argv[1])) return 1;
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    PixelImage image;
    double firstRead = 0.0;
    double firstStats = 0.0;
    double read = 1e30;
    double stats = 1e30;
    for (int r = 0; r < repeats; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        readPixels(file, header, image);
        auto t1 = std::chrono::steady_clock::now();
        analyseFirstImage(image);
        auto t2 = std::chrono::steady_clock::now();
        if (r == 0) {
            firstRead = seconds(t1 - t0);
            firstStats = seconds(t2 - t1);
        }
        read = std::min(read, seconds(t1 - t0));
        stats = std::min(stats, seconds(t2 - t1));
    }
    std::printf("%d %d %.6f %.6f %.6f %.6f\n", header.columns, header.rows, firstRead, firstStats,
                read, stats);
    return 0;
}
