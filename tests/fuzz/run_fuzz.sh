#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS on a scratch copy of its
# seed corpus. Exits non-zero when a target crashes (the crashing input is kept in the scratch
# folder and its path printed) or the build fails.
#
# Usage: tests/fuzz/run_fuzz.sh SECONDS [BUILD_DIR]
#   BUILD_DIR defaults to build-fuzz in the repository root.
# Environment: FUZZ_WORK=DIR keeps the scratch folder there (default: a new temporary folder,
# removed after a clean run); FUZZ_JOBS=N build jobs (default 2).
set -euo pipefail

if [[ $# -lt 1 || ! "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [BUILD_DIR]" >&2
    exit 2
fi
SECONDS_EACH=$1
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${2:-$ROOT/build-fuzz}
JOBS=${FUZZ_JOBS:-2}
TARGETS=(fits_fuzz first_image_fuzz typed_line_fuzz compressed_fuzz)

# The seed folder of a target: the first-image target starts from the FITS seeds.
seeds_of() {
    case $1 in
        first_image_fuzz) echo fits_fuzz ;;
        *) echo "$1" ;;
    esac
}

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DORVEL_FUZZ=ON -DORVEL_WITH_SDL=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target "${TARGETS[@]}" -j "$JOBS"

if [[ -n "${FUZZ_WORK:-}" ]]; then
    WORK=$FUZZ_WORK
    mkdir -p "$WORK"
    KEEP=1
else
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/orvel-fuzz.XXXXXX")
    KEEP=0
fi

status=0
failed=0
for target in "${TARGETS[@]}"; do
    corpus=$WORK/$target/corpus
    artifacts=$WORK/$target/artifacts/
    mkdir -p "$corpus" "$artifacts"
    # The committed seeds are copied: the run adds its findings to the scratch copy only.
    cp "$ROOT/tests/fuzz/corpus/$(seeds_of "$target")/"* "$corpus/"
    echo "== $target: ${SECONDS_EACH}s on $(ls "$corpus" | wc -l) seeds"
    # -timeout: one input may take at most 25 s; -rss_limit_mb: the machine is shared.
    # The compressed frames reach the FITS library, whose allocations of sizes a header claims
    # fail with NULL in a real run: the same here, rather than ASan's abort.
    # It also keeps a small buffer when it gives up on a damaged tile (lsan.supp).
    extra=""
    [[ $target == compressed_fuzz ]] && extra=":allocator_may_return_null=1"
    if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1$extra \
        LSAN_OPTIONS=suppressions=$ROOT/tests/fuzz/lsan.supp \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$BUILD/$target" -max_total_time="$SECONDS_EACH" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" \
        >"$WORK/$target/fuzz.log" 2>&1; then
        status=1
        failed=$((failed + 1))
        echo "!! $target found a crash; input and log:"
        ls "$artifacts"
        tail -n 60 "$WORK/$target/fuzz.log"
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
        "$WORK/$target/fuzz.log" || true
    echo "   corpus now $(ls "$corpus" | wc -l) inputs, $(du -sk "$corpus" | cut -f1) KB"
done

if [[ $status -eq 0 && $KEEP -eq 0 ]]; then
    rm -rf "$WORK"
else
    echo "scratch folder kept: $WORK"
fi
echo "fuzz: $((${#TARGETS[@]} - failed)) passed, $failed failed"
exit $status
