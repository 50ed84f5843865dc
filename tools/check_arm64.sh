#!/usr/bin/env bash
# Compiles every C++ source of src/ and tools/ for arm64 Linux (aarch64) with Debian's cross
# compiler, through to the end of the compiler's checks but without making code
# (-fsyntax-only), with the warnings of the real build made errors. The cross compiler's own C
# library and C++ library headers come first; the libraries' headers (cfitsio, cairo, pango,
# SDL2, libpng, zlib, ERFA) are this machine's, which say the same on any 64-bit Linux. No
# precompiled headers: a file that leans on one for an include fails here too.
#
# Usage: tools/check_arm64.sh OUT_DIR   (OUT_DIR receives the failures' messages)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=$1
CXX=${ARM64_CXX:-aarch64-linux-gnu-g++}
JOBS=${JOBS:-$(nproc)}

mkdir -p "$OUT/include/SDL2"
# SDL_config.h includes its machine's own configuration from the multiarch folder: x86-64's
# declares the same functions, but says it has immintrin.h, which arm64's does not (the
# SDL_DISABLE_IMMINTRIN_H below says so).
ln -sf /usr/include/x86_64-linux-gnu/SDL2/_real_SDL_config.h "$OUT/include/SDL2/"

read -r -a libs <<<"$(pkg-config --cflags cfitsio cairo pangocairo sdl2 erfa libpng zlib)"
flags=(-std=c++20 -fsyntax-only -Werror -Wall -Wextra -Wpedantic -Wshadow -Wconversion
       -Wno-sign-conversion -ffp-contract=off -Isrc -Itools "${libs[@]}"
       -idirafter /usr/include -idirafter "$OUT/include"
       -DSDL_DISABLE_IMMINTRIN_H -DORVEL_WITH_SDL=1 -DORVEL_CFITSIO_LIBRARY='"libcfitsio.so"'
       -DORVEL_CAIRO_LIBRARY='"libpangocairo-1.0.so"' -DORVEL_SDL2_LIBRARY='"libSDL2.so"')

# The compiler must make arm64 code, whatever its name.
target=$("$CXX" -dumpmachine)
if [[ $target != aarch64-* ]]; then
    echo "check-arm64: $CXX makes code for $target, not aarch64" >&2
    exit 1
fi

sources=$(find src tools -name '*.cpp' | sort)
count=$(wc -l <<<"$sources")
rm -f "$OUT"/failed-*.txt
export CXX OUT
# One compiler per source, JOBS at a time; each failure's messages kept in a file of its own.
if ! printf '%s\n' "$sources" | xargs -P "$JOBS" -I{} bash -c \
    'log="$OUT/failed-$(echo {} | tr / _).txt"; "$CXX" "$@" {} >"$log" 2>&1 && rm -f "$log"' \
    _ "${flags[@]}"; then
    failed=("$OUT"/failed-*.txt)
    cat "${failed[@]}" >&2
    echo "check-arm64: ${#failed[@]} of $count sources do not compile for $target" >&2
    exit 1
fi
echo "check-arm64: all $count sources of src/ and tools/ compile for $target ($("$CXX" -dumpversion))"
