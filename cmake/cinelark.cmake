# Shared build settings and the helpers every subsystem uses to declare its
# library, its tests, its benchmarks and its fuzz targets.

set(CINELARK_WARNINGS -Wall -Wextra)
set(CINELARK_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

if(CINELARK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(CINELARK_FUZZ)
  # Every library is instrumented for coverage so the fuzzers can steer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(CINELARK_SANITIZE)
  add_compile_options(${CINELARK_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

# Every installed library registers itself here so that the pkg-config file
# lists them all.
set_property(GLOBAL PROPERTY CINELARK_INSTALLED_LIBS "")

# cinelark_library(NAME SOURCES... [DEPS targets...] [PRIVATE_DEPS targets...]
#                  [SYSTEM_LIBS names...])
# Declares the static library of one subsystem, with the public headers under
# include/ and its own folder as private include path, and installs it.
# SYSTEM_LIBS are the -l names of the system libraries it needs, for the
# pkg-config file (link them through DEPS or PRIVATE_DEPS as well).
function(cinelark_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS;SYSTEM_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${CINELARK_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  if(ARG_PRIVATE_DEPS)
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_DEPS})
  endif()
  install(TARGETS ${name} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set_property(GLOBAL APPEND PROPERTY CINELARK_INSTALLED_LIBS ${name})
  set_property(GLOBAL APPEND PROPERTY CINELARK_SYSTEM_LIBS ${ARG_SYSTEM_LIBS} pthread)
endfunction()

# cinelark_test(NAME SOURCES... [DEPS targets...] [LABELS labels...] [LOCK resource])
# One GoogleTest program; its cases are registered with CTest one by one and
# labelled "unit" unless other labels are given. Programs labelled "threads"
# are also built and run under ThreadSanitizer by scripts/test. Cases of
# programs naming the same LOCK never run at the same time (the test
# display's pointer and keyboard focus, for one, are shared by all).
function(cinelark_test name)
  cmake_parse_arguments(ARG "" "LOCK" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  # CTest selects labels by regular expression, so several labels are joined
  # into one word: "unit_threads" is run by both -L unit and -L threads.
  # (A list value does not survive the test discovery script.)
  string(REPLACE ";" "_" labels "${ARG_LABELS}")
  set(properties LABELS "${labels}")
  if(ARG_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_LOCK})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${CINELARK_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 60)
  if("threads" IN_LIST ARG_LABELS)
    file(APPEND ${PROJECT_BINARY_DIR}/tsan_targets.txt "${name}\n")
  endif()
endfunction()

# cinelark_bench(NAME SOURCES... [DEPS targets...])
function(cinelark_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${CINELARK_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# cinelark_fuzz(NAME SOURCES... [DEPS targets...])
# A libFuzzer target named fuzz_NAME. scripts/test runs every target listed in
# fuzz/targets.txt of the build directory for a short while, starting from the
# seed inputs in fuzz/corpus/NAME (crash inputs found once are kept there as
# regressions).
function(cinelark_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${CINELARK_WARNINGS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
  file(APPEND ${PROJECT_BINARY_DIR}/fuzz/targets.txt "${name}\n")
endfunction()
