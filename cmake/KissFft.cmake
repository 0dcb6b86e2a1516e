# KissFFT (BSD-3-Clause), the FFT of the tempo estimator in beat/. Only found here, never
# built: natively Debian's libkissfft-dev (pkg-config kissfft-float); for mingw the static
# library that scripts/build-kissfft-mingw.sh cross-builds into the cache (scripts/setup.sh
# runs it), or any such build given as KISSFFT_ROOT. Linked statically into the programs,
# so only its licence ships in the package.
set(KISSFFT_ROOT "" CACHE PATH "Folder holding include/ and lib/ of a static mingw KissFFT build")

if(KISSFFT_ROOT OR (CMAKE_CROSSCOMPILING AND WIN32))
  if(NOT KISSFFT_ROOT)
    temposcout_newest_cached_build("kissfft-*-x86_64-w64-mingw32" kissfft_found)
    set(KISSFFT_ROOT ${kissfft_found} CACHE PATH "Folder holding include/ and lib/ of a static mingw KissFFT build" FORCE)
  endif()
  if(NOT KISSFFT_ROOT OR NOT EXISTS ${KISSFFT_ROOT}/include/kissfft/kiss_fftr.h
     OR NOT EXISTS ${KISSFFT_ROOT}/lib/libkissfft-float.a)
    message(FATAL_ERROR "No KissFFT for Windows found (KISSFFT_ROOT='${KISSFFT_ROOT}'): run scripts/setup.sh "
                        "(or scripts/build-kissfft-mingw.sh, which prints the folder to pass as KISSFFT_ROOT)")
  endif()
  add_library(kissfft::kissfft STATIC IMPORTED)
  set_target_properties(kissfft::kissfft PROPERTIES
    IMPORTED_LOCATION ${KISSFFT_ROOT}/lib/libkissfft-float.a
    INTERFACE_INCLUDE_DIRECTORIES ${KISSFFT_ROOT}/include/kissfft
    INTERFACE_COMPILE_DEFINITIONS kiss_fft_scalar=float)
  install(FILES ${KISSFFT_ROOT}/COPYING DESTINATION licenses RENAME kissfft-COPYING.txt)
  if(EXISTS ${KISSFFT_ROOT}/SOURCE.txt)
    install(FILES ${KISSFFT_ROOT}/SOURCE.txt DESTINATION licenses RENAME kissfft-SOURCE.txt)
  endif()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(KISSFFT IMPORTED_TARGET kissfft-float)
  if(NOT KISSFFT_FOUND)
    message(FATAL_ERROR "KissFFT not found: run scripts/setup.sh (it installs libkissfft-dev)")
  endif()
  add_library(kissfft::kissfft ALIAS PkgConfig::KISSFFT)
endif()
