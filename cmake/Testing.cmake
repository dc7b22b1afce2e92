# dw_add_test(<name> SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable per module; every test case becomes a CTest test of its own.
if(DW_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)

  # The GoogleTest and GoogleMock headers are a good part of every test file's compile time: they
  # are compiled once per build, by two small donor targets, and every test reuses them. A compiler
  # uses a precompiled header only if it was built with the same code options (gcc skips it, and
  # -Winvalid-pch, which CMake adds, with DW_WERROR fails the build; clang fails at once). The tests
  # that link Qt are compiled with -fPIC, the others as executables (-fPIE): one donor each. gcc 12
  # drops the "#pragma GCC diagnostic" of a precompiled header, with which libstdc++ silences false
  # -Warray-bounds reports in std::string that only optimized builds make: gcc precompiles them in
  # debug builds only. With ccache, set CCACHE_SLOPPINESS=pch_defines,time_macros, or it compiles
  # the tests anew every time.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/test-pch/donor.cpp CONTENT "")
    add_executable(dw_test_pch ${PROJECT_BINARY_DIR}/test-pch/donor.cpp)
    add_library(dw_test_pch_pic OBJECT ${PROJECT_BINARY_DIR}/test-pch/donor.cpp)
    foreach(donor dw_test_pch dw_test_pch_pic)
      target_link_libraries(${donor} PRIVATE GTest::gmock GTest::gtest_main)
      target_precompile_headers(${donor} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
    endforeach()
  endif()
endif()

# dw_test_precompiled_headers(<target> [PIC])
# Compiles <target> with the shared precompiled test headers where the build has them; PIC for a
# test that links Qt.
function(dw_test_precompiled_headers target)
  if(NOT TARGET dw_test_pch)
    return()
  endif()
  set(donor dw_test_pch)
  if(ARGV1 STREQUAL "PIC")
    set(donor dw_test_pch_pic)
  endif()
  target_precompile_headers(${target} REUSE_FROM ${donor})
endfunction()

function(dw_add_test name)
  if(NOT DW_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  dw_test_precompiled_headers(${name})
  # Tests never play real sounds. (One variable only: a list would not survive the discovered
  # tests' property file.)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "DW_SOUND=null")
endfunction()
