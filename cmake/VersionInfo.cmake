# Version resources: every shipped executable and library carries the project's version,
# the product name, its own description and the copyright, generated from one template.

# temposcout_version_resource(TARGET DESCRIPTION): attaches the version resource to
# TARGET's Windows build; elsewhere it does nothing.
function(temposcout_version_resource target description)
  if(NOT WIN32 OR NOT TARGET ${target})
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(rc_file_type VFT_APP)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  else()
    set(rc_file_type VFT_DLL)
    set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
  endif()
  get_target_property(prefix ${target} PREFIX)
  if(NOT prefix)
    set(prefix "")
  endif()
  set(rc_internal_name ${target})
  set(rc_file_name ${prefix}${target}${suffix})
  set(rc_description "${description}")
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}-version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
