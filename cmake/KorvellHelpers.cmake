# Warnings are errors on every target of the project.
function(korvell_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion -Wno-missing-field-initializers -Werror)
  # GCC 12 at -O3 reports std::string and std::vector inserts as overlapping or out of
  # bounds when they are not; later versions do not.
  target_compile_options(${target} PRIVATE
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict;-Wno-array-bounds;-Wno-stringop-overread>)
endfunction()

# korvell_test(NAME SOURCES...): one GoogleTest executable linked to the core and the
# test-support library, registered with CTest.
function(korvell_test name)
  if(NOT KORVELL_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE korvell_core korvell_testing GTest::gtest GTest::gtest_main)
  korvell_warnings(${name})
  target_compile_definitions(${name} PRIVATE KORVELL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)
endfunction()
