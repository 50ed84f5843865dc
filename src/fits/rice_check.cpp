#include "fits/rice_check.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace orvel {

namespace {

// The tile's bytes, read one at a time; a read past the end fails.
class TileBytes {
  public:
    explicit TileBytes(std::string_view bytes) : bytes_(bytes) {}
    bool next(std::uint32_t& out) {
        if (at_ >= bytes_.size()) return false;
        out = static_cast<unsigned char>(bytes_[at_++]);
        return true;
    }
    void skip(std::size_t n) { at_ += n; }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// The code's constants for a pixel size: bits of each block's code, the code that marks raw
// pixels, and the bits of one raw pixel.
struct RiceCode {
    int fsBits;
    int fsMax;
    int rawBits;
};

// A block of raw (high-entropy) pixels: each takes rawBits bits straight from the stream.
bool walkRaw(TileBytes& in, std::uint32_t& b, int& nbits, std::int64_t count, int rawBits) {
    std::uint32_t x = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        for (int k = rawBits - nbits - 8; k >= 0; k -= 8)
            if (!in.next(x)) return false;
        if (nbits > 0) {
            if (!in.next(x)) return false;
            b = x & ((1u << nbits) - 1);
        } else {
            b = 0;
        }
    }
    return true;
}

// A block of Rice-coded differences: a run of zero bits ended by a one, then fs bits.
bool walkCoded(TileBytes& in, std::uint32_t& b, int& nbits, std::int64_t count, int fs) {
    std::uint32_t x = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        while (b == 0) {
            nbits += 8;
            if (!in.next(b)) return false;
        }
        // The leading one bit of b ends the run of zeros.
        nbits = std::bit_width(b) - 1;
        b ^= 1u << nbits;
        nbits -= fs;
        while (nbits < 0) {
            if (!in.next(x)) return false;
            b = (b << 8) | x;
            nbits += 8;
        }
        b &= (1u << nbits) - 1;
    }
    return true;
}

}  // namespace

bool riceTileFits(std::string_view bytes, std::int64_t pixels, int block, int bytepix) {
    const RiceCode code = bytepix == 1   ? RiceCode{3, 6, 8}
                          : bytepix == 2 ? RiceCode{4, 14, 16}
                                         : RiceCode{5, 25, 32};
    if (block <= 0 || (bytepix != 1 && bytepix != 2 && bytepix != 4)) return false;
    TileBytes in(bytes);
    // The first pixel stands as it is, then the bit stream begins.
    if (bytes.size() < static_cast<std::size_t>(bytepix) + 1) return false;
    in.skip(static_cast<std::size_t>(bytepix));
    std::uint32_t b = 0, x = 0;
    in.next(b);
    int nbits = 8;
    for (std::int64_t i = 0; i < pixels; i += block) {
        nbits -= code.fsBits;
        while (nbits < 0) {
            if (!in.next(x)) return false;
            b = (b << 8) | x;
            nbits += 8;
        }
        const int fs = static_cast<int>(b >> nbits) - 1;
        b &= (1u << nbits) - 1;
        const std::int64_t count = std::min<std::int64_t>(block, pixels - i);
        if (fs < 0) continue;  // every difference of the block is zero
        // Only the largest code marks raw pixels; the library Rice-decodes any other.
        if (fs == code.fsMax ? !walkRaw(in, b, nbits, count, code.rawBits)
                             : !walkCoded(in, b, nbits, count, fs))
            return false;
    }
    return true;
}

}  // namespace orvel
