// The sample formats of a FITS data array, by BITPIX: the word as stored (most significant
// byte first) and how its bits are read once in this machine's byte order.
#pragma once

#include <cstdint>

namespace orvel {

template <typename StoredWord, typename ReadValue>
struct SampleFormat {
    static_assert(sizeof(StoredWord) == sizeof(ReadValue));
    using Word = StoredWord;  // raw unsigned word, as many bytes as one sample
    using Value = ReadValue;  // the sample: unsigned 8-bit, signed 16/32-bit, or IEEE float
};

// Calls visit(SampleFormat<Word, Value>{}) for BITPIX 8, 16, 32, -32 or -64, so that a pass
// over the samples is compiled once per format with no branch per sample. Returns false, and
// calls nothing, for any other BITPIX.
template <typename Visit>
bool withSampleFormat(int bitpix, Visit&& visit) {
    switch (bitpix) {
        case 8:
            visit(SampleFormat<std::uint8_t, std::uint8_t>{});
            return true;
        case 16:
            visit(SampleFormat<std::uint16_t, std::int16_t>{});
            return true;
        case 32:
            visit(SampleFormat<std::uint32_t, std::int32_t>{});
            return true;
        case -32:
            visit(SampleFormat<std::uint32_t, float>{});
            return true;
        case -64:
            visit(SampleFormat<std::uint64_t, double>{});
            return true;
        default:
            return false;
    }
}

// FITS stores samples most significant byte first, the reverse of this machine's order; the
// same swap reads and writes them.
inline std::uint8_t swapBigEndian(std::uint8_t w) {
    return w;
}
inline std::uint16_t swapBigEndian(std::uint16_t w) {
    return __builtin_bswap16(w);
}
inline std::uint32_t swapBigEndian(std::uint32_t w) {
    return __builtin_bswap32(w);
}
inline std::uint64_t swapBigEndian(std::uint64_t w) {
    return __builtin_bswap64(w);
}

}  // namespace orvel
