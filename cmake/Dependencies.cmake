# Third-party libraries: libmpg123 (with libsyn123) for decoding, GoogleTest for tests.
#
# Natively libmpg123 comes from pkg-config (Debian's libmpg123-dev). For mingw,
# scripts/build-mpg123-mingw.sh builds it into a cache; pass that folder as MPG123_ROOT.
set(MPG123_ROOT "" CACHE PATH "Folder holding include/ and lib/ of a libmpg123 build")

# A cross build never falls back on the build machine's own libmpg123: without a
# folder given, the cached mingw build is made (or found) by the script.
if(NOT MPG123_ROOT AND CMAKE_CROSSCOMPILING AND WIN32)
  execute_process(
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/build-mpg123-mingw.sh
    OUTPUT_VARIABLE mpg123_built OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE mpg123_result)
  if(NOT mpg123_result EQUAL 0 OR NOT mpg123_built)
    message(FATAL_ERROR "libmpg123 for mingw could not be built: run scripts/build-mpg123-mingw.sh")
  endif()
  set(MPG123_ROOT ${mpg123_built} CACHE PATH "Folder holding include/ and lib/ of a libmpg123 build" FORCE)
endif()

if(MPG123_ROOT)
  find_path(MPG123_INCLUDE_DIR mpg123.h PATHS ${MPG123_ROOT}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  find_library(MPG123_LIBRARY NAMES libmpg123.a mpg123 PATHS ${MPG123_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  find_library(SYN123_LIBRARY NAMES libsyn123.a syn123 PATHS ${MPG123_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  add_library(mpg123::mpg123 INTERFACE IMPORTED)
  target_include_directories(mpg123::mpg123 INTERFACE ${MPG123_INCLUDE_DIR})
  target_link_libraries(mpg123::mpg123 INTERFACE ${MPG123_LIBRARY})
  target_compile_definitions(mpg123::mpg123 INTERFACE MPG123_STATIC)
  add_library(mpg123::syn123 INTERFACE IMPORTED)
  target_include_directories(mpg123::syn123 INTERFACE ${MPG123_INCLUDE_DIR})
  target_link_libraries(mpg123::syn123 INTERFACE ${SYN123_LIBRARY})
  if(WIN32)
    target_link_libraries(mpg123::mpg123 INTERFACE shlwapi)
  endif()
  set(MPG123_LICENSE_FILE ${MPG123_ROOT}/COPYING CACHE INTERNAL "")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
  pkg_check_modules(SYN123 REQUIRED IMPORTED_TARGET libsyn123)
  add_library(mpg123::mpg123 ALIAS PkgConfig::MPG123)
  add_library(mpg123::syn123 ALIAS PkgConfig::SYN123)
  set(MPG123_LICENSE_FILE /usr/share/doc/libmpg123-dev/copyright CACHE INTERNAL "")
endif()

if(TEMPOSCOUT_TESTS)
  set(GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
  if(EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(t gtest gtest_main gmock gmock_main)
      # GoogleTest's own warnings are not ours to fix.
      target_compile_options(${t} PRIVATE -w)
      if(NOT TARGET GTest::${t})
        add_library(GTest::${t} ALIAS ${t})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
