include(GoogleTest)

# lumora_folder_sources(<variable> <base> <folder>...)
# The .cpp files directly in each folder under <base>, folder by folder, for
# a subsystem cut into folders by concern.
function(lumora_folder_sources variable base)
  set(_sources)
  foreach(_folder ${ARGN})
    file(GLOB _found CONFIGURE_DEPENDS ${base}/${_folder}/*.cpp)
    list(APPEND _sources ${_found})
  endforeach()
  set(${variable} ${_sources} PARENT_SCOPE)
endfunction()

# lumora_folder_includes(<target> <base> <folder>...)
# Each of the folders under <base> that exists becomes a public include
# directory of <target>, so headers are included by their names alone.
function(lumora_folder_includes target base)
  foreach(_folder ${ARGN})
    if(EXISTS ${base}/${_folder})
      target_include_directories(${target} PUBLIC ${base}/${_folder})
    endif()
  endforeach()
endfunction()
# The test programs' own sources are most of the build and do little work at
# run time (the libraries they test do): the test command compiles them at a
# lower optimisation level than the libraries.
set(LUMORA_TEST_OPTIMIZE "" CACHE STRING "Optimisation option for the test programs' own sources (empty: the build type's)")
# Most of a test file's compile time goes to the headers of the test framework
# and of the code under test: compiled a few files at a time, a test program
# parses them once per batch.
set(LUMORA_TEST_UNITY "8" CACHE STRING "Test sources compiled together per batch (0 or 1: each on its own)")
# lumora_add_test(NAME <name> LABEL <subsystem> SOURCES ... [LIBS ...] [PREFIX <text>]
#                 [KEEP_OPTIMIZATION])
# One GoogleTest program; every test in it carries the subsystem label.
# PREFIX goes before every test name (for a second build of the same tests).
# KEEP_OPTIMIZATION: the program does heavy work of its own and keeps the
# build type's optimisation.
function(lumora_add_test)
  cmake_parse_arguments(T "KEEP_OPTIMIZATION" "NAME;LABEL;PREFIX" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  if(LUMORA_TEST_UNITY GREATER 1)
    set_target_properties(${T_NAME} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${LUMORA_TEST_UNITY})
    # In a batch a test file is an included file to g++, which then warns
    # about every fixture of an anonymous namespace that a test derives from.
    target_compile_options(${T_NAME} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
    foreach(_source ${T_SOURCES})
      get_filename_component(_path ${_source} ABSOLUTE)
      if(_path IN_LIST LUMORA_TEST_ALONE)
        set_source_files_properties(${_source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endforeach()
  endif()
  if(LUMORA_TEST_OPTIMIZE AND NOT T_KEEP_OPTIMIZATION)
    target_compile_options(${T_NAME} PRIVATE ${LUMORA_TEST_OPTIMIZE})
  endif()
  # The counted-reference tests assign an object to itself on purpose.
  target_compile_options(${T_NAME} PRIVATE $<$<CXX_COMPILER_ID:Clang>:-Wno-self-assign-overloaded>)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Test programs live in build/tests; their libraries are in build/bin.
  set_target_properties(${T_NAME} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/bin" INSTALL_RPATH "${CMAKE_BINARY_DIR}/bin")
  # Every test runs under env with the test environment. (An ENVIRONMENT test
  # property does not survive test discovery: its list is split into separate
  # property arguments and all variables but the first are lost.)
  set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;TZ=UTC;LUMORA_PROGRAM_DIR=${CMAKE_BINARY_DIR}/bin;LUMORA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data;LUMORA_BUILD_DIR=${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${T_NAME}
    TEST_PREFIX "${T_PREFIX}"
    PROPERTIES LABELS ${T_LABEL}
    DISCOVERY_TIMEOUT 60)
  # The environment is a list, which the discovery would split into separate
  # properties; it is set on the discovered tests afterwards instead.
  set(_env "TZ=UTC;LUMORA_PROGRAM_DIR=${CMAKE_BINARY_DIR}/bin;LUMORA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data;LUMORA_BUILD_DIR=${CMAKE_BINARY_DIR}")
  set(_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cmake")
  file(WRITE "${_script}"
    "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES ENVIRONMENT [==[${_env}]==])\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
endfunction()

# lumora_add_fuzzer(NAME <name> SOURCES ... [LIBS ...])
function(lumora_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz INSTALL_RPATH "$ORIGIN/../bin")
  add_dependencies(fuzzers ${F_NAME})
endfunction()

# lumora_add_bench(NAME <name> SOURCES ... [LIBS ...])
function(lumora_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE benchmark::benchmark benchmark::benchmark_main ${B_LIBS})
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench INSTALL_RPATH "$ORIGIN/../bin")
endfunction()

# lumora_tsan_variant(<target> [LINK <libraries>...])
# <target>_tsan: a static copy of a library compiled for ThreadSanitizer, for
# the test programs labelled tsan, which compile and link for ThreadSanitizer
# by linking it. Called in the library's own folder, so its
# per-file options apply to the copy as well. The copy links the libraries
# given (their own _tsan copies where there are any): an instrumented and a
# plain copy of one library must never meet in one program.
# Only where the tests are built and no other sanitizer is on.
function(lumora_tsan_variant target)
  if(NOT LUMORA_TESTS OR LUMORA_SANITIZE OR LUMORA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(V "" "" "LINK" ${ARGN})
  get_target_property(_sources ${target} SOURCES)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "OBJECT_LIBRARY")
    add_library(${target}_tsan OBJECT EXCLUDE_FROM_ALL ${_sources})
  else()
    add_library(${target}_tsan STATIC EXCLUDE_FROM_ALL ${_sources})
  endif()
  target_include_directories(${target}_tsan
    PRIVATE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>
    INTERFACE $<TARGET_PROPERTY:${target},INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_definitions(${target}_tsan PRIVATE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
  target_compile_options(${target}_tsan PRIVATE $<TARGET_PROPERTY:${target},COMPILE_OPTIONS>
    PUBLIC -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(${target}_tsan PUBLIC -fsanitize=thread)
  target_link_libraries(${target}_tsan PUBLIC ${V_LINK})
endfunction()
