# Helpers shared by every directory of the project.

# -Wall -Wextra -Werror for our own targets only (never for GoogleTest).
function(cs_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CS_TREE STREQUAL "windows")
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX
      _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0600)
  endif()
endfunction()

# GoogleTest from Debian's sources, built with the tree's own toolchain.
if(NOT CS_TREE STREQUAL "fuzz" AND NOT TARGET gtest)
  set(CS_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${CS_GTEST_SRC} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

# cs_add_gtest(NAME SOURCES a.cpp... LIBS lib... LABELS l... [TIMEOUT s])
# One test binary; every test case becomes a ctest test with the labels and a
# timeout (nothing may hang CI). Under the windows tree the cases are
# discovered and run through the wine wrapper.
function(cs_add_gtest name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 60)
  endif()
  add_executable(${name} ${A_SOURCES})
  cs_warnings(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${A_LABELS}")
endfunction()
