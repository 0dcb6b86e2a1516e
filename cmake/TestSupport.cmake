# Test helpers. A cross-built test runs under Wine through scripts/wine-run.sh; every
# Wine test shares one session (prefix, X display, persistent wineserver) that a
# setup test starts and a cleanup test stops.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(TEMPOSCOUT_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
  set(TEMPOSCOUT_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --session ${TEMPOSCOUT_WINE_SESSION} --isolated)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TEMPOSCOUT_WINE_RUN})
  add_test(NAME wine_session_start COMMAND ${TEMPOSCOUT_WINE_RUN} --start)
  add_test(NAME wine_session_stop COMMAND ${TEMPOSCOUT_WINE_RUN} --stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# temposcout_add_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds] [DESKTOP])
# One test executable is one CTest test: starting a process under Wine costs seconds,
# so cases are grouped per module rather than registered one by one.
# DESKTOP marks a test that shows windows, opens menus or changes system colours: such
# tests share one display and focus, so they never run at the same time as each other.
function(temposcout_add_test name)
  cmake_parse_arguments(T "DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_DESKTOP)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
  endif()
  if(TEMPOSCOUT_WINE_SESSION)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
