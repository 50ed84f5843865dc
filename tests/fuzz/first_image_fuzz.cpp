// libFuzzer target for what the first frame of a night alone goes through (see
// fits_input_check.h): any bytes as an image file followed by the user's picks, measured for
// the display and shown. A failed property aborts, as a crash does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fits_input_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = orvel::fuzz::checkFirstImageInput(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "property failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
