# GoogleTest for the project's tests.
#
# Native builds use the installed package (libgtest-dev). Windows builds made
# with cmake/mingw-w64.cmake compile GoogleTest from its sources (Debian's
# googletest package puts them in /usr/src/googletest; KEYSEQ_GOOGLETEST_SOURCE
# points elsewhere), because the installed libraries are for Linux only.
# Either way the targets GTest::gtest and GTest::gtest_main exist afterwards.
#
#   include(cmake/googletest.cmake)
#   add_executable(foo_test foo_test.cc)
#   target_link_libraries(foo_test PRIVATE GTest::gtest_main)
#   keyseq_add_gtest(foo_test)
include_guard(GLOBAL)
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
  set(KEYSEQ_GOOGLETEST_SOURCE /usr/src/googletest
      CACHE PATH "GoogleTest sources to build for the target system")
  if(NOT EXISTS "${KEYSEQ_GOOGLETEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR
      "GoogleTest sources not found in ${KEYSEQ_GOOGLETEST_SOURCE} "
      "(apt-get install googletest, or set KEYSEQ_GOOGLETEST_SOURCE)")
  endif()
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  # EXCLUDE_FROM_ALL: only what the tests link gets built.
  add_subdirectory("${KEYSEQ_GOOGLETEST_SOURCE}"
                   "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
  foreach(_lib IN ITEMS gtest gtest_main gmock gmock_main)
    if(TARGET ${_lib} AND NOT TARGET GTest::${_lib})
      add_library(GTest::${_lib} ALIAS ${_lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

# Registers each test of a GoogleTest executable with ctest. The list of tests
# is read from the executable after it is built; under Wine, starting a
# program the first time can take several seconds (prefix creation), so the
# discovery gets a generous timeout there. Extra arguments are passed on to
# gtest_discover_tests.
function(keyseq_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    set(_timeout 120)
  else()
    set(_timeout 30)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT ${_timeout} ${ARGN})
endfunction()
