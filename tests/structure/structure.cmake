# Structure checks over src/ and the programs of tools/, run by ctest: the floors (which folder
# may include which), the size of functions and the length of files, with a self-test of the
# checks on small trees under fixtures/.
# Included by the top-level CMakeLists.txt after find_package(Python3 COMPONENTS Interpreter).
if(Python3_FOUND)
  set(ORVEL_STRUCTURE_DIR ${CMAKE_SOURCE_DIR}/tests/structure)
  add_test(NAME structure.floors
           COMMAND ${Python3_EXECUTABLE} ${ORVEL_STRUCTURE_DIR}/check_floors.py
                   ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
  add_test(NAME structure.function_size
           COMMAND ${Python3_EXECUTABLE} ${ORVEL_STRUCTURE_DIR}/check_function_size.py
                   --allowed ${ORVEL_STRUCTURE_DIR}/function_size_allowed.txt
                   ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
  add_test(NAME structure.file_size
           COMMAND ${Python3_EXECUTABLE} ${ORVEL_STRUCTURE_DIR}/check_file_size.py
                   --allowed ${ORVEL_STRUCTURE_DIR}/file_size_allowed.txt
                   ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
  add_test(NAME structure.selftest
           COMMAND ${Python3_EXECUTABLE} ${ORVEL_STRUCTURE_DIR}/structure_selftest.py)
  set_tests_properties(structure.floors structure.function_size structure.file_size
                       structure.selftest PROPERTIES TIMEOUT 120 LABELS structure)
endif()
