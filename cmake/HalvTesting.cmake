# GoogleTest is built from Debian's sources for both targets, so the native
# and the cross-built tests use the same framework.

set(HALV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${HALV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# A host that cannot execute 32-bit code builds the 32-bit tests but does not
# register them; the 64-bit Windows build runs the same tests under Wine.
option(HALV_WINE_TESTS "Register the Windows tests (they run under Wine)" ON)

# halv_test(NAME SOURCES a.cpp b.cpp LIBS lib... [TIMEOUT seconds] [ENVIRONMENT VAR=value])
# A GoogleTest program whose tests CTest discovers when it runs them (under
# Wine for the Windows build: discovery at build time would start Wine).
function(halv_test name)
  cmake_parse_arguments(T "" "TIMEOUT;ENVIRONMENT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} halv_test_support GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32 AND NOT HALV_WINE_TESTS)
    return()
  endif()
  # Windows tests share one Wine desktop: one at a time, so that no test's
  # window takes the focus or the activation from another's.
  set(properties "")
  if(WIN32)
    set(properties RESOURCE_LOCK wine_desktop)
  endif()
  if(T_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT ${T_ENVIRONMENT})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    PROPERTIES TIMEOUT ${T_TIMEOUT} ${properties})
endfunction()
