# libFuzzer targets for the two places where untrusted bytes enter the program: FITS files (as
# any frame of a night, and as the first frame, which alone is measured for the display and
# shown) and typed lines (with the command line). Included by the top-level CMakeLists.txt with
# -DORVEL_FUZZ=ON; needs clang:
#   cmake -S . -B build-fuzz -G Ninja -DORVEL_FUZZ=ON -DORVEL_WITH_SDL=OFF \
#         -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
#   cmake --build build-fuzz --target fits_fuzz first_image_fuzz typed_line_fuzz
# tests/fuzz/run_fuzz.sh SECONDS does all of this and runs both targets on their seed corpora.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ORVEL_FUZZ needs clang with libFuzzer: add -DCMAKE_CXX_COMPILER=clang++")
endif()

# The library is built a second time with coverage instrumentation for libFuzzer and with the
# address and undefined-behaviour sanitizers, so a bad read anywhere on the path is a crash.
set(ORVEL_FUZZ_SANITIZERS address,undefined)
set(ORVEL_FUZZ_COMPILE_FLAGS
    -fsanitize=fuzzer-no-link,${ORVEL_FUZZ_SANITIZERS}
    -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer
    -g)

# The windowed parts are not on any fuzzed path: leave SDL out even when the build has it.
set(ORVEL_FUZZ_SOURCES ${ORVEL_SOURCES})
list(FILTER ORVEL_FUZZ_SOURCES EXCLUDE REGEX ".*/src/platform/sdl_.*\\.cpp$")

add_library(orvelcore_fuzz STATIC ${ORVEL_FUZZ_SOURCES})
target_include_directories(orvelcore_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(orvelcore_fuzz PRIVATE ${ORVEL_FUZZ_COMPILE_FLAGS})
# The same libraries as the program's own library, CFITSIO and cairo loaded when first called.
target_link_libraries(orvelcore_fuzz PUBLIC Threads::Threads PNG::PNG ZLIB::ZLIB PkgConfig::ERFA
                      ${CMAKE_DL_LIBS})
foreach(loaded CFITSIO CAIRO)
  target_include_directories(orvelcore_fuzz SYSTEM PUBLIC
    $<TARGET_PROPERTY:PkgConfig::${loaded},INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_options(orvelcore_fuzz PUBLIC
    $<TARGET_PROPERTY:PkgConfig::${loaded},INTERFACE_COMPILE_OPTIONS>)
endforeach()
# The checks are shared with the replay tests: tests/fuzz/*_check.h, included as "fuzz/...".
target_include_directories(orvelcore_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/tests)

foreach(fuzz_name fits_fuzz first_image_fuzz typed_line_fuzz compressed_fuzz)
  add_executable(${fuzz_name} ${CMAKE_SOURCE_DIR}/tests/fuzz/${fuzz_name}.cpp)
  target_compile_options(${fuzz_name} PRIVATE
    -fsanitize=fuzzer,${ORVEL_FUZZ_SANITIZERS} -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer -g)
  target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer,${ORVEL_FUZZ_SANITIZERS})
  target_link_libraries(${fuzz_name} PRIVATE orvelcore_fuzz)
endforeach()

add_custom_target(fuzz_targets DEPENDS fits_fuzz first_image_fuzz typed_line_fuzz compressed_fuzz)
