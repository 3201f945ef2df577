# Debian ships GoogleTest for the build machine only: build its source with the cross compilers.
set(Z83_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian package googletest)")
if(NOT EXISTS ${Z83_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "${Z83_GOOGLETEST_SOURCE} has no GoogleTest source: install the Debian package googletest")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Our warning flags are for our code; GoogleTest is built as its authors build it.
get_directory_property(z83_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${Z83_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${z83_options}")
# Newer GoogleTest releases name their targets GTest::gtest themselves.
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
