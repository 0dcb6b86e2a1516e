# TagLib, for the BPM tags temposcout-cli writes. Only found here, never built:
# natively Debian's libtag1-dev (pkg-config); for mingw the DLL that
# scripts/build-taglib-mingw.sh cross-builds into the cache (scripts/setup.sh runs it),
# or any Windows build of TagLib given as TAGLIB_ROOT.
set(TAGLIB_ROOT "" CACHE PATH "Folder holding include/, lib/ and bin/ of a mingw TagLib build")

if(TAGLIB_ROOT OR (CMAKE_CROSSCOMPILING AND WIN32))
  if(NOT TAGLIB_ROOT)
    if(DEFINED ENV{TEMPOSCOUT_CACHE})
      set(taglib_cache $ENV{TEMPOSCOUT_CACHE})
    elseif(DEFINED ENV{XDG_CACHE_HOME})
      set(taglib_cache $ENV{XDG_CACHE_HOME}/temposcout)
    else()
      set(taglib_cache $ENV{HOME}/.cache/temposcout)
    endif()
    file(GLOB taglib_builds ${taglib_cache}/taglib-*-x86_64-w64-mingw32/.complete)
    list(SORT taglib_builds COMPARE NATURAL ORDER DESCENDING)
    if(taglib_builds)
      list(GET taglib_builds 0 taglib_complete)
      get_filename_component(taglib_found ${taglib_complete} DIRECTORY)
      set(TAGLIB_ROOT ${taglib_found} CACHE PATH "Folder holding include/, lib/ and bin/ of a mingw TagLib build" FORCE)
    endif()
  endif()
  if(NOT TAGLIB_ROOT OR NOT EXISTS ${TAGLIB_ROOT}/include/taglib/tag.h)
    message(FATAL_ERROR "No TagLib for Windows found (TAGLIB_ROOT='${TAGLIB_ROOT}'): run scripts/setup.sh "
                        "(or scripts/build-taglib-mingw.sh, which prints the folder to pass as TAGLIB_ROOT)")
  endif()
  find_file(TAGLIB_DLL NAMES libtag.dll tag.dll PATHS ${TAGLIB_ROOT}/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  find_library(TAGLIB_IMPORT_LIBRARY NAMES libtag.dll.a tag PATHS ${TAGLIB_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
               REQUIRED)
  add_library(TagLib::TagLib SHARED IMPORTED)
  set_target_properties(TagLib::TagLib PROPERTIES
    IMPORTED_LOCATION ${TAGLIB_DLL}
    IMPORTED_IMPLIB ${TAGLIB_IMPORT_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${TAGLIB_ROOT}/include)
  # temposcout-cli loads the DLL only when it first writes a tag, so --help, --version and
  # analysis run without it: a delay-load import library made here from the import
  # library's names (the tool imports only functions from it, no data).
  get_filename_component(taglib_delayed_dll ${TAGLIB_DLL} NAME)
  execute_process(COMMAND ${CMAKE_NM} ${TAGLIB_IMPORT_LIBRARY} OUTPUT_VARIABLE taglib_symbols
                  RESULT_VARIABLE taglib_nm_failed)
  string(REGEX MATCHALL " I __imp_[^\n]+" taglib_imports "${taglib_symbols}")
  list(TRANSFORM taglib_imports REPLACE " I __imp_" "")
  list(REMOVE_DUPLICATES taglib_imports)
  list(JOIN taglib_imports "\n" taglib_exports)
  file(WRITE ${CMAKE_BINARY_DIR}/taglib/libtag.def "LIBRARY ${taglib_delayed_dll}\nEXPORTS\n${taglib_exports}\n")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --output-delaylib ${CMAKE_BINARY_DIR}/taglib/libtag-delay.a
                          --dllname ${taglib_delayed_dll} --input-def ${CMAKE_BINARY_DIR}/taglib/libtag.def
                  RESULT_VARIABLE taglib_dlltool_failed)
  if(taglib_nm_failed OR taglib_dlltool_failed OR NOT taglib_imports)
    message(FATAL_ERROR "Cannot make a delay-load import library for ${TAGLIB_DLL} with ${CMAKE_NM} and ${CMAKE_DLLTOOL}")
  endif()
  set(TAGLIB_DELAYED_LIBRARY ${CMAKE_BINARY_DIR}/taglib/libtag-delay.a)
  # The DLL sits beside the programs and tests that load it, and ships beside the
  # program with its licence (LGPL: users may replace it).
  get_filename_component(taglib_dll_name ${TAGLIB_DLL} NAME)
  configure_file(${TAGLIB_DLL} ${CMAKE_BINARY_DIR}/bin/${taglib_dll_name} COPYONLY)
  install(FILES ${TAGLIB_DLL} DESTINATION .)
  install(FILES ${TAGLIB_ROOT}/COPYING DESTINATION licenses RENAME taglib-COPYING.txt)
  # The exact source the DLL was built from (LGPL), and a note on how it was built.
  if(EXISTS ${TAGLIB_ROOT}/SOURCE.txt)
    install(FILES ${TAGLIB_ROOT}/SOURCE.txt DESTINATION licenses RENAME taglib-SOURCE.txt)
    file(GLOB taglib_source_files ${TAGLIB_ROOT}/source/*)
    install(FILES ${taglib_source_files} DESTINATION source/taglib)
  endif()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAGLIB IMPORTED_TARGET taglib)
  if(NOT TAGLIB_FOUND)
    message(FATAL_ERROR "TagLib not found: run scripts/setup.sh (it installs libtag1-dev)")
  endif()
  add_library(TagLib::TagLib ALIAS PkgConfig::TAGLIB)
endif()
