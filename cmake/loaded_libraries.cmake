# Libraries the program loads when it first calls one of their functions (base/shared_library.h)
# instead of linking them: their headers are used as usual, and the file of functions that
# stand in for them is told the library's run-time name (its SONAME, e.g. libcairo.so.2).

# The SONAME of the shared library lib<NAME>.so among the files a pkg-config module links.
function(orvel_library_soname out prefix name)
  foreach(lib ${${prefix}_LINK_LIBRARIES})
    get_filename_component(file ${lib} NAME)
    if(file MATCHES "^lib${name}\\.so")
      execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${lib} OUTPUT_VARIABLE dump
                      RESULT_VARIABLE status)
      if(status EQUAL 0 AND dump MATCHES "SONAME +([^ \n]+)")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  message(FATAL_ERROR "No SONAME found for lib${name} in ${${prefix}_LINK_LIBRARIES}")
endfunction()

# TARGET compiles with the headers of pkg-config module PREFIX (found by pkg_check_modules with
# IMPORTED_TARGET) and loads lib<NAME> at run time; SOURCE holds its stand-in functions.
function(orvel_loaded_library target prefix name source)
  orvel_library_soname(soname ${prefix} ${name})
  target_include_directories(${target} SYSTEM PUBLIC
    $<TARGET_PROPERTY:PkgConfig::${prefix},INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_options(${target} PUBLIC
    $<TARGET_PROPERTY:PkgConfig::${prefix},INTERFACE_COMPILE_OPTIONS>)
  target_link_libraries(${target} PUBLIC ${CMAKE_DL_LIBS})
  set_property(SOURCE ${source} APPEND PROPERTY COMPILE_DEFINITIONS
               ORVEL_${prefix}_LIBRARY="${soname}")
  set_property(GLOBAL APPEND PROPERTY ORVEL_LOADED_LIBRARIES ${soname})
endfunction()
