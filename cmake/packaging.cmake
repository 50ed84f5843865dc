# Installing (`make install`), the man pages generated from --help, and the Debian package
# (`make deb`). Included by the top-level CMakeLists.txt after the programs are defined.
include(GNUInstallDirs)

install(TARGETS orvel orvel-simulate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The pictures the README shows.
install(FILES ${CMAKE_SOURCE_DIR}/docs/graph.png ${CMAKE_SOURCE_DIR}/docs/image-window.png
              ${CMAKE_SOURCE_DIR}/docs/plot.png ${CMAKE_SOURCE_DIR}/docs/field.png
              ${CMAKE_SOURCE_DIR}/docs/night-report.png
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The copyright file in Debian's machine-readable format (DEP-5), its licence text taken from
# LICENSE so that the two cannot differ: every line indented by one blank, an empty line as ".".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE ORVEL_LICENCE)
string(FIND "${ORVEL_LICENCE}" "Redistribution" ORVEL_TERMS_START)
string(SUBSTRING "${ORVEL_LICENCE}" ${ORVEL_TERMS_START} -1 ORVEL_TERMS)
string(STRIP "${ORVEL_TERMS}" ORVEL_TERMS)
string(REPLACE "\n\n" "\n.\n" ORVEL_TERMS "${ORVEL_TERMS}")
string(REPLACE "\n" "\n " ORVEL_TERMS "${ORVEL_TERMS}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ORVEL
Upstream-Contact: ORVEL developers <orvel-dev@users.noreply.github.com>

Files: *
Copyright: 2026 The ORVEL developers
License: BSD-3-Clause

License: BSD-3-Clause
 ${ORVEL_TERMS}
")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog in Debian's format, compressed as the package's documentation must be (-n keeps
# the date out, so the same text gives the same bytes).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog")
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man pages are written by help2man from each program's --help and --version, with the
# sections --help does not hold (the dialogue, the files, examples) from docs/man/NAME.h2m, so
# a new option reaches the page with the next build.
find_program(HELP2MAN_PROGRAM help2man)
if(HELP2MAN_PROGRAM)
  set(ORVEL_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  set(ORVEL_MAN_PAGES)
  foreach(program orvel orvel-simulate)
    set(page ${ORVEL_MAN_DIR}/${program}.1)
    set(include_file ${CMAKE_SOURCE_DIR}/docs/man/${program}.h2m)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVEL_MAN_DIR}
      COMMAND ${HELP2MAN_PROGRAM} --no-info --section=1 --include=${include_file}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${CMAKE_COMMAND} -DPAGE=${page} -P ${CMAKE_SOURCE_DIR}/cmake/man_continued_lines.cmake
      # -n keeps the date out of the archive, so the same pages give the same bytes.
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${include_file} ${CMAKE_SOURCE_DIR}/cmake/man_continued_lines.cmake
      COMMENT "Writing the man page ${program}(1) from its --help"
      VERBATIM)
    list(APPEND ORVEL_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${ORVEL_MAN_PAGES})
  install(FILES ${ORVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: no man pages (apt-get install help2man)")
endif()

# The Debian package: the same files under /usr, the library packages it links found by
# dpkg-shlibdeps and declared as its dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# `make deb` gives the Maintainer field from its ORVEL_MAINTAINER; this is for cpack run alone.
set(CPACK_PACKAGE_CONTACT "ORVEL developers <orvel-dev@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "atmospheric extinction coefficients from a night's RGB FITS frames of one star")
set(CPACK_PACKAGE_DESCRIPTION
    "ORVEL measures the extinction coefficient k of the red, green and blue bands
by ring photometry of one star in every frame, the airmass of each frame and a
fit of ln(signal) against airmass. orvel-simulate writes simulated nights with
known extinction.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries loaded when first called are not linked, so dpkg-shlibdeps cannot see them:
# the packages that hold them are named here, before the ones it finds.
get_property(ORVEL_LOADED_SONAMES GLOBAL PROPERTY ORVEL_LOADED_LIBRARIES)
set(ORVEL_LOADED_PACKAGES)
foreach(soname ${ORVEL_LOADED_SONAMES})
  execute_process(COMMAND dpkg-query -S ${soname} OUTPUT_VARIABLE owner RESULT_VARIABLE status
                  ERROR_QUIET)
  if(status EQUAL 0 AND owner MATCHES "^([^:, ]+)")
    list(APPEND ORVEL_LOADED_PACKAGES ${CMAKE_MATCH_1})
  endif()
endforeach()
list(REMOVE_DUPLICATES ORVEL_LOADED_PACKAGES)
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${ORVEL_LOADED_PACKAGES}")
# The labelled plot and the field picture letter their text in a font of the system.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
