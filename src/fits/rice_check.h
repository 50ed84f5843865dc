// The RICE_1 code of one compressed tile walked as the FITS library's decoder walks it, byte by
// byte, without writing a pixel: the library checks for the end of a tile's bytes only after each
// block of pixels, so a damaged tile makes it read past its buffer. A tile that passes here is
// decoded by the library within its bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvel {

// Whether `pixels` pixels of `bytepix` bytes each (1, 2 or 4), coded in blocks of `block`
// pixels, decode from the tile's bytes without reading beyond them.
bool riceTileFits(std::string_view bytes, std::int64_t pixels, int block, int bytepix);

}  // namespace orvel
