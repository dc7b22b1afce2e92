# dw_add_test(<name> SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable per module; every test case becomes a CTest test of its own.
if(DW_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

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
  # Tests never play real sounds. (One variable only: a list would not survive the discovered
  # tests' property file.)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "DW_SOUND=null")
endfunction()
