# The portable folder for Windows users (program, pages, engine libraries, licence
# notices) and a zip of it: `cmake --build <dir> --target portable`.
if(WIN32)
  add_custom_target(portable
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TEMPOSCOUT_PORTABLE_DIR}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/TempoScout-${PROJECT_VERSION}-win64.zip --format=zip TempoScout
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Laying out the portable folder and its zip"
    VERBATIM)
  if(EXISTS ${MPG123_LICENSE_FILE})
    install(FILES ${MPG123_LICENSE_FILE} DESTINATION licenses RENAME mpg123-COPYING.txt)
  endif()
endif()
