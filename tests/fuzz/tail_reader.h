// Reads parameters from the end of a fuzz input and hands out the rest from its start, the way
// libFuzzer's FuzzedDataProvider does. Written out here so that the fuzz targets (clang) and the
// replay tests (any compiler) read the same values from the same bytes.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>

namespace orvel::fuzz {

class TailReader {
  public:
    explicit TailReader(std::string_view data) : data_(data), remaining_(data.size()) {}

    // A whole number in min..max from the last unread bytes (the last byte most significant);
    // min when no bytes are left.
    template <typename T>
    T integralInRange(T min, T max) {
        static_assert(std::is_integral_v<T> && sizeof(T) <= sizeof(std::uint64_t));
        const std::uint64_t range =
            static_cast<std::uint64_t>(max) - static_cast<std::uint64_t>(min);
        std::uint64_t result = 0;
        std::size_t offset = 0;
        while (offset < sizeof(T) * CHAR_BIT && (range >> offset) > 0 && remaining_ != 0) {
            --remaining_;
            result = (result << CHAR_BIT) | static_cast<unsigned char>(data_[remaining_]);
            offset += CHAR_BIT;
        }
        if (range != std::numeric_limits<std::uint64_t>::max()) result = result % (range + 1);
        return static_cast<T>(static_cast<std::uint64_t>(min) + result);
    }

    template <typename T>
    T integral() {
        return integralInRange(std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    }

    bool boolean() { return (integral<std::uint8_t>() & 1) != 0; }

    // A value in min..max for a range that a float can hold.
    float floatInRange(float min, float max) {
        const float fraction = static_cast<float>(integral<std::uint32_t>()) /
                               static_cast<float>(std::numeric_limits<std::uint32_t>::max());
        return min + (max - min) * fraction;
    }

    // Everything not taken from the end, from the start of the input.
    std::string_view rest() const { return data_.substr(0, remaining_); }

  private:
    std::string_view data_;
    std::size_t remaining_;
};

}  // namespace orvel::fuzz
