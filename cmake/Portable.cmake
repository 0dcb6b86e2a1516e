# The portable folder for Windows users (program, pages, engine libraries, licence
# notices) and a zip of it: `cmake --build <dir> --target portable`.
if(WIN32)
  add_custom_target(portable
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TEMPOSCOUT_PORTABLE_DIR}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TEMPOSCOUT_PORTABLE_DIR}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/TempoScout-${PROJECT_VERSION}-win64.zip --format=zip TempoScout
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Laying out the portable folder and its zip"
    VERBATIM)

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
    add_dependencies(portable mpg123_runtime)
  endif()
endif()
