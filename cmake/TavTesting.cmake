# Test helpers shared by every test folder.
#
# Each GoogleTest program is one CTest test that writes its results as XML
# into ${CMAKE_BINARY_DIR}/test-results, so scripts/test.sh can count cases.
# On the Windows target CTest runs it through scripts/wine-run.sh (the
# toolchain's emulator) inside the prefix set up by the wine_prefix fixture.

set(TAV_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
set(TAV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

function(tav_test_environment test_name)
  if(WIN32)
    set_tests_properties(${test_name} PROPERTIES
      FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "WINEPREFIX=${TAV_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  endif()
endfunction()

# tav_add_gtest(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>])
function(tav_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tav_test_main GTest::gtest)
  set(results ${TAV_TEST_RESULTS})
  if(WIN32)
    set(results Z:${TAV_TEST_RESULTS})  # Wine's drive for the Linux root
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${results}/${name}.xml)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  tav_test_environment(${name})
endfunction()
