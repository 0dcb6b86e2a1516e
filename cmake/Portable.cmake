# The package for Windows users, made from the install rules: the portable folder
# <build>/TempoScout/ and its zip TempoScout-<version>-win64.zip, built by CPack.
#   cmake --build <build> --target portable    both
#   cpack --config <build>/CPackConfig.cmake   the zip alone (after a build)
# Each module installs its own targets into the folder's root (the program, the
# command-line tool, the engine libraries, the pages); the files below are the rest:
# the licences, the users' README.txt and the libraries' sources.
if(WIN32)
  # TempoScout's own licence.
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

  # A short guide for Windows users, with the version filled in and Windows line ends,
  # so Notepad of any age shows it as it is meant.
  configure_file(${CMAKE_SOURCE_DIR}/docs/windows-readme.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

  # libmpg123 and libsyn123 (LGPL-2.1) ship as DLLs of their own beside bass.dll, with
  # their licence and the exact source package they were built from.
  if(MPG123_DLL)
    install(FILES ${MPG123_DLL} ${SYN123_DLL} DESTINATION .)
    if(MPG123_LICENSE_FILE)
      install(FILES ${MPG123_LICENSE_FILE} DESTINATION licenses RENAME mpg123-COPYING.txt)
    endif()
    if(MPG123_SOURCE_NOTE)
      install(FILES ${MPG123_SOURCE_NOTE} DESTINATION licenses RENAME mpg123-SOURCE.txt)
    endif()
    if(MPG123_SOURCE_FILES)
      install(FILES ${MPG123_SOURCE_FILES} DESTINATION source/mpg123)
    endif()
  endif()
  # FFmpeg's libraries (LGPL-2.1) likewise, with their licence and source package.
  if(FFMPEG_DLLS)
    install(FILES ${FFMPEG_DLLS} DESTINATION .)
    if(FFMPEG_LICENSE_FILE)
      install(FILES ${FFMPEG_LICENSE_FILE} DESTINATION licenses RENAME ffmpeg-COPYING.txt)
    endif()
    if(FFMPEG_SOURCE_NOTE)
      install(FILES ${FFMPEG_SOURCE_NOTE} DESTINATION licenses RENAME ffmpeg-SOURCE.txt)
    endif()
    if(FFMPEG_SOURCE_FILES)
      install(FILES ${FFMPEG_SOURCE_FILES} DESTINATION source/ffmpeg)
    endif()
  endif()
  # The mingw-w64 runtime (start-up code, winpthreads) is linked into every executable
  # and library; its notices come from the cross compiler's Debian package.
  set(MINGW_RUNTIME_NOTICES /usr/share/doc/mingw-w64-x86-64-dev/copyright)
  if(MINGW AND EXISTS ${MINGW_RUNTIME_NOTICES})
    install(FILES ${MINGW_RUNTIME_NOTICES} DESTINATION licenses RENAME mingw-w64-runtime.txt)
  endif()

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TEMPOSCOUT_PLATFORM win64)
  else()
    set(TEMPOSCOUT_PLATFORM win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME TempoScout)
  set(CPACK_PACKAGE_VENDOR "TempoScout developers")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME TempoScout-${PROJECT_VERSION}-${TEMPOSCOUT_PLATFORM})
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
  # The zip unpacks into one folder named like the portable folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX /TempoScout)
  set(CPACK_VERBATIM_VARIABLES ON)
  include(CPack)

  add_custom_target(portable
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TEMPOSCOUT_PORTABLE_DIR}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TEMPOSCOUT_PORTABLE_DIR}
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Laying out the portable folder and packing its zip"
    VERBATIM)
  if(TARGET mpg123_runtime)
    add_dependencies(portable mpg123_runtime)
  endif()
  if(TARGET ffmpeg_runtime)
    add_dependencies(portable ffmpeg_runtime)
  endif()
endif()
