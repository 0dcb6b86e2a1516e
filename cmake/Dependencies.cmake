# Third-party libraries: libmpg123 (with libsyn123) and FFmpeg for decoding, GoogleTest for tests.
# Configuring only looks for them; scripts/setup.sh installs or builds what is missing.
#
# Natively libmpg123 comes from pkg-config (Debian's libmpg123-dev). For mingw it is a
# DLL build of Debian's source package that scripts/build-mpg123-mingw.sh keeps in a
# cache folder; it is found there, or in the folder given as MPG123_ROOT.
set(MPG123_ROOT "" CACHE PATH "Folder holding include/, lib/ and bin/ of a libmpg123 DLL build")

function(temposcout_require_setup what)
  message(FATAL_ERROR "${what}\nRun scripts/setup.sh: it installs the packages the build needs "
                      "and builds libmpg123 for mingw into the cache.")
endfunction()

# The newest complete build of the set-up scripts' cache whose folder name matches
# pattern, or nothing.
function(temposcout_newest_cached_build pattern result)
  if(DEFINED ENV{TEMPOSCOUT_CACHE})
    set(cache "$ENV{TEMPOSCOUT_CACHE}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(cache "$ENV{XDG_CACHE_HOME}/temposcout")
  else()
    set(cache "$ENV{HOME}/.cache/temposcout")
  endif()
  file(GLOB builds LIST_DIRECTORIES true "${cache}/${pattern}")
  list(SORT builds COMPARE NATURAL ORDER DESCENDING)
  set(found "")
  foreach(candidate IN LISTS builds)
    if(EXISTS "${candidate}/.complete")
      set(found "${candidate}")
      break()
    endif()
  endforeach()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# A cross build never falls back on the build machine's own libmpg123: it takes the
# newest complete build in the cache.
set(mpg123_root "${MPG123_ROOT}")
if(NOT mpg123_root AND CMAKE_CROSSCOMPILING AND WIN32)
  temposcout_newest_cached_build("mpg123-*-x86_64-w64-mingw32-shared" mpg123_root)
  if(NOT mpg123_root)
    temposcout_require_setup("No libmpg123 build for mingw in the cache and no MPG123_ROOT given.")
  endif()
  message(STATUS "libmpg123 for mingw: ${mpg123_root}")
endif()

if(TEMPOSCOUT_FUZZ)
  # The fuzz build links static libraries built with the same sanitizers and coverage
  # (scripts/build-mpg123-fuzz.sh), so the decoder is fuzzed along with our code.
  set(fuzz_root "${MPG123_ROOT}")
  if(NOT fuzz_root)
    temposcout_newest_cached_build("mpg123-*-fuzz" fuzz_root)
  endif()
  if(NOT fuzz_root OR NOT EXISTS ${fuzz_root}/lib/libmpg123.a OR NOT EXISTS ${fuzz_root}/lib/libsyn123.a)
    temposcout_require_setup("No sanitized libmpg123 for fuzzing in the cache and no MPG123_ROOT given.")
  endif()
  message(STATUS "sanitized libmpg123 for fuzzing: ${fuzz_root}")
  foreach(lib mpg123 syn123)
    add_library(mpg123::${lib} STATIC IMPORTED)
    set_target_properties(mpg123::${lib} PROPERTIES
      IMPORTED_LOCATION ${fuzz_root}/lib/lib${lib}.a
      INTERFACE_INCLUDE_DIRECTORIES ${fuzz_root}/include
      INTERFACE_LINK_LIBRARIES m)
  endforeach()
  add_custom_target(mpg123_runtime)
elseif(mpg123_root)
  # The libraries stay DLLs of their own beside bass.dll, so a user can replace them.
  find_path(MPG123_INCLUDE_DIR mpg123.h PATHS ${mpg123_root}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  foreach(lib mpg123 syn123)
    string(TOUPPER ${lib} LIB)
    find_library(${LIB}_IMPLIB NAMES lib${lib}.dll.a ${lib} lib${lib}-0
                 PATHS ${mpg123_root}/lib ${mpg123_root} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    find_file(${LIB}_DLL NAMES lib${lib}-0.dll PATHS ${mpg123_root}/bin ${mpg123_root}
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT MPG123_INCLUDE_DIR OR NOT ${LIB}_IMPLIB OR NOT ${LIB}_DLL)
      temposcout_require_setup(
        "lib${lib} as a DLL with its import library was not found in ${mpg123_root} "
        "(a build folder configured before may name an older build: delete it).")
    endif()
    add_library(mpg123::${lib} SHARED IMPORTED)
    set_target_properties(mpg123::${lib} PROPERTIES
      IMPORTED_LOCATION ${${LIB}_DLL}
      IMPORTED_IMPLIB ${${LIB}_IMPLIB}
      INTERFACE_INCLUDE_DIRECTORIES ${MPG123_INCLUDE_DIR})
  endforeach()

  # Programs and tests load the DLLs from their own folder.
  set(mpg123_runtime ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/libmpg123-0.dll ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/libsyn123-0.dll)
  add_custom_command(
    OUTPUT ${mpg123_runtime}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MPG123_DLL} ${SYN123_DLL} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    DEPENDS ${MPG123_DLL} ${SYN123_DLL}
    COMMENT "Copying the libmpg123 and libsyn123 DLLs beside the programs"
    VERBATIM)
  add_custom_target(mpg123_runtime ALL DEPENDS ${mpg123_runtime})

  # Licence, a note on the exact source release and the source package, for the package.
  find_file(MPG123_LICENSE_FILE COPYING PATHS ${mpg123_root} ${mpg123_root}/share/licenses/mpg123
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT MPG123_LICENSE_FILE)
    message(WARNING "No COPYING of libmpg123 in ${mpg123_root}: the portable folder will lack its licence.")
  endif()
  file(GLOB MPG123_SOURCE_NOTE ${mpg123_root}/SOURCE.txt)
  file(GLOB MPG123_SOURCE_FILES ${mpg123_root}/source/*)
else()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(MPG123 QUIET IMPORTED_TARGET libmpg123)
    pkg_check_modules(SYN123 QUIET IMPORTED_TARGET libsyn123)
  endif()
  if(NOT MPG123_FOUND OR NOT SYN123_FOUND)
    temposcout_require_setup("libmpg123 and libsyn123 were not found by pkg-config (Debian: libmpg123-dev).")
  endif()
  add_library(mpg123::mpg123 ALIAS PkgConfig::MPG123)
  add_library(mpg123::syn123 ALIAS PkgConfig::SYN123)
  add_custom_target(mpg123_runtime)
endif()

# FFmpeg's libavformat, libavcodec and libavutil read every format beside MP3 and WAV.
# Natively (and for fuzzing) they come from pkg-config (Debian's libavformat-dev and
# friends); for mingw from the DLL build of Debian's source package that
# scripts/build-ffmpeg-mingw.sh keeps in the cache, or from the folder given as FFMPEG_ROOT.
set(FFMPEG_ROOT "" CACHE PATH "Folder holding include/, lib/ and bin/ of an FFmpeg DLL build")
set(ffmpeg_root "${FFMPEG_ROOT}")
if(NOT ffmpeg_root AND CMAKE_CROSSCOMPILING AND WIN32)
  temposcout_newest_cached_build("ffmpeg-*-x86_64-w64-mingw32-shared" ffmpeg_root)
  if(NOT ffmpeg_root)
    temposcout_require_setup("No FFmpeg build for mingw in the cache and no FFMPEG_ROOT given.")
  endif()
  message(STATUS "FFmpeg for mingw: ${ffmpeg_root}")
endif()
if(ffmpeg_root)
  find_path(FFMPEG_INCLUDE_DIR libavformat/avformat.h PATHS ${ffmpeg_root}/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  set(FFMPEG_DLLS "")
  # Import libraries and DLLs, whose names carry each library's major version.
  foreach(lib avutil avcodec avformat)
    string(TOUPPER ${lib} LIB)
    find_library(${LIB}_IMPLIB NAMES lib${lib}.dll.a PATHS ${ffmpeg_root}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    file(GLOB ${LIB}_DLL ${ffmpeg_root}/bin/${lib}-*.dll)
    if(NOT FFMPEG_INCLUDE_DIR OR NOT ${LIB}_IMPLIB OR NOT ${LIB}_DLL)
      temposcout_require_setup(
        "${lib} as a DLL with its import library was not found in ${ffmpeg_root} "
        "(a build folder configured before may name an older build: delete it).")
    endif()
    add_library(ffmpeg::${lib} SHARED IMPORTED)
    set_target_properties(ffmpeg::${lib} PROPERTIES
      IMPORTED_LOCATION ${${LIB}_DLL}
      IMPORTED_IMPLIB ${${LIB}_IMPLIB}
      INTERFACE_INCLUDE_DIRECTORIES ${FFMPEG_INCLUDE_DIR})
    list(APPEND FFMPEG_DLLS ${${LIB}_DLL})
  endforeach()
  # libavcodec's Opus decoder uses libswresample: its DLL ships beside the others.
  file(GLOB SWRESAMPLE_DLL ${ffmpeg_root}/bin/swresample-*.dll)
  if(NOT SWRESAMPLE_DLL)
    temposcout_require_setup("swresample's DLL was not found in ${ffmpeg_root}/bin.")
  endif()
  list(APPEND FFMPEG_DLLS ${SWRESAMPLE_DLL})

  # Programs and tests load the DLLs from their own folder.
  set(ffmpeg_runtime "")
  foreach(dll IN LISTS FFMPEG_DLLS)
    get_filename_component(name ${dll} NAME)
    list(APPEND ffmpeg_runtime ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name})
  endforeach()
  add_custom_command(
    OUTPUT ${ffmpeg_runtime}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${FFMPEG_DLLS} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    DEPENDS ${FFMPEG_DLLS}
    COMMENT "Copying FFmpeg's DLLs beside the programs"
    VERBATIM)
  add_custom_target(ffmpeg_runtime ALL DEPENDS ${ffmpeg_runtime})

  # Licence, the note on the exact source release and the source package, for the package.
  file(GLOB FFMPEG_LICENSE_FILE ${ffmpeg_root}/COPYING)
  file(GLOB FFMPEG_SOURCE_NOTE ${ffmpeg_root}/SOURCE.txt)
  file(GLOB FFMPEG_SOURCE_FILES ${ffmpeg_root}/source/*)
else()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(AVFORMAT QUIET IMPORTED_TARGET libavformat)
    pkg_check_modules(AVCODEC QUIET IMPORTED_TARGET libavcodec)
    pkg_check_modules(AVUTIL QUIET IMPORTED_TARGET libavutil)
  endif()
  if(NOT AVFORMAT_FOUND OR NOT AVCODEC_FOUND OR NOT AVUTIL_FOUND)
    temposcout_require_setup(
      "libavformat, libavcodec and libavutil were not found by pkg-config "
      "(Debian: libavformat-dev, libavcodec-dev, libavutil-dev).")
  endif()
  add_library(ffmpeg::avformat ALIAS PkgConfig::AVFORMAT)
  add_library(ffmpeg::avcodec ALIAS PkgConfig::AVCODEC)
  add_library(ffmpeg::avutil ALIAS PkgConfig::AVUTIL)
  add_custom_target(ffmpeg_runtime)
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
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
      temposcout_require_setup("GoogleTest was not found in ${GTEST_SOURCE_DIR} nor as a package.")
    endif()
  endif()
endif()
